// The data browser over QTreeView: a table model that holds item identifiers
// and column descriptions only, and asks the owner's callbacks for the rest.

#include "platform/databrowser.h"
#include "platform/internal.h"
#include "platform/windows.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QFont>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <algorithm>
#include <numeric>
#include <type_traits>
#include <unordered_map>

namespace {

constexpr OSStatus errDataBrowserPropertyNotFound = -4971;
constexpr OSStatus errDataBrowserItemNotFound = -4972;

class DataBrowser;

struct Column {
    DataBrowserPropertyDesc property;
    DataBrowserListViewHeaderDesc header;
    QFont cellFont; // used when hasCellFont
    bool hasCellFont = false;
};

// The row of each listed identifier, -1 for one not listed: a vector for the
// usual small numbers, a hash map beyond.
class ItemRows {
public:
    static constexpr DataBrowserItemID kDenseLimit = 1u << 22;

    int row(DataBrowserItemID id) const
    {
        if (id < kDenseLimit)
            return id < dense.size() ? dense[id] : -1;
        const auto found = sparse.find(id);
        return found == sparse.end() ? -1 : found->second;
    }
    void set(DataBrowserItemID id, int row)
    {
        if (id < kDenseLimit) {
            if (id >= dense.size())
                dense.resize(std::max<std::size_t>(id + 1, dense.size() * 2), -1);
            dense[id] = row;
        } else {
            sparse[id] = row;
        }
    }
    void clear()
    {
        dense.clear();
        sparse.clear();
    }
    // 1..count in rows 0..count-1, all at once.
    void assignRange(DataBrowserItemID count)
    {
        clear();
        if (count < kDenseLimit) {
            dense.resize(std::size_t(count) + 1);
            std::iota(dense.begin(), dense.end(), -1);
        } else {
            for (DataBrowserItemID id = 1; id <= count; ++id)
                set(id, int(id - 1));
        }
    }
    // The rows of the items shown, after they moved.
    void renumber(const std::vector<DataBrowserItemID>& items)
    {
        for (std::size_t row = 0; row < items.size(); ++row)
            set(items[row], int(row));
    }

private:
    std::vector<int> dense;
    std::unordered_map<DataBrowserItemID, int> sparse;
};

class DataBrowserModel : public QAbstractTableModel {
public:
    explicit DataBrowserModel(DataBrowser* browser);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    DataBrowser* browser;
    std::vector<Column> columns;          // in model (logical) order
    std::vector<DataBrowserItemID> items; // in the order shown
    ItemRows listed;                      // the row of each item shown

    using QAbstractTableModel::beginInsertColumns;
    using QAbstractTableModel::beginInsertRows;
    using QAbstractTableModel::beginRemoveColumns;
    using QAbstractTableModel::beginResetModel;
    using QAbstractTableModel::changePersistentIndexList;
    using QAbstractTableModel::endInsertColumns;
    using QAbstractTableModel::endInsertRows;
    using QAbstractTableModel::endRemoveColumns;
    using QAbstractTableModel::endResetModel;
    using QAbstractTableModel::persistentIndexList;
};

class DataBrowserDelegate : public QStyledItemDelegate {
public:
    explicit DataBrowserDelegate(DataBrowser* browser);
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

    DataBrowser* browser;
    mutable DataBrowserItemID editItem = kDataBrowserNoItem;
    mutable QString openedWith; // the editor's text when it opened
};

class DataBrowser : public QObject {
    Q_OBJECT
public:
    explicit DataBrowser(QTreeView* view);

    // The control is made once: callbacks get it for every cell and item.
    ControlRef control() const
    {
        if (!self)
            self = GetControlFromWidget(view);
        return self;
    }
    int columnOf(DataBrowserPropertyID property) const;
    int rowOf(DataBrowserItemID item) const { return model->listed.row(item); }

    OSStatus ask(DataBrowserItemID item, DataBrowserPropertyID property, DataBrowserItemData& data,
                 bool set) const
    {
        data.item = item;
        data.property = property;
        if (!callbacks.u.v1.itemDataCallback)
            return eventNotHandledErr;
        return callbacks.u.v1.itemDataCallback(control(), item, property, &data, set);
    }
    void notify(DataBrowserItemID item, DataBrowserItemNotification message) const
    {
        if (callbacks.u.v1.itemNotificationCallback)
            callbacks.u.v1.itemNotificationCallback(control(), item, message);
    }
    // The editable query, asked only when an edit is about to begin.
    bool isEditable(DataBrowserItemID item) const
    {
        DataBrowserItemData data;
        if (ask(item, kDataBrowserItemIsEditableProperty, data, false) != noErr)
            return false;
        return data.hasBoolean && data.boolean;
    }

