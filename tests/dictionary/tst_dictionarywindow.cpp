// The dictionary window and the view-preferences window over the fixture
// dictionary, driven through their real widgets on the offscreen platform.

#include "app/globals.h"
#include "app/servicesbridge.h"
#include "program/appcommands.h"
#include "program/services.h"
#include "app/windowlookup.h"
#include "platform/alerts.h"
#include "platform/commands.h"
#include "platform/databrowser.h"
#include "platform/internal.h"
#include "platform/menus.h"
#include "platform/nib.h"
#include "platform/searchfield.h"
#include "platform/windows.h"
#include "store/dictionary.h"
#include "store/locations.h"
#include "tests/common/listview.h"
#include "tests/common/testdoubles.h"
#include "tests/common/windowtesting.h"
#include "tests/floating/floatingtest.h"
#include "windows/dictionary/dictionarywindow.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QRect>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <QTreeView>

#include <vector>

namespace {

const QString kFixture = QStringLiteral(TAVI_FIXTURES_DIR "/dictionary/dictionary.txt");

// Fields of the fixture, by number.
enum Field { Mandarin, Definition, Strokes, Radical, Cangjie, FourCorner, Cantonese, Trad, Gloss };

QString userDictionaryPath()
{
    return QString::fromStdString(getCustomDictLocation());
}

QByteArray userDictionary()
{
    return wtest::readFile(userDictionaryPath());
}

// The text view's text without the list of words that ends it.
QString withoutWords(const QString& text)
{
    const qsizetype words = text.indexOf(QStringLiteral("\n\nWords with "));
    return words < 0 ? text : text.left(words + 1);
}

void flush()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

ControlRef controlOf(WindowRef window, const ControlID& id)
{
    ControlRef control = nullptr;
    GetControlByID(window, &id, &control);
    return control;
}

WindowRef dictionaryWindow()
{
    return FindMyWindow(kDictionaryWindowTag, false);
}

ControlRef entryList()
{
    return controlOf(dictionaryWindow(), kDictBrowserPaneID);
}

// The characters listed, in the order shown.
QString listedCharacters()
{
    QString text;
    for (DataBrowserItemID item : wtest::listedItems(entryList()))
        text += dict.entries[item - 1]->display;
    return text;
}

QLineEdit* searchEdit()
{
    return qobject_cast<QLineEdit*>(
        GetControlWidget(controlOf(dictionaryWindow(), kSearchFieldID)));
}

// The search field's clear button.
QAction* cancelAction(QLineEdit* edit)
{
    return edit->findChild<QAction*>(QStringLiteral("tavi_searchCancelButton"));
}

QString controlText(const ControlID& id)
{
    return wtest::controlText(controlOf(dictionaryWindow(), id));
}

// Opens the editor on an item's cell in the column titled title with the
// edit key; null when no editor opens.
QLineEdit* openEditor(DataBrowserItemID item, const QString& title)
{
    QTreeView* view = wtest::treeViewOf(entryList());
    const std::vector<DataBrowserItemID> items = wtest::listedItems(entryList());
    const int row = int(std::find(items.begin(), items.end(), item) - items.begin());
    for (int column = 0; column < view->model()->columnCount(); ++column) {
        if (view->model()->headerData(column, Qt::Horizontal).toString() == title)
            view->setCurrentIndex(view->model()->index(row, column));
    }
    QTest::keyClick(view, Qt::Key_F2);
    return view->viewport()->findChild<QLineEdit*>();
}

// Edits one cell of a field's column the way a user does: open the editor,
// type, press Return.
void editCell(DataBrowserItemID item, int field, const QString& text)
{
    QLineEdit* editor = openEditor(item, dict.fields[std::size_t(field)]->title);
    QVERIFY(editor);
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    flush();
}

// The column titles, left to right.
QStringList columnTitles(ControlRef list)
{
    const QTreeView* view = wtest::treeViewOf(list);
    QStringList titles;
    for (int visual = 0; visual < view->header()->count(); ++visual)
        titles << view->model()
                      ->headerData(view->header()->logicalIndex(visual), Qt::Horizontal)
                      .toString();
    return titles;
}

dictValue* valueOf(int entry, int field)
{
    return dict.entries[std::size_t(entry)]->lookup(field);
}

} // namespace

class DictionaryWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void viewPreferencesAddAndRemoveColumns();
    void columnTitlesFitALargeFont_data();
    void columnTitlesFitALargeFont();
    void editingACellAppendsOneLineToTheUserDictionary();
    void sortingOrdersRowsByColumnKind_data();
    void sortingOrdersRowsByColumnKind();
    void filterListsEntriesOncePerMatch_data();
    void filterListsEntriesOncePerMatch();
    void pinyinIsConvertedInTheMandarinScopeOnly_data();
    void pinyinIsConvertedInTheMandarinScopeOnly();
    void theListKeepsTheSortColumnTheUserChose();
    void menusNumberOfferedFieldsOnly();
    void closingRecordsTheBoundsAndTheDivider();
    void textViewLinesGroupFieldsOfAKindAndCutLongValues_data();
    void textViewLinesGroupFieldsOfAKindAndCutLongValues();
    void selectingARowShowsTheEntryAndEditsShowAtOnce();
    void aVariantFieldShowsEveryFormAndIsFoundByAny();
    void everyRefillShowsTheListFromTheTop_data();
    void everyRefillShowsTheListFromTheTop();
    void downLeavesTheSearchForTheFirstRowAndReturnOpensIt_data();
    void downLeavesTheSearchForTheFirstRowAndReturnOpensIt();

private:
    RecordingAlertPresenter* alerts = nullptr;
};

void DictionaryWindowTest::initTestCase()
{
    auto presenter = std::make_unique<RecordingAlertPresenter>();
    alerts = presenter.get();
    SetAlertPresenter(std::move(presenter));
    QVERIFY(dict.loadIndex(kFixture.toUtf8().constData()));
    dict.load(kFixture.toUtf8().constData(), nullptr);
    QCOMPARE(dict.count, 13u);
    QCOMPARE(CreateNibReference(QStringLiteral("Tavi"), &nibRef), noErr);
    ftest::installApplicationHandler();
}

void DictionaryWindowTest::init()
{
    globals = Globals{};
    globals.filterState = -1;
    globals.searchState = -2;
    globals.dividerRatio = 500;
    globals.DictLeftCorner = globals.DictTopCorner = -1;
    globals.DictRightCorner = globals.DictBottomCorner = -1;
    for (dictFields* field : dict.fields)
        field->flags = 3;
    listSort = ListSort{};
    QFile::remove(userDictionaryPath());
    alerts->requests.clear();
}

void DictionaryWindowTest::cleanup()
{
    wtest::disposeAllWindows();
    flush();
}

void DictionaryWindowTest::viewPreferencesAddAndRemoveColumns()
{
    dict.fields[FourCorner]->flags = 2; // text view only
    dict.fields[Gloss]->flags = 0;
    QCOMPARE(createDictionaryWindow(), noErr);
    ControlRef list = entryList();
    const QStringList columns = QStringLiteral("Char Mandarin Definition Strokes Radical "
                                               "Cangjie Cantonese Trad")
                                    .split(u' ');
    QCOMPARE(columnTitles(list), columns);

    QCOMPARE(createViewPrefWindow(), noErr);
    WindowRef prefs = FindMyWindow(kViewPrefWindowTag, false);
    auto* view = qobject_cast<QTreeView*>(GetControlWidget(controlOf(prefs, kViewPrefListID)));
    QAbstractItemModel* model = view->model();

    // The columns change only when the boxes are confirmed.
    QVERIFY(model->setData(model->index(Gloss, 0), int(Qt::Checked), Qt::CheckStateRole));
    QVERIFY(model->setData(model->index(Strokes, 0), int(Qt::Unchecked), Qt::CheckStateRole));
    QVERIFY(model->setData(model->index(Cangjie, 0), int(Qt::Unchecked), Qt::CheckStateRole));
    QVERIFY(model->setData(model->index(Cangjie, 1), int(Qt::Unchecked), Qt::CheckStateRole));
    QCOMPARE(columnTitles(list), columns);

    for (auto* button : GetWindowWidget(prefs)->findChildren<QAbstractButton*>()) {
        if (button->property("command").toString() == u"ok  ")
            button->click();
    }
    flush();
    QVERIFY(!FindMyWindow(kViewPrefWindowTag, false));
    QCOMPARE(columnTitles(list),
             QStringLiteral("Char Mandarin Definition Radical Cantonese Trad Gloss").split(u' '));

    // A field with neither box left the scope menu too.
    MenuRef searchMenu = nullptr;
    HISearchFieldGetSearchMenu(controlOf(dictionaryWindow(), kSearchFieldID), &searchMenu);
    QCOMPARE(int(CountMenuItems(searchMenu)), 2 + 8);
    for (QAction* action : searchMenu->actions())
        QVERIFY(action->text() != QStringLiteral("Cangjie"));
    QVERIFY(alerts->requests.empty());
}

