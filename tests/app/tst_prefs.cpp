// Preferences: defaults, stored values, bad stored values, the per-field
// flags, the window state copied at save, and that saving also writes the
// user's pending dictionary edits.

#include "apptesthelpers.h"
#include "tests/common/stdoutcapture.h"

#include "app/globals.h"
#include "app/prefs.h"
#include "platform/controls.h"
#include "store/dictionary.h"
#include "store/locations.h"
#include "windows/dictionary/dictionarywindow.h"

#include <QTest>

#include <cmath>

using namespace apptest;

namespace {

dictFields* makeField(const char* name, const char* title, uint32_t code, int32_t kind)
{
    auto* field = new dictFields();
    field->name = QByteArray(name);
    field->kind = kind;
    field->width = 10;
    field->code = code;
    field->title = QString::fromUtf8(title);
    field->flags = 1; // as the field index loader leaves it
    field->inList = 0;
    return field;
}

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

qint64 globalsValue(const QString& key)
{
    const Globals& g = globals;
    const QMap<QString, qint64> words = {
        {QStringLiteral("filterState"), g.filterState},
        {QStringLiteral("searchState"), g.searchState},
        {QStringLiteral("floatingCharType"), g.floatingCharType},
        {QStringLiteral("floatingRomanType"), g.floatingRomanType},
        {QStringLiteral("floatingDefnType"), g.floatingDefnType},
        {QStringLiteral("biggerFonts"), g.biggerFonts},
        {QStringLiteral("ShowFloating"), g.ShowFloating},
        {QStringLiteral("ShowDictionary"), g.ShowDictionary},
        {QStringLiteral("dividerRatio"), g.dividerRatio},
        {QStringLiteral("DictLeftCorner"), g.DictLeftCorner},
        {QStringLiteral("DictTopCorner"), g.DictTopCorner},
        {QStringLiteral("DictRightCorner"), g.DictRightCorner},
        {QStringLiteral("DictBottomCorner"), g.DictBottomCorner},
        {QStringLiteral("FloatLeftCorner"), g.FloatLeftCorner},
        {QStringLiteral("FloatTopCorner"), g.FloatTopCorner},
    };
    return words.value(key, 0x7FFFFFFFFFFFLL);
}

// A stand-in split view: a control {'splV', 0} in the window that answers the
// ratio tag as the real one does.
float g_splitRatio = 0.5f;

OSStatus answerSplitRatio(EventHandlerCallRef, EventRef event, void*)
{
    ResType tag = 0;
    void* buffer = nullptr;
    SInt32 size = 0;
    GetEventParameter(event, kEventParamControlDataTag, typeEnumeration, nullptr, sizeof tag,
                      nullptr, &tag);
    GetEventParameter(event, kEventParamControlDataBuffer, typePtr, nullptr, sizeof buffer, nullptr,
                      &buffer);
    GetEventParameter(event, kEventParamControlDataBufferSize, typeLongInteger, nullptr,
                      sizeof size, nullptr, &size);
    if (tag != FOUR_CHAR_CODE("svsr"))
        return eventNotHandledErr;
    if (size != SInt32(sizeof(float)))
        return errDataSizeMismatch;
    *static_cast<float*>(buffer) = g_splitRatio;
    return noErr;
}

void addSplitView(WindowRef window)
{
    auto* view = new QWidget(GetWindowWidget(window));
    ControlRef control = GetControlFromWidget(view);
    const ControlID id = {FOUR_CHAR_CODE("splV"), 0};
    SetControlID(control, &id);
    static const EventTypeSpec getData[] = {{kEventClassControl, kEventControlGetData}};
    InstallControlEventHandler(control, NewEventHandlerUPP(answerSplitRatio),
                               GetEventTypeCount(getData), getData, nullptr, nullptr);
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
    void valuesTheSettingCannotTakeGiveTheDefaults_data();
    void valuesTheSettingCannotTakeGiveTheDefaults();
    void aDamagedFileIsRewrittenWithOnlyOurKeys();
    void storedBooleansAreWrittenBackAsOneWithTheWindowPlaces();
    void fieldsWithTheSameTitleShareOneKey();
    void theDividerRatioIsSavedInThousandths_data();
    void theDividerRatioIsSavedInThousandths();
    void closedWindowsAreSavedHiddenWithTheirLastBounds();
    void savingWritesThePendingDictionaryEdits();
    void theListSortIsKeptAcrossRestarts();
};

void PrefsTest::initTestCase()
{
    dict.fields.push_back(makeField("kMandarin", "Mandarin", FOUR_CHAR_CODE("PYIN"), kRomanization));
    dict.fields.push_back(makeField("kDefinition", "English Definition", FOUR_CHAR_CODE("EDEF"), kDefinition));
    dict.fields.push_back(makeField("kOther", "Shared Title", FOUR_CHAR_CODE("OTH1"), kAltCharacter));
    dict.fields.push_back(makeField("kAnother", "Shared Title", FOUR_CHAR_CODE("OTH2"), kDefinition));
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
    for (const Defaults& d : kDefaults)
        QCOMPARE(globalsValue(QString::fromLatin1(d.key)), d.value);
    for (const dictFields* field : dict.fields)
        QCOMPARE(field->flags, 3u);

    // Without any window open the Show flags go to 0; everything else is
    // written as read.
    QCOMPARE(savePrefs(), noErr);
    const QMap<QString, QString> stored = storedPrefs();
    for (const Defaults& d : kDefaults) {
        const QString key = QString::fromLatin1(d.key);
        const qint64 expected = key.startsWith(u"Show") ? 0 : d.value;
        QVERIFY2(stored.contains(key), qPrintable(key));
        QCOMPARE(stored.value(key).toLongLong(), expected);
    }
    QCOMPARE(stored.value(QStringLiteral("Mandarin")), QStringLiteral("3"));
    QCOMPARE(stored.value(QStringLiteral("English Definition")), QStringLiteral("3"));
}

void PrefsTest::storedValuesReadBack()
{
    storePrefsFile("[General]\n"
                   "filterState=3\nsearchState=-1\n"
                   "floatingCharType=1330923569\n" // 'OTH1'
                   "floatingRomanType=1348028750\n" // 'PYIN'
                   "floatingDefnType=1330923570\n" // 'OTH2'
                   "biggerFonts=1\nShowFloating=1\nShowDictionary=0\n"
                   "dividerRatio=456\n"
                   "DictLeftCorner=10\nDictTopCorner=-20\nDictRightCorner=700\nDictBottomCorner=500\n"
                   "FloatLeftCorner=-32768\nFloatTopCorner=32767\n"
                   "Mandarin=2\nEnglish%20Definition=0\n");
    QCOMPARE(loadPrefs(), noErr);
    const Defaults read[] = {
        {"filterState", 3},         {"searchState", -1},
        {"floatingCharType", 0x4F544831}, {"floatingRomanType", 0x5059494E},
        {"floatingDefnType", 0x4F544832}, {"biggerFonts", 1},
        {"ShowFloating", 1},        {"ShowDictionary", 0},
        {"dividerRatio", 456},      {"DictLeftCorner", 10},
        {"DictTopCorner", -20},     {"DictRightCorner", 700},
        {"DictBottomCorner", 500},  {"FloatLeftCorner", -32768},
        {"FloatTopCorner", 32767},
    };
    for (const Defaults& d : read)
        QCOMPARE(globalsValue(QString::fromLatin1(d.key)), d.value);
    QCOMPARE(dict.fields[0]->flags, 2u);
    QCOMPARE(dict.fields[1]->flags, 0u);

    // And they go back out unchanged (the window words aside).
    QCOMPARE(savePrefs(), noErr);
    const QMap<QString, QString> stored = storedPrefs();
    QCOMPARE(stored.value(QStringLiteral("floatingCharType")), QStringLiteral("1330923569"));
    QCOMPARE(stored.value(QStringLiteral("floatingDefnType")), QStringLiteral("1330923570"));
    QCOMPARE(stored.value(QStringLiteral("dividerRatio")), QStringLiteral("456"));
    QCOMPARE(stored.value(QStringLiteral("DictTopCorner")), QStringLiteral("-20"));
    QCOMPARE(stored.value(QStringLiteral("English Definition")), QStringLiteral("0"));
}

void PrefsTest::badStoredValuesGiveTheDefaults_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("word") << QByteArray("abc");
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("decimal fraction") << QByteArray("1.5");
    QTest::newRow("hexadecimal") << QByteArray("0x10");
    QTest::newRow("beyond 32 bits") << QByteArray("4294967296");
    QTest::newRow("below 32 bits") << QByteArray("-2147483649");
    QTest::newRow("list") << QByteArray("1, 2");
    QTest::newRow("number then text") << QByteArray("12abc");
}