    OSStatus addColumn(const DataBrowserListViewColumnDesc& column);
    void resizeColumn(int logical, int width);
    int titleWidth(int logical) const;
    void widenColumnsToTheirTitles();
    void sortItems();
    void applyColumnWidthLimits(int logical, int newSize);
    void onSectionClicked(int logical);
    void onSelectionChanged(const QItemSelection& selected);
    void updateSortIndicator();
    void startAtTop();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

public:
    QTreeView* view;
    DataBrowserModel* model;
    DataBrowserDelegate* delegate;
    DataBrowserCallbacks callbacks{};
    DataBrowserPropertyID sortProperty = kDataBrowserItemNoProperty;
    DataBrowserSortOrder sortOrder = kDataBrowserOrderIncreasing;
    mutable QPointer<PlatformControl> self;
    bool adjustingWidth = false;
    QPointer<QHeaderView> watchedHeader; // its font changes widen the columns
};

// Runs body on the control's browser, made on first use for a QTreeView
// (one from a .ui file); any other control fails with paramErr, or with
// failed where body answers something other than a status.
template <typename Body, typename Result = std::invoke_result_t<Body, DataBrowser&>>
Result withBrowser(ControlRef control, Body body, Result failed = Result(paramErr))
{
    auto* view = qobject_cast<QTreeView*>(GetControlWidget(control));
    if (!view)
        return failed;
    auto* browser = view->findChild<DataBrowser*>(QString(), Qt::FindDirectChildrenOnly);
    return body(browser ? *browser : *new DataBrowser(view));
}

int initialWidth(const DataBrowserListViewHeaderDesc& header)
{
    const int minimum = header.minimumWidth;
    const int maximum = std::max(minimum, int(header.maximumWidth));
    return std::max(minimum, std::min(maximum, 300));
}

// --------------------------------------------------------------------------

DataBrowserModel::DataBrowserModel(DataBrowser* b) : QAbstractTableModel(b), browser(b) {}

int DataBrowserModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(items.size());
}

int DataBrowserModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(columns.size());
}

QVariant DataBrowserModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || std::size_t(index.row()) >= items.size() ||
        std::size_t(index.column()) >= columns.size())
        return QVariant();
    const Column& column = columns[std::size_t(index.column())];
    const DataBrowserItemID item = items[std::size_t(index.row())];
    if (column.property.propertyType == kDataBrowserCheckboxType) {
        if (role != Qt::CheckStateRole)
            return QVariant();
        DataBrowserItemData data;
        browser->ask(item, column.property.propertyID, data, false);
        const bool on = data.hasButton ? data.button == kThemeButtonOn : data.boolean;
        return on ? Qt::Checked : Qt::Unchecked;
    }
    if (role == Qt::FontRole)
        return column.hasCellFont ? QVariant(column.cellFont) : QVariant();
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole)
        return QVariant();
    DataBrowserItemData data;
    browser->ask(item, column.property.propertyID, data, false);
    if (data.hasText)
        return data.text;
    return role == Qt::ToolTipRole ? QVariant() : QVariant(QString());
}

bool DataBrowserModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || std::size_t(index.row()) >= items.size() ||
        std::size_t(index.column()) >= columns.size())
        return false;
    const Column& column = columns[std::size_t(index.column())];
    if (!(column.property.propertyFlags & kDataBrowserPropertyIsMutable))
        return false;
    const DataBrowserItemID item = items[std::size_t(index.row())];
    DataBrowserItemData data;
    if (column.property.propertyType == kDataBrowserCheckboxType) {
        if (role != Qt::CheckStateRole || !browser->isEditable(item))
            return false;
        data.hasButton = true;
        data.button =
            Qt::CheckState(value.toInt()) == Qt::Checked ? kThemeButtonOn : kThemeButtonOff;
    } else {
        if (role != Qt::EditRole)
            return false;
        data.hasText = true;
        data.text = value.toString();
    }
    browser->ask(item, column.property.propertyID, data, true);
    // The callback may have changed more than this cell.
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    return true;
}