void DictionaryWindowTest::columnTitlesFitALargeFont_data()
{
    QTest::addColumn<bool>("beforeTheWindow");
    QTest::newRow("font set before the window opens") << true;
    QTest::newRow("font enlarged while it is open") << false;
}

// The columns' pixel widths suit a small font; a 20-point one cut the titles.
void DictionaryWindowTest::columnTitlesFitALargeFont()
{
    QFETCH(bool, beforeTheWindow);
    const QFont original = QApplication::font();
    QFont large = original;
    large.setPointSize(20);
    const auto restore = qScopeGuard([&original] { QApplication::setFont(original); });
    if (beforeTheWindow)
        QApplication::setFont(large);
    QCOMPARE(createDictionaryWindow(), noErr);
    if (!beforeTheWindow)
        QApplication::setFont(large);
    const QHeaderView* header = wtest::treeViewOf(entryList())->header();

    QTRY_COMPARE(header->font().pointSize(), 20); // a change reaches the widgets later
    const int margins = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    // The last column stretches to the view's edge, whatever its title.
    for (int logical = 0; logical < header->count(); ++logical) {
        if (header->visualIndex(logical) == header->count() - 1)
            continue;
        const QString title = header->model()->headerData(logical, Qt::Horizontal).toString();
        QVERIFY2(header->sectionSize(logical) >=
                     header->fontMetrics().horizontalAdvance(title) + margins,
                 qPrintable(title));
    }
}

void DictionaryWindowTest::editingACellAppendsOneLineToTheUserDictionary()
{
    createDictionaryWindow();
    QVERIFY(!openEditor(1, QStringLiteral("Char"))); // the character is not edited
    QVERIFY(!valueOf(1, Cangjie));                   // 二 has no Cangjie code
    // The cell shows blanks, its editor opens empty, and leaving it saves nothing.
    QLineEdit* editor = openEditor(2, dict.fields[Cangjie]->title);
    QVERIFY(editor && editor->text().isEmpty());
    QTest::keyClick(editor, Qt::Key_Return);
    flush();
    QVERIFY(!valueOf(1, Cangjie));
    QVERIFY(userDictionary().isEmpty());
    editCell(2, Cangjie, QStringLiteral("MM"));
    QCOMPARE(valueOf(1, Cangjie)->modified, 0); // saved, so no longer pending
    QCOMPARE(userDictionary(), QByteArray("U+4E8C\tkCangjie\tMM\n"));
    editCell(2, Cangjie, QStringLiteral("MM")); // the same text: nothing saved
    QCOMPARE(userDictionary(), QByteArray("U+4E8C\tkCangjie\tMM\n"));
    editCell(2, Cangjie, QStringLiteral("mm")); // another case is a change
    QCOMPARE(userDictionary(), QByteArray("U+4E8C\tkCangjie\tMM\nU+4E8C\tkCangjie\tmm\n"));

    // The edited value is searched at once.
    filterDBItems(entryList(), -1, Cangjie, QStringLiteral("MM"));
    QCOMPARE(listedCharacters(), QStringLiteral("二"));

    // A cleared value is saved as "?".
    editCell(2, Cangjie, QString());
    QVERIFY(!valueOf(1, Cangjie)->display().isNull() && valueOf(1, Cangjie)->display().isEmpty());
    QCOMPARE(valueOf(1, Cangjie)->text(), QByteArray("?"));
    QVERIFY(userDictionary().endsWith("\nU+4E8C\tkCangjie\t?\n"));
}