void PrefsTest::badStoredValuesGiveTheDefaults()
{
    QFETCH(QByteArray, stored);
    QByteArray file = "[General]\n";
    for (const Defaults& d : kDefaults)
        file += QByteArray(d.key) + '=' + stored + '\n';
    file += "Mandarin=" + stored + '\n';
    storePrefsFile(file);
    // Something else than the defaults beforehand, so a kept old value shows.
    for (dictFields* field : dict.fields)
        field->flags = 1;
    globals.dividerRatio = 77;
    globals.ShowDictionary = 0;

    QCOMPARE(loadPrefs(), noErr);
    for (const Defaults& d : kDefaults)
        QCOMPARE(globalsValue(QString::fromLatin1(d.key)), d.value);
    QCOMPARE(dict.fields[0]->flags, 3u);
}

// A field number that named no field crashed every start (2147483647) or
// cost seconds and megabytes; every kind of value is checked likewise.
void PrefsTest::valuesTheSettingCannotTakeGiveTheDefaults_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("filter: largest integer") << QByteArray("filterState") << QByteArray("2147483647");
    QTest::newRow("filter: one past the fields") << QByteArray("filterState") << QByteArray("4");
    QTest::newRow("filter: the all-fields scope") << QByteArray("filterState") << QByteArray("-2");
    QTest::newRow("search: below the scopes") << QByteArray("searchState") << QByteArray("-3");
    QTest::newRow("search: one past the fields") << QByteArray("searchState") << QByteArray("4");
    QTest::newRow("ratio above one") << QByteArray("dividerRatio") << QByteArray("1001");
    QTest::newRow("ratio below zero") << QByteArray("dividerRatio") << QByteArray("-1");
    QTest::newRow("corner past 16 bits") << QByteArray("DictLeftCorner") << QByteArray("32768");
    QTest::newRow("corner below 16 bits") << QByteArray("FloatTopCorner") << QByteArray("-32769");
    QTest::newRow("code of another kind") << QByteArray("floatingDefnType") << QByteArray("1348028750");
    QTest::newRow("code of no field") << QByteArray("floatingRomanType") << QByteArray("0");
    QTest::newRow("flags past two bits") << QByteArray("Mandarin") << QByteArray("4");
    QTest::newRow("negative flags") << QByteArray("Mandarin") << QByteArray("-1");
}