Qt::ItemFlags DataBrowserModel::flags(const QModelIndex& index) const
{
    if (!index.isValid() || std::size_t(index.column()) >= columns.size())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    const Column& column = columns[std::size_t(index.column())];
    if (column.property.propertyFlags & kDataBrowserPropertyIsMutable)
        result |= column.property.propertyType == kDataBrowserCheckboxType ? Qt::ItemIsUserCheckable
                                                                           : Qt::ItemIsEditable;
    return result;
}

QVariant DataBrowserModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        if (role != Qt::DisplayRole || section < 0 || std::size_t(section) >= items.size())
            return QVariant();
        return items[std::size_t(section)];
    }
    if (section < 0 || std::size_t(section) >= columns.size())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return columns[std::size_t(section)].header.titleString;
    case Qt::FontRole:
        return QApplication::font();
    default:
        return QVariant();
    }
}

// --------------------------------------------------------------------------

DataBrowserDelegate::DataBrowserDelegate(DataBrowser* b) : QStyledItemDelegate(b), browser(b) {}

QWidget* DataBrowserDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const
{
    if (!index.isValid() || std::size_t(index.row()) >= browser->model->items.size())
        return nullptr;
    const DataBrowserItemID item = browser->model->items[std::size_t(index.row())];
    if (!browser->isEditable(item))
        return nullptr;
    QWidget* widget = QStyledItemDelegate::createEditor(parent, option, index);
    if (!widget)
        return nullptr;
    editItem = item;
    browser->notify(item, kDataBrowserEditStarted);
    return widget;
}

void DataBrowserDelegate::destroyEditor(QWidget* widget, const QModelIndex& index) const
{
    const DataBrowserItemID item = editItem;
    editItem = kDataBrowserNoItem;
    QStyledItemDelegate::destroyEditor(widget, index);
    browser->notify(item, kDataBrowserEditStopped);
}

void DataBrowserDelegate::setEditorData(QWidget* widget, const QModelIndex& index) const
{
    auto* line = qobject_cast<QLineEdit*>(widget);
    if (!line) {
        QStyledItemDelegate::setEditorData(widget, index);
        return;
    }
    // A cell of blanks shows that it has no text: its editor opens empty.
    const QString text = index.data(Qt::EditRole).toString();
    openedWith = text.trimmed().isEmpty() ? QString() : text;
    line->setText(openedWith);
}

void DataBrowserDelegate::setModelData(QWidget* widget, QAbstractItemModel* model,
                                       const QModelIndex& index) const
{
    // An editor left as it opened hands nothing over.
    auto* line = qobject_cast<QLineEdit*>(widget);
    if (line && line->text() == openedWith)
        return;
    QStyledItemDelegate::setModelData(widget, model, index);
}

// --------------------------------------------------------------------------

DataBrowser::DataBrowser(QTreeView* v)
    : QObject(v), view(v), model(new DataBrowserModel(this)),
      delegate(new DataBrowserDelegate(this))
{
    InitDataBrowserCallbacks(&callbacks);
    QAbstractItemModel* old = view->model();
    view->setModel(model);
    if (old && old->parent() == view)
        old->deleteLater();
    view->setItemDelegate(delegate);
    view->setUniformRowHeights(true);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setExpandsOnDoubleClick(false);
    view->setSortingEnabled(false);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setAllColumnsShowFocus(true);
    view->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    QHeaderView* header = view->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(true);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setMinimumSectionSize(1);

    connect(header, &QHeaderView::sectionClicked, this, &DataBrowser::onSectionClicked);
    connect(header, &QHeaderView::sectionResized, this,
            [this](int logical, int, int newSize) { applyColumnWidthLimits(logical, newSize); });
    connect(header, &QHeaderView::sectionMoved, this, [this](int logical, int from, int to) {
        if (std::size_t(logical) >= model->columns.size())
            return;
        const bool movable = model->columns[std::size_t(logical)].property.propertyFlags &
                             kDataBrowserListViewMovableColumn;
        if (!movable) {
            QSignalBlocker block(view->header());
            view->header()->moveSection(to, from);
        }
    });
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &DataBrowser::onSelectionChanged);
    connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && std::size_t(index.row()) < model->items.size())
            notify(model->items[std::size_t(index.row())], kDataBrowserItemDoubleClicked);
    });
    view->installEventFilter(this);
    watchedHeader = view->header();
    watchedHeader->installEventFilter(this);

    // Resource files may name columns of their own.
    const QStringList properties = view->property("columnProperties").toStringList();
    const QStringList titles = view->property("columnTitles").toStringList();
    for (qsizetype i = 0; i < properties.size(); ++i) {
        DataBrowserListViewColumnDesc column{};
        if (!fourCharCodeFromString(properties.at(i), &column.propertyDesc.propertyID))
            continue;
        column.propertyDesc.propertyType = kDataBrowserTextType;
        column.headerBtnDesc.minimumWidth = 20;
        column.headerBtnDesc.maximumWidth = 10000;
        column.headerBtnDesc.titleString = i < titles.size() ? titles.at(i) : QString();
        addColumn(column);
    }
}