void DictionaryWindowTest::sortingOrdersRowsByColumnKind_data()
{
    QTest::addColumn<FourCharCode>("property");
    QTest::addColumn<QString>("expected");
    QTest::newRow("romanisation: first reading, then code point")
        << FOUR_CHAR_CODE("PYIN") << QStringLiteral("二啡高咖吗妈麻马水信一永𠀀");
    QTest::newRow("text: case-insensitive, accents canonical")
        << FOUR_CHAR_CODE("EDEF") << QStringLiteral("𠀀啡咖永吗麻马妈一高信二水");
}

void DictionaryWindowTest::sortingOrdersRowsByColumnKind()
{
    QFETCH(FourCharCode, property);
    QFETCH(QString, expected);
    createDictionaryWindow();
    ControlRef list = entryList();
    QCOMPARE(SetDataBrowserSortProperty(list, property), noErr);
    QCOMPARE(listedCharacters(), expected);
    // A refill keeps the order.
    filterDBItems(list, -1, -3, QString());
    QCOMPARE(listedCharacters(), expected);
}

void DictionaryWindowTest::filterListsEntriesOncePerMatch_data()
{
    QTest::addColumn<int>("filter");
    QTest::addColumn<int>("scope");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("hiddenField");
    QTest::addColumn<QString>("expected");
    QTest::newRow("filter: entries with a value")
        << int(Trad) << -3 << QString() << -1 << QStringLiteral("二马");
    QTest::newRow("all fields: character and field match once")
        << -1 << -2 << QStringLiteral("水") << -1 << QStringLiteral("水");
    QTest::newRow("all fields: a word")
        << -1 << -2 << QStringLiteral("water") << -1 << QStringLiteral("水永");
    QTest::newRow("all fields skip hidden fields")
        << -1 << -2 << QStringLiteral("water") << int(Definition) << QString();
    QTest::newRow("entries without the field never match")
        << -1 << int(Cantonese) << QStringLiteral("a") << -1 << QStringLiteral("一马");
    // Results go by relevance: the character itself, then readings and whole
    // words, then the rest; each group by strokes (none last), then code point.
    QTest::newRow("toneless pinyin matches every tone")
        << -1 << int(Mandarin) << QStringLiteral("ma") << -1 << QStringLiteral("马妈麻吗");
    QTest::newRow("whole words before parts of words")
        << -1 << -2 << QStringLiteral("a") << -1 << QStringLiteral("一水𠀀马妈高吗咖啡永");
    QTest::newRow("numbers match whole")
        << -1 << int(Strokes) << QStringLiteral("1") << -1 << QStringLiteral("一");
    QTest::newRow("search within a filter")
        << int(Trad) << -2 << QStringLiteral("horse") << -1 << QStringLiteral("马");
}

void DictionaryWindowTest::filterListsEntriesOncePerMatch()
{
    QFETCH(int, filter);
    QFETCH(int, scope);
    QFETCH(QString, text);
    QFETCH(int, hiddenField);
    QFETCH(QString, expected);
    createDictionaryWindow();
    if (hiddenField >= 0)
        dict.fields[std::size_t(hiddenField)]->flags = 0;
    filterDBItems(entryList(), filter, scope, text);
    QCOMPARE(listedCharacters(), expected);
}

void DictionaryWindowTest::pinyinIsConvertedInTheMandarinScopeOnly_data()
{
    QTest::addColumn<int>("scope");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("listed");
    QTest::newRow("Mandarin") << int(Mandarin) << QStringLiteral("ma3") << QStringLiteral("m\u01ce")
                              << QStringLiteral("马");
    QTest::newRow("Mandarin, u umlaut as v")
        << int(Mandarin) << QStringLiteral("lv4") << QStringLiteral("l\u01dc") << QString();
    QTest::newRow("Mandarin, capitals kept") << int(Mandarin) << QStringLiteral("Ma3")
                                             << QStringLiteral("M\u01ce") << QStringLiteral("马");
    QTest::newRow("Mandarin, syllables written together")
        << int(Mandarin) << QStringLiteral("yi1er4") << QStringLiteral("y\u012b\u00e8r")
        << QString();
    QTest::newRow("Search All Fields")
        << -2 << QStringLiteral("ma3") << QStringLiteral("ma3") << QStringLiteral("马");
}

