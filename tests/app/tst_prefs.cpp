// Preferences: defaults, stored values, bad stored values, the per-field
// flags, the window state copied at save, and that saving also writes the
// user's pending dictionary edits.

#include "apptesthelpers.h"
#include "tests/common/stdoutcapture.h"

#include "app/globals.h"
#include "app/prefs.h"
#include "platform/controls.h"
#include "splitview/splitview.h"
#include "store/dictionary.h"
#include "store/locations.h"
#include "windows/dictionary/dictionarywindow.h"

#include <QTest>
#include <QUrl>

#include <cmath>

using namespace apptest;

namespace {

struct Defaults {
    const char* key;
    qint64 value;
};

// The fifteen words and what a first run gives them.
const Defaults kDefaults[] = {
    {"filterState", -1},
    {"searchState", -2},
    {"floatingCharType", 0x43484152},  // 'CHAR'
    {"floatingRomanType", 0x5059494E}, // 'PYIN'
    {"floatingDefnType", 0x45444546},  // 'EDEF'
    {"biggerFonts", 0},
    {"ShowFloating", 0},
    {"ShowDictionary", 1},
    {"dividerRatio", 600},
    {"DictLeftCorner", -1},
    {"DictTopCorner", -1},
    {"DictRightCorner", -1},
    {"DictBottomCorner", -1},
    {"FloatLeftCorner", -1},
    {"FloatTopCorner", -1},
};

// Saves as the program does at quit, and checks that every value went out
// as a first run gives it.
void verifyDefaultsSaved()
{
    updateWindowPrefValues();
    QCOMPARE(savePrefs(), noErr);
    const QMap<QString, QString> stored = storedPrefs();
    for (const Defaults& d : kDefaults) {
        const QString key = QString::fromLatin1(d.key);
        // Without any window open the Show flags go out as 0.
        QVERIFY2(stored.contains(key), qPrintable(key));
        QCOMPARE(stored.value(key).toLongLong(), key.startsWith(u"Show") ? 0 : d.value);
    }
    QCOMPARE(stored.value(QStringLiteral("Mandarin")), QStringLiteral("3"));
}

// A split view in the window, as the dictionary window has, at `ratio`.
void addSplitView(WindowRef window, float ratio)
{
    ControlRef split = nullptr;
    const HIRect frame{{0, 0}, {300, 200}};
    QCOMPARE(SplitView::Create(&split, &frame, window), noErr);
    SetControlID(split, &kSplitViewControlID);
    SetControlData(split, kControlEntireControl, kSplitViewRatioTag, sizeof ratio, &ratio);
}

} // namespace

class PrefsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void aFirstRunGivesTheDefaults();
    void storedValuesReadBack();
    void badStoredValuesGiveTheDefaults_data();
    void badStoredValuesGiveTheDefaults();
    void aDamagedFileIsRewrittenWithOnlyOurKeys();
    void theWindowStateIsSavedWithTheWindowPlaces();
    void theDividerRatioIsSavedInThousandths_data();
    void theDividerRatioIsSavedInThousandths();
    void savingWritesThePendingDictionaryEdits();
    void theListSortIsKeptAcrossRestarts();
};

void PrefsTest::initTestCase()
{
    dict.fields.push_back(
        makeField("kMandarin", "Mandarin", FOUR_CHAR_CODE("PYIN"), kRomanization));
    dict.fields.push_back(
        makeField("kDefinition", "English Definition", FOUR_CHAR_CODE("EDEF"), kDefinition));
    dict.fields.push_back(
        makeField("kOther", "Shared Title", FOUR_CHAR_CODE("OTH1"), kAltCharacter));
    dict.fields.push_back(
        makeField("kAnother", "Shared Title", FOUR_CHAR_CODE("OTH2"), kDefinition));
}

void PrefsTest::init()
{
    storePrefsFile(QByteArray());
    globals = Globals{};
    for (dictFields* field : dict.fields)
        field->flags = 1;
}

void PrefsTest::cleanup()
{
    disposeAllWindows();
}

void PrefsTest::aFirstRunGivesTheDefaults()
{
    QCOMPARE(loadPrefs(), noErr);
    for (const dictFields* field : dict.fields)
        QCOMPARE(field->flags, 3u);
    QCOMPARE(globals.ShowDictionary, 1);
    verifyDefaultsSaved();
}