int DataBrowser::columnOf(DataBrowserPropertyID property) const
{
    for (std::size_t i = 0; i < model->columns.size(); ++i) {
        if (model->columns[i].property.propertyID == property)
            return int(i);
    }
    return -1;
}

OSStatus DataBrowser::addColumn(const DataBrowserListViewColumnDesc& column)
{
    const DataBrowserPropertyID property = column.propertyDesc.propertyID;
    if (property <= kDataBrowserContainerIsSortableProperty || columnOf(property) >= 0)
        return paramErr;
    const int logical = int(model->columns.size());
    model->beginInsertColumns(QModelIndex(), logical, logical);
    model->columns.push_back(Column{column.propertyDesc, column.headerBtnDesc, QFont(), false});
    model->endInsertColumns();
    resizeColumn(logical, std::max(initialWidth(column.headerBtnDesc), titleWidth(logical)));
    return noErr;
}

// The width in which a column's header shows its whole title and a sort
// arrow. The column widths are pixels meant for a small system font; a
// larger one would cut the titles without this.
int DataBrowser::titleWidth(int logical) const
{
    const QHeaderView* header = view->header();
    int width = header->sectionSizeHint(logical);
    // The hint makes room for the arrow only while one is shown.
    if (!header->isSortIndicatorShown()) {
        const QStyle* style = header->style();
        width += header->fontMetrics().height() +
                 style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) * 2;
    }
    return width;
}

// After the font changed: no column narrower than its title.
void DataBrowser::widenColumnsToTheirTitles()
{
    const QHeaderView* header = view->header();
    for (int logical = 0; logical < header->count(); ++logical) {
        const int needed = titleWidth(logical);
        if (header->sectionSize(logical) < needed)
            resizeColumn(logical, needed);
    }
}

// A width set by the program, not bound by the check on user resizes.
void DataBrowser::resizeColumn(int logical, int width)
{
    adjustingWidth = true;
    view->header()->resizeSection(logical, width);
    adjustingWidth = false;
}

void DataBrowser::applyColumnWidthLimits(int logical, int newSize)
{
    if (adjustingWidth || logical < 0 || std::size_t(logical) >= model->columns.size())
        return;
    const auto& header = model->columns[std::size_t(logical)].header;
    // The last column stretches to fill the view; its limits do not bind it.
    if (view->header()->stretchLastSection() &&
        view->header()->visualIndex(logical) == view->header()->count() - 1)
        return;
    const int minimum = header.minimumWidth;
    const int maximum = std::max({minimum, int(header.maximumWidth), titleWidth(logical)});
    const int clamped = std::clamp(newSize, minimum, maximum);
    if (clamped != newSize)
        resizeColumn(logical, clamped);
}

void DataBrowser::updateSortIndicator()
{
    const int column = columnOf(sortProperty);
    QHeaderView* header = view->header();
    if (column < 0) {
        header->setSortIndicatorShown(false);
        return;
    }
    header->setSortIndicatorShown(true);
    QSignalBlocker block(header);
    header->setSortIndicator(column, sortOrder == kDataBrowserOrderDecreasing ? Qt::DescendingOrder
                                                                              : Qt::AscendingOrder);
}

