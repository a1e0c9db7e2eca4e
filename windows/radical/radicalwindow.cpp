#include "windows/radical/radicalwindow.h"

#include "windows/navigation.h"

#include "app/globals.h"
#include "app/hanfont.h"
#include "app/windowlookup.h"
#include "platform/controls.h"
#include "platform/databrowser.h"
#include "platform/menubar.h"
#include "platform/windows.h"
#include "store/dictionary.h"
#include "store/locations.h"
#include "store/radicals.h"

#include <QAbstractListModel>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPalette>
#include <QSpinBox>
#include <QSplitter>
#include <QVBoxLayout>
#include <QWidget>

#include <memory>

namespace {

constexpr int kGlyphPixels = 26;
constexpr int kCell = 44;

struct GlyphRow {
    QString text;
    QString toolTip;
    int value = -1; // a radical form's position, or an entry index; -1 for a heading
};

// Glyphs and group headings for a wrapping list view.
class GlyphModel : public QAbstractListModel {
public:
    explicit GlyphModel(QObject* parent)
        : QAbstractListModel(parent), glyph(hanCharacterFont(kGlyphPixels))
    {
        // A little smaller than the text, and never wider than a cell: a
        // large system font cut the widest heading, "+19".
        int pixels = std::max(9, QFontInfo(heading).pixelSize() - 2);
        heading.setPixelSize(pixels);
        while (pixels > 9 &&
               QFontMetrics(heading).horizontalAdvance(QStringLiteral("+99")) > kCell - 8)
            heading.setPixelSize(--pixels);
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(rows.size());
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || std::size_t(index.row()) >= rows.size())
            return QVariant();
        const GlyphRow& row = rows[std::size_t(index.row())];
        switch (role) {
        case Qt::DisplayRole:
            return row.text;
        case Qt::ToolTipRole:
            return row.toolTip;
        case Qt::FontRole:
            return row.value < 0 ? heading : glyph;
        case Qt::TextAlignmentRole:
            return int(Qt::AlignCenter);
        case Qt::SizeHintRole: // the whole cell, less a gap, whatever the text
            return QSize(kCell - 2, kCell - 2);
        // A heading cannot be chosen, which would draw it in the disabled
        // text colour: grey on grey under a dark theme. It takes the view's
        // own text colour instead.
        case Qt::ForegroundRole:
            return row.value < 0 ? viewPalette().text() : QVariant();
        case Qt::BackgroundRole:
            return row.value < 0 ? viewPalette().alternateBase() : QVariant();
        default:
            return QVariant();
        }
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        if (!index.isValid() || std::size_t(index.row()) >= rows.size() ||
            rows[std::size_t(index.row())].value < 0)
            return Qt::NoItemFlags; // headings: the arrow keys pass over them
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    }
    void assign(std::vector<GlyphRow>&& newRows)
    {
        beginResetModel();
        rows = std::move(newRows);
        endResetModel();
    }
    int valueAt(const QModelIndex& index) const
    {
        return index.isValid() && std::size_t(index.row()) < rows.size()
                   ? rows[std::size_t(index.row())].value
                   : -1;
    }

private:
    QPalette viewPalette() const
    {
        const auto* view = qobject_cast<const QWidget*>(QObject::parent());
        return view ? view->palette() : QApplication::palette();
    }

    std::vector<GlyphRow> rows;
    QFont glyph;
    QFont heading;
};

QString textOf(uint32_t code)
{
    const char32_t c = code;
    return QString::fromUcs4(&c, 1);
}

QListView* makeGlyphView(QWidget* parent, const QString& name)
{
    auto* view = new QListView(parent);
    view->setObjectName(name);
    view->setViewMode(QListView::ListMode);
    view->setFlow(QListView::LeftToRight);
    view->setWrapping(true);
    view->setResizeMode(QListView::Adjust);
    view->setUniformItemSizes(true);
    view->setGridSize(QSize(kCell, kCell));
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setTextElideMode(Qt::ElideNone);
    view->setModel(new GlyphModel(view));
    return view;
}

GlyphModel* modelOf(QListView* view)
{
    return static_cast<GlyphModel*>(view->model());
}

// The window's state, owned by its widget.
class RadicalPanel : public QWidget {
public:
    explicit RadicalPanel(const radicals::RadicalIndex& index);

    bool choose(int form);
    void refill();
    int listed = 0;

