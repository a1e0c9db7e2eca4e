// The data browser over QTreeView: a table model that holds item identifiers
// and column descriptions only, and asks the owner's callbacks for the rest.

#include "platform/databrowser.h"

#include "platform/windows.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QFont>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <algorithm>
#include <numeric>
#include <unordered_map>

namespace {

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
    bool contains(DataBrowserItemID id) const { return row(id) >= 0; }
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
    void erase(DataBrowserItemID id)
    {
        if (id < kDenseLimit) {
            if (id < dense.size())
                dense[id] = -1;
        } else {
            sparse.erase(id);
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
    // The rows of the items shown, from the given row on, after they moved.
    void renumber(const std::vector<DataBrowserItemID>& items, std::size_t from = 0)
    {
        for (std::size_t row = from; row < items.size(); ++row)
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
    using QAbstractTableModel::beginRemoveRows;
    using QAbstractTableModel::beginResetModel;
    using QAbstractTableModel::changePersistentIndexList;
    using QAbstractTableModel::endInsertColumns;
    using QAbstractTableModel::endInsertRows;
    using QAbstractTableModel::endRemoveColumns;
    using QAbstractTableModel::endRemoveRows;
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
    mutable QPointer<QWidget> editor;
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
    int rowOf(DataBrowserItemID item) const;

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

    void sortItems();
    void applyColumnWidthLimits(int logical, int newSize);
    void onSectionClicked(int logical);
    void onSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void notifyRows(const QItemSelection& selection, DataBrowserItemNotification message);
    void updateSortIndicator();

    QTreeView* view;
    DataBrowserModel* model;
    DataBrowserDelegate* delegate;
    DataBrowserCallbacks callbacks{};
    DataBrowserSelectionFlags selectionFlags =
        kDataBrowserDragSelect | kDataBrowserCmdTogglesSelection;
    DataBrowserTableViewHiliteStyle hiliteStyle = kDataBrowserTableViewFillHilite;
    DataBrowserPropertyID sortProperty = kDataBrowserItemNoProperty;
    DataBrowserSortOrder sortOrder = kDataBrowserOrderIncreasing;
    bool quietSelection = false; // while the list itself changes the selection
    mutable QPointer<PlatformControl> self;
    bool adjustingWidth = false;
};

DataBrowser* findBrowser(ControlRef control)
{
    auto* view = qobject_cast<QTreeView*>(GetControlWidget(control));
    if (!view)
        return nullptr;
    if (auto* browser = view->findChild<DataBrowser*>(QString(), Qt::FindDirectChildrenOnly))
        return browser;
    return new DataBrowser(view);
}

QFont headerFont(const ControlFontStyleRec& style)
{
    QFont font = QApplication::font();
    if (style.flags & kControlUseThemeFontIDMask) {
        const qreal base = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
        switch (style.font) {
        case kControlFontSmallSystemFont:
            font.setPointSizeF(base * 0.85);
            break;
        case kControlFontSmallBoldSystemFont:
            font.setPointSizeF(base * 0.85);
            font.setBold(true);
            break;
        default: // the big system font and the view font are the application's
            break;
        }
    }
    if ((style.flags & kControlUseSizeMask) && style.size > 0)
        font.setPixelSize(style.size);
    if (style.flags & kControlUseFaceMask) {
        font.setBold(style.style & bold);
        font.setItalic(style.style & italic);
        font.setUnderline(style.style & underline);
    }
    return font;
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
        ThemeButtonValue value = kThemeButtonOff;
        if (data.hasButton)
            value = data.button;
        else if (data.hasBoolean)
            value = data.boolean ? kThemeButtonOn : kThemeButtonOff;
        else if (data.hasValue)
            value = ThemeButtonValue(data.value);
        return value == kThemeButtonOn      ? Qt::Checked
               : value == kThemeButtonMixed ? Qt::PartiallyChecked
                                            : Qt::Unchecked;
    }
    if (role == Qt::FontRole)
        return column.hasCellFont ? QVariant(column.cellFont) : QVariant();
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole)
        return QVariant();
    DataBrowserItemData data;
    browser->ask(item, column.property.propertyID, data, false);
    if (data.hasText)
        return data.text;
    if (data.hasValue)
        return QString::number(data.value);
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
        const auto state = Qt::CheckState(value.toInt());
        data.hasButton = true;
        data.button = state == Qt::Checked            ? kThemeButtonOn
                      : state == Qt::PartiallyChecked ? kThemeButtonMixed
                                                      : kThemeButtonOff;
        data.hasBoolean = true;
        data.boolean = state == Qt::Checked;
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
    if (orientation != Qt::Horizontal || section < 0 || std::size_t(section) >= columns.size())
        return QVariant();
    const Column& column = columns[std::size_t(section)];
    switch (role) {
    case Qt::DisplayRole:
        return column.header.titleString;
    case Qt::FontRole:
        return headerFont(column.header.btnFontStyle);
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
    editor = widget;
    editItem = item;
    browser->notify(item, kDataBrowserEditStarted);
    return widget;
}

void DataBrowserDelegate::destroyEditor(QWidget* widget, const QModelIndex& index) const
{
    const DataBrowserItemID item = editItem;
    if (widget == editor) {
        editor = nullptr;
        editItem = kDataBrowserNoItem;
    }
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
    // Resource files may name columns of their own.
    const QStringList properties = view->property("columnProperties").toStringList();
    const QStringList titles = view->property("columnTitles").toStringList();
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

    for (qsizetype i = 0; i < properties.size(); ++i) {
        FourCharCode code = 0;
        if (!fourCharCodeFromString(properties.at(i), &code))
            continue;
        DataBrowserListViewColumnDesc column{};
        column.propertyDesc = {code, kDataBrowserTextType, kDataBrowserDefaultPropertyFlags};
        column.headerBtnDesc.minimumWidth = 20;
        column.headerBtnDesc.maximumWidth = 10000;
        column.headerBtnDesc.titleString = i < titles.size() ? titles.at(i) : QString();
        AddDataBrowserListViewColumn(control(), &column, kDataBrowserListViewAppendColumn);
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

int DataBrowser::rowOf(DataBrowserItemID item) const
{
    return model->listed.row(item);
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
    const int maximum = std::max(minimum, int(header.maximumWidth));
    const int clamped = std::clamp(newSize, minimum, maximum);
    if (clamped != newSize) {
        adjustingWidth = true;
        view->header()->resizeSection(logical, clamped);
        adjustingWidth = false;
    }
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

void DataBrowser::notifyRows(const QItemSelection& selection, DataBrowserItemNotification message)
{
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selection) {
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
        notify(item, message);
}

void DataBrowser::onSelectionChanged(const QItemSelection& selected,
                                     const QItemSelection& deselected)
{
    if (quietSelection)
        return;
    // A row stays selected while another of its cells is deselected.
    QItemSelection gone;
    for (const QItemSelectionRange& range : deselected) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            if (!view->selectionModel()->isRowSelected(row, QModelIndex()))
                gone.select(model->index(row, 0), model->index(row, 0));
        }
    }
    notifyRows(gone, kDataBrowserItemDeselected);
    notifyRows(selected, kDataBrowserItemSelected);
}

// Reports the selected ones among the rows that are about to go.
std::vector<DataBrowserItemID> selectedItemsIn(DataBrowser* browser, const std::vector<int>& rows)
{
    std::vector<DataBrowserItemID> result;
    QItemSelectionModel* selection = browser->view->selectionModel();
    if (!selection || !selection->hasSelection())
        return result;
    for (int row : rows) {
        if (selection->isRowSelected(row, QModelIndex()))
            result.push_back(browser->model->items[std::size_t(row)]);
    }
    return result;
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
    DataBrowser* browser = findBrowser(control);
    if (!browser || !callbacks)
        return paramErr;
    if (callbacks->version != kDataBrowserLatestCallbacks)
        return paramErr;
    browser->callbacks = *callbacks;
    emit browser->model->dataChanged(
        browser->model->index(0, 0),
        browser->model->index(browser->model->rowCount() - 1, browser->model->columnCount() - 1));
    return noErr;
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

OSStatus SetDataBrowserSelectionFlags(ControlRef control, DataBrowserSelectionFlags flags)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser)
        return paramErr;
    browser->selectionFlags = flags;
    if (flags & kDataBrowserSelectOnlyOne)
        browser->view->setSelectionMode(QAbstractItemView::SingleSelection);
    else if (flags & kDataBrowserNoDisjointSelection)
        browser->view->setSelectionMode(QAbstractItemView::ContiguousSelection);
    else
        browser->view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    return noErr;
}

OSStatus SetDataBrowserTableViewHiliteStyle(ControlRef control,
                                            DataBrowserTableViewHiliteStyle style)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser || style > kDataBrowserTableViewFillHilite)
        return paramErr;
    browser->hiliteStyle = style;
    browser->view->setAllColumnsShowFocus(style == kDataBrowserTableViewFillHilite);
    return noErr;
}