void DataBrowser::onSectionClicked(int logical)
{
    if (logical < 0 || std::size_t(logical) >= model->columns.size())
        return;
    const Column& column = model->columns[std::size_t(logical)];
    if (!(column.property.propertyFlags & kDataBrowserListViewSortableColumn)) {
        updateSortIndicator();
        return;
    }
    if (column.property.propertyID == sortProperty)
        sortOrder = sortOrder == kDataBrowserOrderDecreasing ? kDataBrowserOrderIncreasing
                                                             : kDataBrowserOrderDecreasing;
    sortProperty = column.property.propertyID;
    updateSortIndicator();
    sortItems();
}

void DataBrowser::sortItems()
{
    if (sortProperty == kDataBrowserItemNoProperty || !callbacks.u.v1.itemCompareCallback ||
        columnOf(sortProperty) < 0 || model->items.size() < 2)
        return;
    const DataBrowserItemCompareUPP compare = callbacks.u.v1.itemCompareCallback;
    const ControlRef self = control();
    const DataBrowserPropertyID property = sortProperty;

    emit model->layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList persistent = model->persistentIndexList();
    std::vector<DataBrowserItemID> persistentItems;
    persistentItems.reserve(std::size_t(persistent.size()));
    for (const QModelIndex& index : persistent)
        persistentItems.push_back(model->items[std::size_t(index.row())]);

    // A merge sort: it stays within bounds whatever the callback answers.
    std::stable_sort(model->items.begin(), model->items.end(),
                     [&](DataBrowserItemID a, DataBrowserItemID b) {
                         return compare(self, a, b, property) != 0;
                     });
    if (sortOrder == kDataBrowserOrderDecreasing)
        std::reverse(model->items.begin(), model->items.end());
    model->listed.renumber(model->items);

    if (!persistent.isEmpty()) {
        QModelIndexList moved;
        moved.reserve(persistent.size());
        for (qsizetype i = 0; i < persistent.size(); ++i)
            moved.append(
                model->index(rowOf(persistentItems[std::size_t(i)]), persistent[i].column()));
        model->changePersistentIndexList(persistent, moved);
    }
    emit model->layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

// A list filled anew shows its first row at the top, as the row the keys
// move from, without selecting it.
void DataBrowser::startAtTop()
{
    view->verticalScrollBar()->setValue(0);
    if (model->items.empty())
        return;
    view->selectionModel()->setCurrentIndex(model->index(0, 0), QItemSelectionModel::NoUpdate);
    view->scrollToTop();
}

// Return or Enter on a selected row opens it as a double click does.
bool DataBrowser::eventFilter(QObject* watched, QEvent* event)
{
    // Events reach the filter while the view is taken apart too: only the
    // pointers are compared here.
    if (event->type() == QEvent::FontChange && watched == watchedHeader.data()) {
        widenColumnsToTheirTitles();
        return false;
    }
    if (watched != view || event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    // While a cell is edited its editor has the keys, not the view.
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    const QModelIndex current = view->currentIndex();
    if (!current.isValid() || std::size_t(current.row()) >= model->items.size() ||
        !view->selectionModel()->isRowSelected(current.row(), QModelIndex()))
        return false;
    notify(model->items[std::size_t(current.row())], kDataBrowserItemDoubleClicked);
    return true;
}

void DataBrowser::onSelectionChanged(const QItemSelection& selected)
{
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selected) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // The callback may change the list; take the items first.
    std::vector<DataBrowserItemID> items;
    items.reserve(rows.size());
    for (int row : rows) {
        if (row >= 0 && std::size_t(row) < model->items.size())
            items.push_back(model->items[std::size_t(row)]);
    }
    for (DataBrowserItemID item : items)
        notify(item, kDataBrowserItemSelected);
}

} // namespace

// ---------------------------------------------------------------------------
// Item data.

OSStatus SetDataBrowserItemDataText(DataBrowserItemDataRef itemData, const QString& text)
{
    if (!itemData)
        return paramErr;
    itemData->hasText = true;
    itemData->text = text;
    return noErr;
}

OSStatus GetDataBrowserItemDataText(DataBrowserItemDataRef itemData, QString* outText)
{
    if (!itemData || !outText)
        return paramErr;
    if (!itemData->hasText)
        return errDataNotSupported;
    *outText = itemData->text;
    return noErr;
}