void DictionaryWindowTest::pinyinIsConvertedInTheMandarinScopeOnly()
{
    QFETCH(int, scope);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, listed);
    globals.searchState = scope;
    createDictionaryWindow();
    QLineEdit* edit = searchEdit();
    edit->setText(typed);
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(edit->text(), shown);
    QCOMPARE(listedCharacters(), listed);
    QVERIFY(cancelAction(edit)->isVisible());
    QCOMPARE(controlText(kResultCountID),
             listed.isEmpty() ? QStringLiteral("No entries match \u201C%1\u201D").arg(shown)
                              : QStringLiteral("1 entry"));
}

void DictionaryWindowTest::theListKeepsTheSortColumnTheUserChose()
{
    listSort.column = dict.fields[Strokes]->code;
    createDictionaryWindow();
    ControlRef list = entryList();
    // By strokes: 吗 has "x" (0); 咖 啡 永 𠀀 have none and stay in entry order.
    QCOMPARE(listedCharacters(), QStringLiteral("吗一二马水妈信高麻咖啡永𠀀"));
    QCOMPARE(controlText(kResultCountID), QStringLiteral("13 entries"));
    // A search lists by relevance; a header clicked then is the user's choice,
    // a second click reverses it.
    filterDBItems(list, -1, -2, QStringLiteral("horse"));
    DataBrowserPropertyID property = 0;
    GetDataBrowserSortProperty(list, &property);
    QCOMPARE(property, kDataBrowserItemNoProperty);
    QHeaderView* header = qobject_cast<QTreeView*>(GetControlWidget(list))->header();
    emit header->sectionClicked(0);
    emit header->sectionClicked(0);
    filterDBItems(list, -1, -3, QString());
    QCOMPARE(listedCharacters(), QStringLiteral("𠀀麻高马永水妈啡咖吗信二一"));
    QCOMPARE(listSort.column, kCharacterColumn);
    QCOMPARE(listSort.order, kDataBrowserOrderDecreasing);
}

void DictionaryWindowTest::menusNumberOfferedFieldsOnly()
{
    dict.fields[Definition]->flags = 0;
    globals.filterState = Radical;
    createDictionaryWindow();
    WindowRef window = dictionaryWindow();
    auto* filterMenu = qobject_cast<QComboBox*>(GetControlWidget(controlOf(window, kFilterMenuID)));
    QCOMPARE(filterMenu->count(), 1 + 8);
    QCOMPARE(filterMenu->currentIndex() + 1, 4); // fields 0, 2 and 3 are offered before it
    QCOMPARE(filterMenu->itemText(3), QStringLiteral("Radical"));
    QCOMPARE(listedCharacters(), QStringLiteral("一"));
    MenuRef searchMenu = nullptr;
    HISearchFieldGetSearchMenu(controlOf(window, kSearchFieldID), &searchMenu);

    // Choosing the filter item of a field lists its entries at once.
    emit filterMenu->activated(2); // "Strokes"
    QCOMPARE(globals.filterState, int(Strokes));
    const QString withStrokes = QStringLiteral("一二马妈吗麻水信高");
    QCOMPARE(listedCharacters(), withStrokes);

    // Choosing a scope item records the scope and leaves the list alone.
    searchMenu->actions().at(4)->trigger();
    QCOMPARE(globals.searchState, int(Radical));
    QCOMPARE(controlText(kScopeCaptionID), QStringLiteral("Radical"));
    QCOMPARE(listedCharacters(), withStrokes);
    QStringList marked;
    for (QAction* action : searchMenu->actions()) {
        if (action->isChecked())
            marked << action->text();
    }
    QCOMPARE(marked, QStringList{QStringLiteral("Radical")});

    // "All Entries" searches the text in the scope chosen, which it keeps.
    QLineEdit* edit = searchEdit();
    edit->setText(QStringLiteral("\u2F00")); // the radical of 一
    emit filterMenu->activated(0);
    QCOMPARE(listedCharacters(), QStringLiteral("一"));
    QCOMPARE(globals.filterState, -1);
    QCOMPARE(globals.searchState, int(Radical));
    QCOMPARE(edit->text(), QStringLiteral("\u2F00"));
}