void PrefsTest::storedValuesReadBack()
{
    const QMap<QString, QString> values = {
        {QStringLiteral("filterState"), QStringLiteral("3")},
        {QStringLiteral("floatingRomanType"), QStringLiteral("1348028750")}, // 'PYIN'
        {QStringLiteral("floatingDefnType"), QStringLiteral("1330923570")},  // 'OTH2'
        {QStringLiteral("biggerFonts"), QStringLiteral("1")},
        {QStringLiteral("dividerRatio"), QStringLiteral("456")},
        {QStringLiteral("DictTopCorner"), QStringLiteral("-20")},
        {QStringLiteral("FloatLeftCorner"), QStringLiteral("-32768")},
        {QStringLiteral("Mandarin"), QStringLiteral("2")},
        {QStringLiteral("English Definition"), QStringLiteral("0")},
    };
    QByteArray file = "[General]\nShowFloating=1\nShowDictionary=0\n";
    for (auto it = values.begin(); it != values.end(); ++it)
        file += QUrl::toPercentEncoding(it.key()) + '=' + it.value().toLatin1() + '\n';
    storePrefsFile(file);
    QCOMPARE(loadPrefs(), noErr);
    QCOMPARE(QList<qint64>({globals.filterState, globals.floatingDefnType, globals.ShowFloating,
                            globals.ShowDictionary, globals.FloatLeftCorner}),
             QList<qint64>({3, 0x4F544832, 1, 0, -32768}));
    QCOMPARE(dict.fields[0]->flags, 2u);

    // And they go back out unchanged.
    QCOMPARE(savePrefs(), noErr);
    const QMap<QString, QString> stored = storedPrefs();
    for (auto it = values.begin(); it != values.end(); ++it)
        QCOMPARE(stored.value(it.key()), it.value());
}

// A field number that named no field crashed every start (2147483647) or
// cost seconds and megabytes; every kind of value is checked likewise.
void PrefsTest::badStoredValuesGiveTheDefaults_data()
{
    QTest::addColumn<QByteArray>("key"); // empty: every key
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("word") << QByteArray() << QByteArray("abc");
    QTest::newRow("beyond 32 bits") << QByteArray() << QByteArray("2147483648");
    QTest::newRow("number then text") << QByteArray() << QByteArray("12abc");
    QTest::newRow("bytes") << QByteArray() << QByteArray("\"\\xff\\xfe\"");
    QTest::newRow("filter: largest integer")
        << QByteArray("filterState") << QByteArray("2147483647");
    QTest::newRow("filter: the all-fields scope") << QByteArray("filterState") << QByteArray("-2");
    QTest::newRow("search: below the scopes") << QByteArray("searchState") << QByteArray("-3");
    QTest::newRow("ratio above one") << QByteArray("dividerRatio") << QByteArray("1001");
    QTest::newRow("corner past 16 bits") << QByteArray("DictLeftCorner") << QByteArray("32768");
    QTest::newRow("code of another kind")
        << QByteArray("floatingDefnType") << QByteArray("1348028750");
    QTest::newRow("flags past two bits") << QByteArray("Mandarin") << QByteArray("4");
}

void PrefsTest::badStoredValuesGiveTheDefaults()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, stored);
    QByteArray file = "[General]\n";
    for (const Defaults& d : kDefaults) {
        if (key.isEmpty() || key == d.key)
            file += QByteArray(d.key) + '=' + stored + '\n';
    }
    if (key.isEmpty() || key == "Mandarin")
        file += "Mandarin=" + stored + '\n';
    storePrefsFile(file);
    globals.ShowDictionary = 0; // so a kept old value shows

    // A value out of range was dropped without a word: it is said once.
    StdoutCapture errors(stderr);
    QCOMPARE(loadPrefs(), noErr);
    QCOMPARE(loadPrefs(), noErr);
    const QByteArray said = errors.finish();
    QCOMPARE(globals.ShowDictionary, 1);
    verifyDefaultsSaved();
    if (!key.isEmpty())
        QVERIFY2(said.count(key + '=' + stored) == 1 && said.count('\n') == 1, said.constData());
}

// The garbage of a damaged file survived every save as escaped keys, and a
// save that worked was reported as failed.
void PrefsTest::aDamagedFileIsRewrittenWithOnlyOurKeys()
{
    storePrefsFile(
        "[General]\nfilterState=1\n\x01garbage without a value\n%zz=2\n[Other]\nkey=3\n");
    QCOMPARE(loadPrefs(), noErr);
    QCOMPARE(globals.filterState, 1);
    StderrCapture out;
    QCOMPARE(savePrefs(), noErr);
    const QByteArray printed = out.finish();
    QVERIFY2(!printed.contains("Could not write preferences"), printed.constData());
    // The words, three field titles and the list sort; nothing else.
    const QMap<QString, QString> stored = storedPrefs();
    QCOMPARE(stored.size(), int(std::size(kDefaults)) + 5);
    QCOMPARE(stored.value(QStringLiteral("filterState")), QStringLiteral("1"));
}