OSStatus SetDataBrowserItemDataBooleanValue(DataBrowserItemDataRef itemData, Boolean value)
{
    if (!itemData)
        return paramErr;
    itemData->hasBoolean = true;
    itemData->boolean = value ? 1 : 0;
    return noErr;
}

OSStatus SetDataBrowserItemDataButtonValue(DataBrowserItemDataRef itemData, ThemeButtonValue value)
{
    if (!itemData)
        return paramErr;
    itemData->hasButton = true;
    itemData->button = value;
    return noErr;
}

OSStatus GetDataBrowserItemDataButtonValue(DataBrowserItemDataRef itemData,
                                           ThemeButtonValue* outValue)
{
    if (!itemData || !outValue)
        return paramErr;
    if (!itemData->hasButton)
        return errDataNotSupported;
    *outValue = itemData->button;
    return noErr;
}

// ---------------------------------------------------------------------------
// Callbacks.

OSStatus InitDataBrowserCallbacks(DataBrowserCallbacks* callbacks)
{
    if (!callbacks)
        return paramErr;
    *callbacks = DataBrowserCallbacks{};
    callbacks->version = kDataBrowserLatestCallbacks;
    return noErr;
}

OSStatus SetDataBrowserCallbacks(ControlRef control, const DataBrowserCallbacks* callbacks)
{
    if (!callbacks || callbacks->version != kDataBrowserLatestCallbacks)
        return paramErr;
    return withBrowser(control, [&](DataBrowser& browser) {
        browser.callbacks = *callbacks;
        DataBrowserModel* model = browser.model;
        emit model->dataChanged(model->index(0, 0),
                                model->index(model->rowCount() - 1, model->columnCount() - 1));
        return noErr;
    });
}

// ---------------------------------------------------------------------------
// The control.

OSStatus CreateDataBrowserControl(WindowRef window, const Rect* bounds, DataBrowserViewStyle style,
                                  ControlRef* outControl)
{
    if (!outControl)
        return paramErr;
    *outControl = nullptr;
    QWidget* top = GetWindowWidget(window);
    if (!top)
        return errInvalidWindowRef;
    if (!bounds || style != kDataBrowserListView || bounds->right < bounds->left ||
        bounds->bottom < bounds->top)
        return paramErr;
    auto* view = new QTreeView(top);
    view->hide();
    new DataBrowser(view);
    *outControl = GetControlFromWidget(view);
    const HIRect frame{{float(bounds->left), float(bounds->top)},
                       {float(bounds->right - bounds->left), float(bounds->bottom - bounds->top)}};
    HIViewSetFrame(*outControl, &frame); // window coordinates, below any menu bar
    return noErr;
}

// Drag selection with the command key toggling a row is the view's extended
// selection.
OSStatus SetDataBrowserSelectionFlags(ControlRef control, DataBrowserSelectionFlags)
{
    return withBrowser(control, [](DataBrowser& browser) {
        browser.view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        return noErr;
    });
}

OSStatus SetDataBrowserTableViewHiliteStyle(ControlRef control,
                                            DataBrowserTableViewHiliteStyle style)
{
    if (style > kDataBrowserTableViewFillHilite)
        return paramErr;
    return withBrowser(control, [&](DataBrowser& browser) {
        browser.view->setAllColumnsShowFocus(style == kDataBrowserTableViewFillHilite);
        return noErr;
    });
}

// ---------------------------------------------------------------------------
// Columns.

OSStatus AddDataBrowserListViewColumn(ControlRef control, DataBrowserListViewColumnDesc* column,
                                      DataBrowserTableViewColumnIndex)
{
    if (!column)
        return paramErr;
    return withBrowser(control, [&](DataBrowser& browser) { return browser.addColumn(*column); });
}

OSStatus RemoveDataBrowserTableViewColumn(ControlRef control, DataBrowserTableViewColumnID property)
{
    return withBrowser(control, [&](DataBrowser& browser) {
        const int logical = browser.columnOf(property);
        if (logical < 0)
            return errDataBrowserPropertyNotFound;
        if (property == browser.sortProperty) {
            browser.sortProperty = kDataBrowserItemNoProperty;
            browser.updateSortIndicator();
        }
        DataBrowserModel* model = browser.model;
        model->beginRemoveColumns(QModelIndex(), logical, logical);
        model->columns.erase(model->columns.begin() + logical);
        model->endRemoveColumns();
        return noErr;
    });
}