// ---------------------------------------------------------------------------
// Columns.

OSStatus AddDataBrowserListViewColumn(ControlRef control, DataBrowserListViewColumnDesc* column,
                                      DataBrowserTableViewColumnIndex position)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser || !column)
        return paramErr;
    const DataBrowserPropertyID property = column->propertyDesc.propertyID;
    if (property <= kDataBrowserContainerIsSortableProperty || browser->columnOf(property) >= 0)
        return paramErr;
    DataBrowserModel* model = browser->model;
    const int logical = int(model->columns.size());
    model->beginInsertColumns(QModelIndex(), logical, logical);
    model->columns.push_back(Column{column->propertyDesc, column->headerBtnDesc, QFont(), false});
    model->endInsertColumns();
    QHeaderView* header = browser->view->header();
    browser->adjustingWidth = true;
    header->resizeSection(logical, initialWidth(column->headerBtnDesc));
    browser->adjustingWidth = false;
    const int visual = header->visualIndex(logical);
    if (position < DataBrowserTableViewColumnIndex(header->count() - 1) &&
        int(position) != visual) {
        QSignalBlocker block(header);
        header->moveSection(visual, int(position));
    }
    return noErr;
}

OSStatus RemoveDataBrowserTableViewColumn(ControlRef control, DataBrowserTableViewColumnID property)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser)
        return paramErr;
    const int logical = browser->columnOf(property);
    if (logical < 0)
        return errDataBrowserPropertyNotFound;
    if (property == browser->sortProperty) {
        browser->sortProperty = kDataBrowserItemNoProperty;
        browser->updateSortIndicator();
    }
    DataBrowserModel* model = browser->model;
    model->beginRemoveColumns(QModelIndex(), logical, logical);
    model->columns.erase(model->columns.begin() + logical);
    model->endRemoveColumns();
    return noErr;
}