void DictionaryWindowTest::closingRecordsTheBoundsAndTheDivider()
{
    createDictionaryWindow();
    WindowRef window = dictionaryWindow();
    Rect bounds;
    SetRect(&bounds, 40, 50, 1240, 810);
    QCOMPARE(SetWindowBounds(window, kWindowContentRgn, &bounds), noErr);
    const float ratio = 0.4567f;
    QCOMPARE(SetControlData(controlOf(window, kViewPaneID), 0, FOUR_CHAR_CODE("svsr"), sizeof ratio,
                            &ratio),
             noErr);
    flush();
    GetWindowWidget(window)->close();
    flush();
    QVERIFY(!dictionaryWindow());
    QCOMPARE(QRect(QPoint(globals.DictLeftCorner, globals.DictTopCorner),
                   QPoint(globals.DictRightCorner - 1, globals.DictBottomCorner - 1)),
             QRect(40, 50, 1200, 760));
    QCOMPARE(globals.ShowDictionary, 1);
    QCOMPARE(globals.dividerRatio, 456);
    QVERIFY(alerts->requests.empty());
}

void DictionaryWindowTest::textViewLinesGroupFieldsOfAKindAndCutLongValues_data()
{
    QTest::addColumn<QList<int>>("shown");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("value"); // the definition shown; null: the entry's own
    QTest::addColumn<QString>("expected");
    const QString head = QStringLiteral("Character:\t一");
    QTest::newRow("reading, definition, two meta-texts")
        << QList<int>{Mandarin, Definition, Radical, Cangjie} << 0 << QString()
        << head + QStringLiteral("\nMandarin:\tyī\nDefinition:\tone; a, an; alone\n"
                                 "Radical:\t\u2F00\tCangjie:\tM\n");
    QTest::newRow("three meta-texts: a pair and one")
        << QList<int>{Radical, Cangjie, FourCorner} << 0 << QString()
        << head + QStringLiteral("\nRadical:\t\u2F00\tCangjie:\tM\nFour corner:\t10000\n");
    // Long values are cut, never inside a surrogate pair.
    const QString pair = QStringLiteral("\U00020000");
    const QString cut = QStringLiteral("Character:\t二\nDefinition:\t");
    QTest::newRow("a pair across the cut is left out whole")
        << QList<int>{Definition} << 1 << QString(1023, u'x') + pair + pair
        << cut + QString(1023, u'x') + u'\n';
    QTest::newRow("a pair that ends at the cut stays")
        << QList<int>{Definition} << 1 << QString(1022, u'x') + pair + pair
        << cut + QString(1022, u'x') + pair + u'\n';
}

void DictionaryWindowTest::textViewLinesGroupFieldsOfAKindAndCutLongValues()
{
    QFETCH(QList<int>, shown);
    QFETCH(int, entry);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    createDictionaryWindow();
    QCOMPARE(controlText(kTextPaneID),
             QStringLiteral("Click on a dictionary entry to view data here."));
    for (std::size_t i = 0; i < dict.fields.size(); ++i)
        dict.fields[i]->flags = shown.contains(int(i)) ? 3 : 1;
    dictValue* definition = valueOf(entry, Definition);
    const dictValue saved = *definition;
    if (!value.isNull())
        dict.setValue(definition, saved.text(), value);
    loadDictTextData(dict.entries[std::size_t(entry)]);
    *definition = saved;
    QCOMPARE(withoutWords(controlText(kTextPaneID)), expected);
}