void PrefsTest::valuesTheSettingCannotTakeGiveTheDefaults()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, stored);
    storePrefsFile("[General]\n" + key + '=' + stored + '\n');
    QCOMPARE(loadPrefs(), noErr);
    for (const Defaults& d : kDefaults)
        QCOMPARE(globalsValue(QString::fromLatin1(d.key)), d.value);
    QCOMPARE(dict.fields[0]->flags, 3u);
}

// The garbage of a damaged file survived every save as escaped keys, and a
// save that worked was reported as failed.
void PrefsTest::aDamagedFileIsRewrittenWithOnlyOurKeys()
{
    storePrefsFile("[General]\nfilterState=1\n\x01garbage without a value\n%zz=2\n[Other]\nkey=3\n");
    QCOMPARE(loadPrefs(), noErr);
    QCOMPARE(globals.filterState, 1);
    StdoutCapture out;
    QCOMPARE(savePrefs(), noErr);
    const QByteArray printed = out.finish();
    QVERIFY2(!printed.contains("Could not write preferences"), printed.constData());
    QStringList keys = storedPrefs().keys();
    QStringList expected{QStringLiteral("Mandarin"), QStringLiteral("English Definition"),
                         QStringLiteral("Shared Title"), QStringLiteral("listSortColumn"),
                         QStringLiteral("listSortOrder")};
    for (const Defaults& d : kDefaults)
        expected << QString::fromLatin1(d.key);
    keys.sort();
    expected.sort();
    QCOMPARE(keys, expected);
}