OSStatus GetDataBrowserTableViewColumnCount(ControlRef control, UInt32* outCount)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser || !outCount)
        return paramErr;
    *outCount = UInt32(browser->model->columns.size());
    return noErr;
}

OSStatus GetDataBrowserTableViewColumnProperty(ControlRef control,
                                               DataBrowserTableViewColumnIndex position,
                                               DataBrowserTableViewColumnID* outProperty)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser || !outProperty)
        return paramErr;
    if (position >= browser->model->columns.size())
        return errDataBrowserPropertyNotFound;
    const int logical = browser->view->header()->logicalIndex(int(position));
    if (logical < 0)
        return errDataBrowserPropertyNotFound;
    *outProperty = browser->model->columns[std::size_t(logical)].property.propertyID;
    return noErr;
}

OSStatus SetDataBrowserTableViewColumnFont(ControlRef control,
                                           DataBrowserTableViewColumnID property, const QFont* font)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser)
        return paramErr;
    const int logical = browser->columnOf(property);
    if (logical < 0)
        return errDataBrowserPropertyNotFound;
    Column& column = browser->model->columns[std::size_t(logical)];
    column.hasCellFont = font != nullptr;
    column.cellFont = font ? *font : QFont();
    // The rows' height is measured again, from the new font.
    browser->view->doItemsLayout();
    browser->view->viewport()->update();
    return noErr;
}