OSStatus SetDataBrowserTableViewColumnFont(ControlRef control,
                                           DataBrowserTableViewColumnID property, const QFont* font)
{
    return withBrowser(control, [&](DataBrowser& browser) {
        const int logical = browser.columnOf(property);
        if (logical < 0)
            return errDataBrowserPropertyNotFound;
        Column& column = browser.model->columns[std::size_t(logical)];
        column.hasCellFont = font != nullptr;
        column.cellFont = font ? *font : QFont();
        // The rows' height is measured again, from the new font.
        browser.view->doItemsLayout();
        browser.view->viewport()->update();
        return noErr;
    });
}

OSStatus GetDataBrowserTableViewNamedColumnWidth(ControlRef control,
                                                 DataBrowserTableViewColumnID property,
                                                 UInt16* outWidth)
{
    if (!outWidth)
        return paramErr;
    return withBrowser(control, [&](DataBrowser& browser) {
        const int logical = browser.columnOf(property);
        if (logical < 0)
            return errDataBrowserPropertyNotFound;
        *outWidth = UInt16(std::clamp(browser.view->header()->sectionSize(logical), 0, 0xFFFF));
        return noErr;
    });
}

OSStatus SetDataBrowserTableViewNamedColumnWidth(ControlRef control,
                                                 DataBrowserTableViewColumnID property,
                                                 UInt16 width)
{
    return withBrowser(control, [&](DataBrowser& browser) {
        const int logical = browser.columnOf(property);
        if (logical < 0)
            return errDataBrowserPropertyNotFound;
        const auto& header = browser.model->columns[std::size_t(logical)].header;
        const int minimum = header.minimumWidth;
        const int maximum = std::max(minimum, int(header.maximumWidth));
        browser.resizeColumn(logical, std::clamp(int(width), minimum, maximum));
        return noErr;
    });
}

// ---------------------------------------------------------------------------
// Items.

OSStatus AddDataBrowserItems(ControlRef control, DataBrowserItemID container, ItemCount numItems,
                             const DataBrowserItemID* items, DataBrowserPropertyID)
{
    if (container != kDataBrowserNoItem)
        return paramErr;
    return withBrowser(control, [&](DataBrowser& browser) {
        DataBrowserModel* model = browser.model;
        if (numItems > 0x7FFFFFF0u - model->items.size())
            return paramErr;
        std::vector<DataBrowserItemID> added;
        if (!items && model->items.empty()) {
            // The common case of a full list: 1..numItems, nothing to check.
            added.resize(numItems);
            std::iota(added.begin(), added.end(), DataBrowserItemID(1));
            model->listed.assignRange(DataBrowserItemID(numItems));
        } else {
            added.reserve(numItems);
            for (ItemCount i = 0; i < numItems; ++i) {
                const DataBrowserItemID item = items ? items[i] : DataBrowserItemID(i + 1);
                if (item == kDataBrowserNoItem || browser.rowOf(item) >= 0)
                    continue;
                model->listed.set(item, int(model->items.size() + added.size()));
                added.push_back(item);
            }
        }
        if (added.empty())
            return noErr;
        const bool wasEmpty = model->items.empty();
        if (wasEmpty) {
            model->beginResetModel();
            model->items = std::move(added);
            model->endResetModel();
        } else {
            const int first = int(model->items.size());
            model->beginInsertRows(QModelIndex(), first, first + int(added.size()) - 1);
            model->items.insert(model->items.end(), added.begin(), added.end());
            model->endInsertRows();
        }
        browser.sortItems();
        if (wasEmpty)
            browser.startAtTop();
        return noErr;
    });
}

OSStatus RemoveDataBrowserItems(ControlRef control, DataBrowserItemID container, ItemCount numItems,
                                const DataBrowserItemID*, DataBrowserPropertyID)
{
    if (container != kDataBrowserNoItem || numItems != 0)
        return paramErr;
    return withBrowser(control, [](DataBrowser& browser) {
        DataBrowserModel* model = browser.model;
        if (model->items.empty())
            return noErr;
        model->beginResetModel();
        model->items.clear();
        model->listed.clear();
        model->endResetModel();
        browser.startAtTop();
        return noErr;
    });
}