void PrefsTest::storedBooleansAreWrittenBackAsOneWithTheWindowPlaces()
{
    storePrefsFile("[General]\nShowFloating=7\nShowDictionary=-3\nbiggerFonts=7\n");
    QCOMPARE(loadPrefs(), noErr);
    QCOMPARE(QList<int>({globals.ShowFloating, globals.ShowDictionary, globals.biggerFonts}),
             QList<int>({1, 1, 1}));

    // Both windows are open at save, so their flags stay set and their
    // places are taken.
    WindowRef dictionaryWindow = makeTaggedWindow(kDictionaryWindowTag, QRect(40, 50, 600, 400));
    WindowRef floatingWindow = makeTaggedWindow(kFloatingWindowTag, QRect(700, 60, 200, 450));
    Rect d, f;
    QCOMPARE(GetWindowBounds(dictionaryWindow, kWindowContentRgn, &d), noErr);
    QCOMPARE(GetWindowBounds(floatingWindow, kWindowGlobalPortRgn, &f), noErr);
    QCOMPARE(savePrefs(), noErr);
    const QMap<QString, QString> stored = storedPrefs();
    QCOMPARE(stored.value(QStringLiteral("ShowFloating")), QStringLiteral("1"));
    QCOMPARE(stored.value(QStringLiteral("ShowDictionary")), QStringLiteral("1"));
    QCOMPARE(stored.value(QStringLiteral("biggerFonts")), QStringLiteral("1"));
    QCOMPARE(stored.value(QStringLiteral("DictLeftCorner")).toInt(), int(d.left));
    QCOMPARE(stored.value(QStringLiteral("DictTopCorner")).toInt(), int(d.top));
    QCOMPARE(stored.value(QStringLiteral("DictRightCorner")).toInt(), int(d.right));
    QCOMPARE(stored.value(QStringLiteral("DictBottomCorner")).toInt(), int(d.bottom));
    QCOMPARE(stored.value(QStringLiteral("FloatLeftCorner")).toInt(), int(f.left));
    QCOMPARE(stored.value(QStringLiteral("FloatTopCorner")).toInt(), int(f.top));
}

void PrefsTest::fieldsWithTheSameTitleShareOneKey()
{
    storePrefsFile("[General]\nShared%20Title=2\n");
    QCOMPARE(loadPrefs(), noErr);
    QCOMPARE(dict.fields[2]->flags, 2u);
    QCOMPARE(dict.fields[3]->flags, 2u);

    dict.fields[2]->flags = 1;
    dict.fields[3]->flags = 0;
    QCOMPARE(savePrefs(), noErr);
    QCOMPARE(storedPrefs().value(QStringLiteral("Shared Title")), QStringLiteral("0"));
}

void PrefsTest::theDividerRatioIsSavedInThousandths_data()
{
    QTest::addColumn<bool>("splitView");
    QTest::addColumn<float>("ratio");
    QTest::addColumn<int>("thousandths"); // 620: the last one kept
    QTest::newRow("0.4567") << true << 0.4567f << 456;
    QTest::newRow("1.0") << true << 1.0f << 1000;
    QTest::newRow("0") << true << 0.0f << 0;
    QTest::newRow("0.9999") << true << 0.9999f << 999;
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
        addSplitView(window);
    g_splitRatio = ratio;
    updateWindowPrefValues();
    QCOMPARE(globals.dividerRatio, thousandths);
    QCOMPARE(globals.ShowDictionary, 1);
}

void PrefsTest::closedWindowsAreSavedHiddenWithTheirLastBounds()
{
    QCOMPARE(loadPrefs(), noErr);
    WindowRef window = makeTaggedWindow(kDictionaryWindowTag, QRect(30, 40, 500, 300));
    Rect bounds;
    QCOMPARE(GetWindowBounds(window, kWindowContentRgn, &bounds), noErr);
    // What the window's close handler does before the window goes.
    updateWindowPrefValues();
    DisposeWindow(window);

    QCOMPARE(savePrefs(), noErr);
    const QMap<QString, QString> stored = storedPrefs();
    QCOMPARE(stored.value(QStringLiteral("ShowDictionary")), QStringLiteral("0"));
    QCOMPARE(stored.value(QStringLiteral("DictLeftCorner")).toInt(), int(bounds.left));
    QCOMPARE(stored.value(QStringLiteral("DictBottomCorner")).toInt(), int(bounds.bottom));
    QCOMPARE(stored.value(QStringLiteral("FloatLeftCorner")), QStringLiteral("-1"));
}

void PrefsTest::savingWritesThePendingDictionaryEdits()
{
    QCOMPARE(loadPrefs(), noErr);
    auto* entry = new characterEntry(std::vector<uint32_t>{0x4E2D});
    dict.addCharacterEntry(entry);
    dict.addDictValue(entry, new dictValue{1, QByteArray("middle"), QStringLiteral("middle"), 1});

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