// The window words are taken from the windows at save: a window open then is
// saved shown at its place, one closed before keeps the place it had.
void PrefsTest::theWindowStateIsSavedWithTheWindowPlaces()
{
    storePrefsFile("[General]\nShowFloating=7\nShowDictionary=-3\nbiggerFonts=7\n");
    QCOMPARE(loadPrefs(), noErr);
    QCOMPARE(QList<int>({globals.ShowFloating, globals.ShowDictionary, globals.biggerFonts}),
             QList<int>({1, 1, 1}));

    WindowRef dictionaryWindow = makeTaggedWindow(kDictionaryWindowTag, QRect(40, 50, 600, 400));
    WindowRef floatingWindow = makeTaggedWindow(kFloatingWindowTag, QRect(700, 60, 200, 450));
    Rect d, f;
    QCOMPARE(GetWindowBounds(dictionaryWindow, kWindowContentRgn, &d), noErr);
    QCOMPARE(GetWindowBounds(floatingWindow, kWindowGlobalPortRgn, &f), noErr);
    // What the window's close handler does before the window goes.
    updateWindowPrefValues();
    DisposeWindow(floatingWindow);
    // And what the quit does.
    updateWindowPrefValues();
    QCOMPARE(savePrefs(), noErr);
    const QMap<QString, QString> stored = storedPrefs();
    QCOMPARE(stored.value(QStringLiteral("ShowDictionary")), QStringLiteral("1"));
    QCOMPARE(stored.value(QStringLiteral("ShowFloating")), QStringLiteral("0"));
    QCOMPARE(stored.value(QStringLiteral("biggerFonts")), QStringLiteral("1"));
    QCOMPARE(stored.value(QStringLiteral("DictLeftCorner")).toInt(), int(d.left));
    QCOMPARE(stored.value(QStringLiteral("DictBottomCorner")).toInt(), int(d.bottom));
    QCOMPARE(stored.value(QStringLiteral("FloatTopCorner")).toInt(), int(f.top));
}

void PrefsTest::theDividerRatioIsSavedInThousandths_data()
{
    QTest::addColumn<bool>("splitView");
    QTest::addColumn<float>("ratio");
    QTest::addColumn<int>("thousandths"); // 620: the last one kept
    QTest::newRow("0.4567") << true << 0.4567f << 456;
    QTest::newRow("not a number: kept") << true << std::nanf("") << 620;
    QTest::newRow("no split view (yet): kept") << false << 0.5f << 620;
}

void PrefsTest::theDividerRatioIsSavedInThousandths()
{
    QFETCH(bool, splitView);
    QFETCH(float, ratio);
    QFETCH(int, thousandths);
    QCOMPARE(loadPrefs(), noErr);
    globals.dividerRatio = 620;
    WindowRef window = makeTaggedWindow(kDictionaryWindowTag);
    if (splitView)
        addSplitView(window, ratio);
    updateWindowPrefValues();
    QCOMPARE(globals.dividerRatio, thousandths);
    QCOMPARE(globals.ShowDictionary, 1);
}

void PrefsTest::savingWritesThePendingDictionaryEdits()
{
    QCOMPARE(loadPrefs(), noErr);
    auto* entry = new characterEntry(std::vector<uint32_t>{0x4E2D});
    dict.addCharacterEntry(entry);
    dict.addDictValue(entry, 1, "middle", QStringLiteral("middle"), 1);

    QCOMPARE(savePrefs(), noErr);
    QFile file(QString::fromStdString(getCustomDictLocation()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("U+4E2D\tkDefinition\tmiddle\n"));
    QCOMPARE(entry->lookup(1)->modified, 0);
}

void PrefsTest::theListSortIsKeptAcrossRestarts()
{
    // A first run sorts by frequency, when the dictionary has it.
    dict.fields.push_back(makeField("kFrequency", "Frequency", FOUR_CHAR_CODE("FREQ"), kMetaNum));
    QCOMPARE(loadPrefs(), noErr);
    delete dict.fields.back();
    dict.fields.pop_back();
    QCOMPARE(listSort.column, FOUR_CHAR_CODE("FREQ"));
    QCOMPARE(listSort.order, kDataBrowserOrderIncreasing);

    listSort = {FOUR_CHAR_CODE("OTH2"), kDataBrowserOrderDecreasing};
    QCOMPARE(savePrefs(), noErr);
    listSort = ListSort{};
    QCOMPARE(loadPrefs(), noErr);
    QCOMPARE(listSort.column, FOUR_CHAR_CODE("OTH2"));
    QCOMPARE(listSort.order, kDataBrowserOrderDecreasing);
}

QTEST_MAIN(PrefsTest)
#include "tst_prefs.moc"