void DictionaryWindowTest::selectingARowShowsTheEntryAndEditsShowAtOnce()
{
    createDictionaryWindow();
    ControlRef list = entryList();
    const DataBrowserItemID item = 7; // 水
    QCOMPARE(SetDataBrowserSelectedItems(list, 1, &item, kDataBrowserItemsAssign), noErr);
    QCOMPARE(controlText(kCharacterCaptionID), QStringLiteral("水"));
    QVERIFY(
        controlText(kTextPaneID).startsWith(QStringLiteral("Character:\t水\nMandarin:\tshuǐ\n")));
    // It ends with the most common words with the character (the shipped words).
    const QString words =
        controlText(kTextPaneID).section(QStringLiteral("\n\nWords with 水:\n"), 1);
    QCOMPARE(words.count(u'\n'), 12);
    QVERIFY2((u'\n' + words).contains(QStringLiteral("\n水果\tshuǐ guǒ\tfruit\n")),
             qPrintable(words));
    // An edit of the selected row shows in the text view at once.
    dictValue* reading = valueOf(6, Mandarin);
    const dictValue saved = *reading;
    editCell(item, Mandarin, QStringLiteral("shuǐ!"));
    const QString text = controlText(kTextPaneID);
    *valueOf(6, Mandarin) = saved;
    QVERIFY2(text.startsWith(QStringLiteral("Character:\t水\nMandarin:\tshuǐ!\n")),
             qPrintable(text));
    QCOMPARE(controlText(kCharacterCaptionID), QStringLiteral("水"));
    // A refill empties the caption.
    filterDBItems(list, -1, -3, QString());
    QVERIFY(controlText(kCharacterCaptionID).isEmpty());
}

// 二 lists itself and 弍 as its traditional forms; only the first showed,
// and a search for the second found nothing.
void DictionaryWindowTest::aVariantFieldShowsEveryFormAndIsFoundByAny()
{
    createDictionaryWindow();
    filterDBItems(entryList(), -1, int(Trad), QStringLiteral("弍"));
    QCOMPARE(listedCharacters(), QStringLiteral("二"));
    const QAbstractItemModel* model = wtest::treeViewOf(entryList())->model();
    const int column = int(columnTitles(entryList()).indexOf(QStringLiteral("Trad")));
    QCOMPARE(model->index(0, column).data().toString(), QStringLiteral("二 弍"));
    loadDictTextData(dict.entries[1]);
    QVERIFY2(controlText(kTextPaneID).contains(QStringLiteral("\nTrad:\t二 弍\n")),
             qPrintable(controlText(kTextPaneID)));
}

void DictionaryWindowTest::everyRefillShowsTheListFromTheTop_data()
{
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("typed"); // typed into the search field before the step
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("listed");
    const QString every = QStringLiteral("一二马妈吗麻水信高咖啡永𠀀");
    QTest::newRow("search accepted")
        << -1 << QStringLiteral("a") << u"Return"_qs << QStringLiteral("一水𠀀马妈高吗咖啡永");
    QTest::newRow("Escape") << -1 << QStringLiteral("horse") << u"Escape"_qs << every;
    QTest::newRow("× button") << -1 << QStringLiteral("horse") << u"cancel"_qs << every;
    QTest::newRow("× button, with a filter: the filtered entries")
        << int(Strokes) << QStringLiteral("water") << u"cancel"_qs
        << QStringLiteral("一二马妈吗麻水信高");
    QTest::newRow("empty text accepted") << -1 << QString() << u"Return"_qs << every;
    QTest::newRow("blank text accepted") << -1 << QStringLiteral("  ") << u"Return"_qs << every;
    // Show: applies the text in the field, accepted or not.
    QTest::newRow("Show: a field")
        << -1 << QStringLiteral("horse") << u"Show: Strokes"_qs << QStringLiteral("马");
    QTest::newRow("Show: a field, no text")
        << -1 << QString() << u"Show: Strokes"_qs << QStringLiteral("一二马妈吗麻水信高");
    QTest::newRow("Show: All Entries") << int(Strokes) << QStringLiteral("horse")
                                       << u"Show: All Entries"_qs << QStringLiteral("马");
    QTest::newRow("Lookup service") << -1 << QString() << u"Lookup"_qs << QStringLiteral("水永");
}