OSStatus GetDataBrowserTableViewNamedColumnWidth(ControlRef control,
                                                 DataBrowserTableViewColumnID property,
                                                 UInt16* outWidth)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser || !outWidth)
        return paramErr;
    const int logical = browser->columnOf(property);
    if (logical < 0)
        return errDataBrowserPropertyNotFound;
    *outWidth = UInt16(std::clamp(browser->view->header()->sectionSize(logical), 0, 0xFFFF));
    return noErr;
}

OSStatus SetDataBrowserTableViewNamedColumnWidth(ControlRef control,
                                                 DataBrowserTableViewColumnID property,
                                                 UInt16 width)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser)
        return paramErr;
    const int logical = browser->columnOf(property);
    if (logical < 0)
        return errDataBrowserPropertyNotFound;
    const auto& header = browser->model->columns[std::size_t(logical)].header;
    const int minimum = header.minimumWidth;
    const int maximum = std::max(minimum, int(header.maximumWidth));
    browser->adjustingWidth = true;
    browser->view->header()->resizeSection(logical, std::clamp(int(width), minimum, maximum));
    browser->adjustingWidth = false;
    return noErr;
}

// ---------------------------------------------------------------------------
// Items.

OSStatus AddDataBrowserItems(ControlRef control, DataBrowserItemID container, ItemCount numItems,
                             const DataBrowserItemID* items, DataBrowserPropertyID)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser || container != kDataBrowserNoItem)
        return paramErr;
    DataBrowserModel* model = browser->model;
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
            if (item == kDataBrowserNoItem || model->listed.contains(item))
                continue;
            model->listed.set(item, int(model->items.size() + added.size()));
            added.push_back(item);
        }
    }
    if (added.empty())
        return noErr;
    if (model->items.empty()) {
        model->beginResetModel();
        model->items = added;
        model->endResetModel();
    } else {
        const int first = int(model->items.size());
        model->beginInsertRows(QModelIndex(), first, first + int(added.size()) - 1);
        model->items.insert(model->items.end(), added.begin(), added.end());
        model->endInsertRows();
    }
    browser->sortItems();
    if (browser->callbacks.u.v1.itemNotificationCallback) {
        for (DataBrowserItemID item : added)
            browser->notify(item, kDataBrowserItemAdded);
    }
    return noErr;
}

OSStatus RemoveDataBrowserItems(ControlRef control, DataBrowserItemID container, ItemCount numItems,
                                const DataBrowserItemID* items, DataBrowserPropertyID)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser || container != kDataBrowserNoItem)
        return paramErr;
    DataBrowserModel* model = browser->model;
    if (model->items.empty())
        return noErr;
    std::vector<int> rows;
    if (numItems == 0 || !items) {
        rows.resize(model->items.size());
        std::iota(rows.begin(), rows.end(), 0);
    } else {
        for (ItemCount i = 0; i < numItems; ++i) {
            const int row = browser->rowOf(items[i]);
            if (row >= 0)
                rows.push_back(row);
        }
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    }
    if (rows.empty())
        return errDataBrowserItemNotFound;
    const std::vector<DataBrowserItemID> deselected = selectedItemsIn(browser, rows);
    std::vector<DataBrowserItemID> removed;
    removed.reserve(rows.size());
    for (int row : rows)
        removed.push_back(model->items[std::size_t(row)]);

    browser->quietSelection = true;
    if (rows.size() == model->items.size() || rows.size() > 64) {
        model->beginResetModel();
        if (rows.size() == model->items.size()) {
            model->items.clear();
            model->listed.clear();
        } else {
            for (DataBrowserItemID item : removed)
                model->listed.erase(item);
            std::vector<DataBrowserItemID> kept;
            kept.reserve(model->items.size() - rows.size());
            for (DataBrowserItemID item : model->items) {
                if (model->listed.contains(item))
                    kept.push_back(item);
            }
            model->items.swap(kept);
            model->listed.renumber(model->items);
        }
        model->endResetModel();
    } else {
        for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
            model->beginRemoveRows(QModelIndex(), *row, *row);
            model->listed.erase(model->items[std::size_t(*row)]);
            model->items.erase(model->items.begin() + *row);
            model->listed.renumber(model->items, std::size_t(*row));
            model->endRemoveRows();
        }
    }
    browser->quietSelection = false;

    for (DataBrowserItemID item : deselected)
        browser->notify(item, kDataBrowserItemDeselected);
    if (browser->callbacks.u.v1.itemNotificationCallback) {
        for (DataBrowserItemID item : removed)
            browser->notify(item, kDataBrowserItemRemoved);
    }
    return noErr;
}