OSStatus SetDataBrowserSelectedItems(ControlRef control, ItemCount numItems,
                                     const DataBrowserItemID* items, DataBrowserSetOption operation)
{
    if ((numItems > 0 && !items) || operation != kDataBrowserItemsAssign)
        return paramErr;
    return withBrowser(control, [&](DataBrowser& browser) {
        std::vector<int> rows;
        for (ItemCount i = 0; i < numItems; ++i) {
            const int row = browser.rowOf(items[i]);
            if (row >= 0)
                rows.push_back(row);
        }
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        DataBrowserModel* model = browser.model;
        QItemSelection selection;
        for (std::size_t i = 0; i < rows.size();) {
            std::size_t j = i;
            while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1)
                ++j;
            selection.select(model->index(rows[i], 0), model->index(rows[j], 0));
            i = j + 1;
        }
        QItemSelectionModel* selectionModel = browser.view->selectionModel();
        selectionModel->select(selection,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        if (!rows.empty())
            selectionModel->setCurrentIndex(model->index(rows.back(), 0),
                                            QItemSelectionModel::NoUpdate);
        return noErr;
    });
}

OSStatus GetDataBrowserTableViewItemID(ControlRef control, DataBrowserTableViewRowIndex row,
                                       DataBrowserItemID* outItem)
{
    if (!outItem)
        return paramErr;
    return withBrowser(control, [&](DataBrowser& browser) {
        if (row >= browser.model->items.size())
            return errDataBrowserItemNotFound;
        *outItem = browser.model->items[row];
        return noErr;
    });
}

Boolean IsDataBrowserItemSelected(ControlRef control, DataBrowserItemID item)
{
    return withBrowser(
        control,
        [&](DataBrowser& browser) -> Boolean {
            const int row = browser.rowOf(item);
            return row >= 0 && browser.view->selectionModel()->isRowSelected(row, QModelIndex());
        },
        Boolean(false));
}

OSStatus RevealDataBrowserItem(ControlRef control, DataBrowserItemID item,
                               DataBrowserPropertyID property, DataBrowserRevealOptions options)
{
    return withBrowser(control, [&](DataBrowser& browser) {
        const int row = browser.rowOf(item);
        if (row < 0)
            return errDataBrowserItemNotFound;
        const int column = std::max(0, browser.columnOf(property));
        browser.view->scrollTo(browser.model->index(row, column),
                               (options & kDataBrowserRevealAndCenterInView)
                                   ? QAbstractItemView::PositionAtCenter
                                   : QAbstractItemView::EnsureVisible);
        return noErr;
    });
}

// ---------------------------------------------------------------------------
// Sorting.

OSStatus SetDataBrowserSortProperty(ControlRef control, DataBrowserPropertyID property)
{
    return withBrowser(control, [&](DataBrowser& browser) {
        if (property != kDataBrowserItemNoProperty && browser.columnOf(property) < 0)
            return errDataBrowserPropertyNotFound;
        browser.sortProperty = property;
        browser.updateSortIndicator();
        browser.sortItems();
        return noErr;
    });
}

OSStatus GetDataBrowserSortProperty(ControlRef control, DataBrowserPropertyID* outProperty)
{
    if (!outProperty)
        return paramErr;
    return withBrowser(control, [&](DataBrowser& browser) {
        *outProperty = browser.sortProperty;
        return noErr;
    });
}

OSStatus SetDataBrowserSortOrder(ControlRef control, DataBrowserSortOrder order)
{
    if (order != kDataBrowserOrderIncreasing && order != kDataBrowserOrderDecreasing)
        return paramErr;
    return withBrowser(control, [&](DataBrowser& browser) {
        if (browser.sortOrder != order) {
            browser.sortOrder = order;
            browser.updateSortIndicator();
            browser.sortItems();
        }
        return noErr;
    });
}

OSStatus GetDataBrowserSortOrder(ControlRef control, DataBrowserSortOrder* outOrder)
{
    if (!outOrder)
        return paramErr;
    return withBrowser(control, [&](DataBrowser& browser) {
        *outOrder = browser.sortOrder;
        return noErr;
    });
}

#include "databrowser.moc"