void DictionaryWindowTest::everyRefillShowsTheListFromTheTop()
{
    QFETCH(int, filter);
    QFETCH(QString, typed);
    QFETCH(QString, step);
    QFETCH(QString, listed);
    globals.filterState = filter;
    createDictionaryWindow();
    Rect bounds;
    SetRect(&bounds, 40, 50, 640, 290); // room for a few rows only
    SetWindowBounds(dictionaryWindow(), kWindowContentRgn, &bounds);
    QLineEdit* edit = searchEdit();
    flush();

    // Scrolled to the end, with a row chosen there.
    QTreeView* view = wtest::treeViewOf(entryList());
    view->scrollToBottom();
    QVERIFY(view->verticalScrollBar()->value() > 0);
    const QRect last = view->visualRect(view->model()->index(view->model()->rowCount() - 1, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, last.center());
    QVERIFY(!view->selectionModel()->selectedRows().isEmpty());

    QTest::keyClicks(edit, typed);
    auto* filterMenu =
        qobject_cast<QComboBox*>(GetControlWidget(controlOf(dictionaryWindow(), kFilterMenuID)));
    if (step == u"Return")
        QTest::keyClick(edit, Qt::Key_Return);
    else if (step == u"Escape")
        QTest::keyClick(edit, Qt::Key_Escape);
    else if (step == u"cancel")
        cancelAction(edit)->trigger();
    else if (step == u"Show: Strokes")
        emit filterMenu->activated(filterMenu->findText(QStringLiteral("Strokes")));
    else if (step == u"Show: All Entries")
        QTest::keyClick(filterMenu, Qt::Key_Home);
    else if (step == u"Lookup")
        performServiceMessage(QStringLiteral("Lookup"), QStringLiteral("water"));
    flush();

    QCOMPARE(listedCharacters(), listed);
    QCOMPARE(view->verticalScrollBar()->value(), 0);
    QCOMPARE(view->indexAt(QPoint(2, 2)).row(), 0);
    QCOMPARE(view->currentIndex().row(), 0);
    QVERIFY(view->selectionModel()->selectedRows().isEmpty());
    // Without a search the field is empty and offers nothing to cancel.
    const bool searching = !typed.trimmed().isEmpty() || step == u"Lookup";
    QCOMPARE(cancelAction(edit)->isVisible(), searching && step != u"Escape" && step != u"cancel");
    if (!searching || step == u"Escape" || step == u"cancel")
        QVERIFY(edit->text().isEmpty());
}

void DictionaryWindowTest::downLeavesTheSearchForTheFirstRowAndReturnOpensIt_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Enter") << int(Qt::Key_Enter);
}

void DictionaryWindowTest::downLeavesTheSearchForTheFirstRowAndReturnOpensIt()
{
    QFETCH(int, key);
    createDictionaryWindow();
    QLineEdit* edit = searchEdit();
    QTest::keyClicks(edit, QStringLiteral("water"));
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(listedCharacters(), QStringLiteral("水永"));
    QTreeView* view = wtest::treeViewOf(entryList());
    // Return on a row that is only current opens nothing.
    QTest::keyClick(view, Qt::Key(key));
    QVERIFY(!FindMyWindow(kFloatingWindowTag, false));

    QTest::keyClick(edit, Qt::Key_Down);
    QCOMPARE(GetWindowWidget(dictionaryWindow())->focusWidget(), view);
    QCOMPARE(view->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(view->currentIndex().row(), 0);
    QCOMPARE(controlText(kCharacterCaptionID), QStringLiteral("水"));
    QCOMPARE(edit->text(), QStringLiteral("water"));

    // Return or Enter on the selected row does what a double click does.
    QTest::keyClick(view, Qt::Key(key));
    WindowRef floating = FindMyWindow(kFloatingWindowTag, false);
    QVERIFY(floating);
    QCOMPARE(wtest::controlText(controlOf(floating, ControlID{"CHAR"_4cc, 128})),
             QStringLiteral("水"));
}

QTEST_MAIN(DictionaryWindowTest)
#include "tst_dictionarywindow.moc"