    const radicals::RadicalIndex& index;
    QListView* grid;
    QListView* characters;
    QSpinBox* residual;
    QSpinBox* total;
    QLabel* caption;
    int form = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showCharacter(const QModelIndex& at, bool inDictionary);
};

std::vector<GlyphRow> radicalRows(const radicals::RadicalIndex& index)
{
    std::vector<GlyphRow> rows;
    rows.reserve(index.radicals().size() + 17);
    int strokes = 0;
    for (std::size_t i = 0; i < index.radicals().size(); ++i) {
        const radicals::Radical& r = index.radicals()[i];
        if (r.strokes != strokes) {
            strokes = r.strokes;
            rows.push_back({QString::number(strokes),
                            strokes == 1 ? QStringLiteral("Radicals of 1 stroke")
                                         : QStringLiteral("Radicals of %1 strokes").arg(strokes),
                            -1});
        }
        const QString tip = r.simplified
                                ? QStringLiteral("Radical %1, simplified form").arg(r.number)
                                : QStringLiteral("Radical %1").arg(r.number);
        rows.push_back({textOf(r.glyph), tip, int(i)});
    }
    return rows;
}

RadicalPanel::RadicalPanel(const radicals::RadicalIndex& i) : index(i)
{
    setWindowTitle(QStringLiteral("Look Up by Radical — Tavi"));
    setProperty("windowKind", QStringLiteral("document"));
    auto* layout = new QVBoxLayout(this);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    grid = makeGlyphView(splitter, QStringLiteral("radicalGrid"));
    auto* right = new QWidget(splitter);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    auto* filters = new QHBoxLayout;
    caption = new QLabel(QStringLiteral("Choose a radical"), right);
    residual = new QSpinBox(right);
    residual->setObjectName(QStringLiteral("residualStrokes"));
    residual->setRange(-1, 99);
    residual->setValue(-1);
    residual->setSpecialValueText(QStringLiteral("any"));
    residual->setPrefix(QStringLiteral("+"));
    residual->setToolTip(QStringLiteral("Strokes beyond the radical"));
    total = new QSpinBox(right);
    total->setObjectName(QStringLiteral("totalStrokes"));
    total->setRange(0, 99);
    total->setSpecialValueText(QStringLiteral("any"));
    total->setToolTip(QStringLiteral("Total strokes of the character"));
    filters->addWidget(caption, 1);
    filters->addWidget(new QLabel(QStringLiteral("Further strokes:"), right));
    filters->addWidget(residual);
    filters->addWidget(new QLabel(QStringLiteral("Total strokes:"), right));
    filters->addWidget(total);
    rightLayout->addLayout(filters);
    characters = makeGlyphView(right, QStringLiteral("characterList"));
    rightLayout->addWidget(characters);
    splitter->addWidget(grid);
    splitter->addWidget(right);
    splitter->setSizes({420, 560});
    layout->addWidget(splitter);
    resize(1000, 620);

    modelOf(grid)->assign(radicalRows(index));
    connect(grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& at) { choose(modelOf(grid)->valueAt(at)); });
    connect(characters, &QListView::clicked, this,
            [this](const QModelIndex& at) { showCharacter(at, false); });
    connect(characters, &QListView::doubleClicked, this,
            [this](const QModelIndex& at) { showCharacter(at, true); });
    connect(residual, &QSpinBox::valueChanged, this, [this] { refill(); });
    connect(total, &QSpinBox::valueChanged, this, [this] { refill(); });
    grid->installEventFilter(this);
    characters->installEventFilter(this);

    // Escape closes the window, as it closes a dialog.
    auto* closeWindow = new QAction(this);
    closeWindow->setShortcut(QKeySequence(Qt::Key_Escape));
    closeWindow->setShortcutContext(Qt::WindowShortcut);
    connect(closeWindow, &QAction::triggered, this, &QWidget::close);
    addAction(closeWindow);
}

bool RadicalPanel::choose(int newForm)
{
    if (newForm < 0 || std::size_t(newForm) >= index.radicals().size())
        return false;
    form = newForm;
    const radicals::Radical& r = index.radicals()[std::size_t(form)];
    caption->setText(QStringLiteral("Radical %1%2 %3")
                         .arg(r.number)
                         .arg(r.simplified ? QStringLiteral("′") : QString())
                         .arg(textOf(r.glyph)));
    refill();
    return true;
}