OSStatus GetDataBrowserItemCount(ControlRef control, DataBrowserItemID container, Boolean recurse,
                                 DataBrowserItemState state, ItemCount* outCount)
{
    if (!outCount)
        return paramErr;
    std::vector<DataBrowserItemID> items;
    if (state == kDataBrowserItemNoState || state == kDataBrowserItemAnyState) {
        DataBrowser* browser = findBrowser(control);
        if (!browser || container != kDataBrowserNoItem)
            return paramErr;
        *outCount = browser->model->items.size();
        return noErr;
    }
    const OSStatus status = GetDataBrowserItems(control, container, recurse, state, &items);
    if (status == noErr)
        *outCount = items.size();
    return status;
}

OSStatus GetDataBrowserItems(ControlRef control, DataBrowserItemID container, Boolean,
                             DataBrowserItemState state, std::vector<DataBrowserItemID>* outItems)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser || !outItems || container != kDataBrowserNoItem)
        return paramErr;
    outItems->clear();
    const auto& items = browser->model->items;
    if (state == kDataBrowserItemNoState || state == kDataBrowserItemAnyState) {
        *outItems = items;
        return noErr;
    }
    if (state & kDataBrowserItemIsSelected) {
        QModelIndexList rows = browser->view->selectionModel()->selectedRows();
        std::vector<int> numbers;
        for (const QModelIndex& index : rows)
            numbers.push_back(index.row());
        std::sort(numbers.begin(), numbers.end());
        for (int row : numbers) {
            if (row >= 0 && std::size_t(row) < items.size())
                outItems->push_back(items[std::size_t(row)]);
        }
    }
    return noErr;
}

OSStatus SetDataBrowserSelectedItems(ControlRef control, ItemCount numItems,
                                     const DataBrowserItemID* items, DataBrowserSetOption operation)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser || (numItems > 0 && !items) || operation > kDataBrowserItemsRemove)
        return paramErr;
    std::vector<int> rows;
    for (ItemCount i = 0; i < numItems; ++i) {
        const int row = browser->rowOf(items[i]);
        if (row >= 0)
            rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if ((browser->selectionFlags & kDataBrowserSelectOnlyOne) && rows.size() > 1)
        rows.resize(1);
    DataBrowserModel* model = browser->model;
    QItemSelection selection;
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1)
            ++j;
        selection.select(model->index(rows[i], 0), model->index(rows[j], 0));
        i = j + 1;
    }
    QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::Rows;
    switch (operation) {
    case kDataBrowserItemsAdd:
        flags |= QItemSelectionModel::Select;
        break;
    case kDataBrowserItemsAssign:
        flags |= QItemSelectionModel::ClearAndSelect;
        break;
    case kDataBrowserItemsToggle:
        flags |= QItemSelectionModel::Toggle;
        break;
    default:
        flags |= QItemSelectionModel::Deselect;
        break;
    }
    browser->view->selectionModel()->select(selection, flags);
    if (!rows.empty() && operation != kDataBrowserItemsRemove)
        browser->view->selectionModel()->setCurrentIndex(model->index(rows.back(), 0),
                                                         QItemSelectionModel::NoUpdate);
    return noErr;
}