void RadicalPanel::refill()
{
    std::vector<GlyphRow> rows;
    listed = 0;
    if (form >= 0) {
        const auto& list = index.characters(std::size_t(form));
        const int onlyResidual = residual->value();
        const int onlyTotal = total->value();
        rows.reserve(list.size() + 32);
        bool first = true;
        int group = 0;
        for (const radicals::RadicalCharacter& c : list) {
            if ((onlyResidual >= 0 && c.residual != onlyResidual) ||
                (onlyTotal > 0 && c.total != onlyTotal))
                continue;
            if (first || c.residual != group) {
                group = c.residual;
                first = false;
                rows.push_back({QStringLiteral("+%1").arg(group),
                                QStringLiteral("%1 strokes beyond the radical").arg(group), -1});
            }
            rows.push_back({textOf(c.code),
                            c.total > 0 ? QStringLiteral("%1 strokes").arg(c.total) : QString(),
                            int(c.entry)});
            ++listed;
        }
    }
    modelOf(characters)->assign(std::move(rows));
}

void RadicalPanel::showCharacter(const QModelIndex& at, bool inDictionary)
{
    const int entry = modelOf(characters)->valueAt(at);
    if (entry < 0 || std::size_t(entry) >= dict.entries.size())
        return;
    // As a quick look-up does: into the history and the floating window.
    recordLookup(entry);
    showInFloatingWindow(entry);

    if (inDictionary) {
        showEntryInDictionary(entry);
        return;
    }
    // The keyboard stays with the list.
    activateWindow();
    raise();
}

bool RadicalPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == grid) {
                choose(modelOf(grid)->valueAt(grid->currentIndex()));
                characters->setFocus();
                for (int row = 0; row < characters->model()->rowCount(); ++row) {
                    const QModelIndex at = characters->model()->index(row, 0);
                    if (at.flags() & Qt::ItemIsSelectable) {
                        characters->setCurrentIndex(at);
                        break;
                    }
                }
            } else if (watched == characters) {
                showCharacter(characters->currentIndex(),
                              static_cast<QKeyEvent*>(event)->modifiers() & Qt::ControlModifier);
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

RadicalPanel* panelOf(WindowRef window)
{
    return window ? dynamic_cast<RadicalPanel*>(GetWindowWidget(window)) : nullptr;
}

} // namespace

const radicals::RadicalIndex* radicalIndex()
{
    static std::unique_ptr<radicals::RadicalIndex> index;
    static std::size_t indexedEntries = 0;
    static bool alerted = false;
    if (index && indexedEntries == dict.entries.size())
        return index.get();
    QFile file(QFile::decodeName(QByteArray::fromStdString(bundleResourcesPath())) +
               QStringLiteral("/CJKRadicals.txt"));
    auto fresh = std::make_unique<radicals::RadicalIndex>();
    if (!file.open(QIODevice::ReadOnly) || !fresh->build(dict, file.readAll())) {
        if (!alerted)
            minorError("Error", "The list of radicals (CJKRadicals.txt) is missing or empty.", 0);
        alerted = true;
        return nullptr;
    }
    index = std::move(fresh);
    indexedEntries = dict.entries.size();
    return index.get();
}

void createRadicalWindow()
{
    if (FindMyWindow(kRadicalWindowTag, true))
        return;
    const radicals::RadicalIndex* index = radicalIndex();
    if (!index)
        return;
    auto* panel = new RadicalPanel(*index);
    WindowRef window = nullptr;
    if (CreateWindowFromWidget(panel, &window) != noErr) {
        delete panel;
        return;
    }
    SetWRefCon(window, SRefCon(kRadicalWindowTag));
    // The menus and their shortcuts work while this window is in front.
    if (WindowWantsMenuBar(window))
        AttachMenuBarToWindow(window);
    if (WindowRef dictionaryWindow = FindMyWindow(kDictionaryWindowTag, false))
        SetWindowParentWindow(window, dictionaryWindow);
    ShowWindow(window);
    panel->grid->setFocus();
}

bool chooseRadical(WindowRef window, int number, bool simplified)
{
    RadicalPanel* panel = panelOf(window);
    return panel && panel->choose(panel->index.find(number, simplified));
}

int listedCharacterCount(WindowRef window)
{
    RadicalPanel* panel = panelOf(window);
    return panel ? panel->listed : 0;
}