Boolean IsDataBrowserItemSelected(ControlRef control, DataBrowserItemID item)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser)
        return false;
    const int row = browser->rowOf(item);
    return row >= 0 && browser->view->selectionModel()->isRowSelected(row, QModelIndex());
}

OSStatus RevealDataBrowserItem(ControlRef control, DataBrowserItemID item,
                               DataBrowserPropertyID property, DataBrowserRevealOptions options)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser)
        return paramErr;
    const int row = browser->rowOf(item);
    if (row < 0)
        return errDataBrowserItemNotFound;
    int column = property == kDataBrowserItemNoProperty ? 0 : browser->columnOf(property);
    if (column < 0)
        column = 0;
    browser->view->scrollTo(browser->model->index(row, column),
                            (options & kDataBrowserRevealAndCenterInView)
                                ? QAbstractItemView::PositionAtCenter
                                : QAbstractItemView::EnsureVisible);
    return noErr;
}

OSStatus SetDataBrowserSortProperty(ControlRef control, DataBrowserPropertyID property)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser)
        return paramErr;
    if (property != kDataBrowserItemNoProperty && browser->columnOf(property) < 0)
        return errDataBrowserPropertyNotFound;
    browser->sortProperty = property;
    browser->updateSortIndicator();
    browser->sortItems();
    return noErr;
}

OSStatus GetDataBrowserSortProperty(ControlRef control, DataBrowserPropertyID* outProperty)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser || !outProperty)
        return paramErr;
    *outProperty = browser->sortProperty;
    return noErr;
}

OSStatus SetDataBrowserSortOrder(ControlRef control, DataBrowserSortOrder order)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser || (order != kDataBrowserOrderIncreasing && order != kDataBrowserOrderDecreasing))
        return paramErr;
    if (browser->sortOrder != order) {
        browser->sortOrder = order;
        browser->updateSortIndicator();
        browser->sortItems();
    }
    return noErr;
}

OSStatus GetDataBrowserSortOrder(ControlRef control, DataBrowserSortOrder* outOrder)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser || !outOrder)
        return paramErr;
    *outOrder = browser->sortOrder;
    return noErr;
}

OSStatus OpenDataBrowserEditSession(ControlRef control, DataBrowserItemID item,
                                    DataBrowserPropertyID property, Rect* outMaxEditTextRect)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser)
        return paramErr;
    const int row = browser->rowOf(item);
    if (row < 0)
        return errDataBrowserItemNotFound;
    const int column = browser->columnOf(property);
    if (column < 0)
        return errDataBrowserPropertyNotFound;
    const QModelIndex index = browser->model->index(row, column);
    if (!(browser->model->flags(index) & Qt::ItemIsEditable))
        return errDataBrowserNotConfigured;
    browser->view->scrollTo(index);
    browser->view->setCurrentIndex(index);
    browser->view->edit(index);
    if (!browser->delegate->editor)
        return errDataBrowserNotConfigured;
    if (outMaxEditTextRect) {
        const QRect r = browser->view->visualRect(index);
        SetRect(outMaxEditTextRect, short(r.left()), short(r.top()), short(r.right() + 1),
                short(r.bottom() + 1));
    }
    return noErr;
}

OSStatus CloseDataBrowserEditSession(ControlRef control)
{
    DataBrowser* browser = findBrowser(control);
    if (!browser)
        return paramErr;
    QWidget* editor = browser->delegate->editor;
    if (!editor)
        return noErr;
    emit browser->delegate->commitData(editor);
    emit browser->delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
    return noErr;
}

#include "databrowser.moc"
