// Saving when the disk fills up or the process is killed: what was saved
// before stays whole, what was not written stays pending, and the next save
// writes it.

#include "faulttest.h"

#include "app/globals.h"
#include "app/prefs.h"
#include "platform/alerts.h"
#include "platform/preferences.h"
#include "platform/savedialog.h"
#include "store/dictionary.h"
#include "store/locations.h"
#include "tests/common/testdoubles.h"
#include "windows/history/history.h"
#include "windows/history/historyfile.h"
#include "windows/dictionary/dictionarywindow.h"

#include <QStandardPaths>
#include <QTest>

#include <memory>

using namespace faults;

namespace {

QString userDictionaryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Tavi Dictionaries/UserDictionary.txt");
}

QString historyPath()
{
    return QFile::decodeName(QByteArray::fromStdString(getHistoryLocation()));
}

QString prefsPath()
{
    return PreferencesFilePath(QStringLiteral("com.Quillon.Tavi"));
}

// An edit of `field` of the entry with this one code point, as the
// dictionary window makes it.
dictValue* edit(dictionary& d, uint32_t codePoint, const char* field, const QByteArray& text)
{
    characterEntry* e = d.lookup(long(codePoint));
    if (e == nullptr) {
        e = new characterEntry({codePoint});
        d.addCharacterEntry(e);
    }
    const int f = d.findField(field);
    e->remove(f);
    return d.addDictValue(e, f, text, QString::fromUtf8(text), 1);
}

} // namespace

class SaveFaultsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void aSaveAfterALineCutShortStartsOnALineOfItsOwn();
    void aFullDiskKeepsTheLastGoodPreferences();
    void aFailedHistorySaveLeavesTheFileThatWasThere();
    void aFullDiskDuringTheExportSaysSoAndKeepsTheFileThatWasThere();
    void anEditThatCannotBeSavedIsSaidOnce_data();
    void anEditThatCannotBeSavedIsSaidOnce();
};

void SaveFaultsTest::initTestCase()
{
    QVERIFY2(qEnvironmentVariable("XDG_DATA_HOME").contains(QStringLiteral("test-home")),
             "run through ctest, which sets a temporary HOME");
    dict.loadIndex(TAVI_FIXTURES_DIR "/floating/lookup.txt");
    dict.load(TAVI_FIXTURES_DIR "/floating/lookup.txt", nullptr);
    QVERIFY(dict.entries.size() > 10);
}

void SaveFaultsTest::init()
{
    QFile::remove(userDictionaryPath());
    QFile::remove(historyPath());
    history.clear();
}

// A save cut short by a crash leaves a last line without its newline; the
// next save's first line used to run on from it and was lost.
void SaveFaultsTest::aSaveAfterALineCutShortStartsOnALineOfItsOwn()
{
    QVERIFY(
        writeAll(userDictionaryPath(), "U+4E2D\tkDefinition\tsaved\nU+4E01\tkDefinition\tcut sh"));
    dictValue* v = edit(dict, 0x4E00, "kDefinition", "new");
    saveCustomDictionary(&dict);
    QCOMPARE(v->modified, 0);
    QCOMPARE(
        readAll(userDictionaryPath()),
        QByteArray(
            "U+4E2D\tkDefinition\tsaved\nU+4E01\tkDefinition\tcut sh\nU+4E00\tkDefinition\tnew\n"));
}

void SaveFaultsTest::aFullDiskKeepsTheLastGoodPreferences()
{
    const QByteArray good = "[General]\nfilterState=3\nsearchState=1\ndividerRatio=456\n";
    QVERIFY(writeAll(prefsPath(), good));

    const int code = inChild([] {
        loadPrefs();
        globals.filterState = 4;
        if (!limitFileSize(300)) // room for most of the file
            return 11;
        savePrefs();
        return 0;
    });
    QCOMPARE(code, 0);
    QCOMPARE(readAll(prefsPath()), good);
}

// With a full disk or a folder that cannot be written, an edit showed as
// made and was lost at quit with a line on standard output: the user is
// told once, and the next save that works writes it.
void SaveFaultsTest::anEditThatCannotBeSavedIsSaidOnce_data()
{
    QTest::addColumn<int>("room"); // bytes the disk still takes
    QTest::newRow("no room at all") << 0;
    QTest::newRow("room for half a line") << 12;
}

void SaveFaultsTest::anEditThatCannotBeSavedIsSaidOnce()
{
    QFETCH(int, room);
    const QByteArray saved = "U+4E2D\tkDefinition\tsaved before\n";
    QVERIFY(writeAll(userDictionaryPath(), saved));
    const int code = inChild([room, &saved] {
        auto recorder = std::make_unique<RecordingAlertPresenter>();
        RecordingAlertPresenter* alerts = recorder.get();
        SetAlertPresenter(std::move(recorder));
        if (!limitFileSize(rlim_t(saved.size() + room)))
            return 10;
        dictValue* first = edit(dict, 0x4E00, "kDefinition", "first edit");
        saveUserEdits();
        dictValue* second = edit(dict, 0x4E01, "kDefinition", "second edit");
        saveUserEdits();
        if (alerts->requests.size() != 1 || first->modified != 1 || second->modified != 1)
            return 11; // said more than once, or marked saved although not on disk
        if (readAll(userDictionaryPath()) != saved)
            return 15; // the file holds part of a line
        if (!alerts->requests[0].message.contains(userDictionaryPath()))
            return 12;
        if (!liftFileSizeLimit())
            return 13;
        saveUserEdits();
        return alerts->requests.size() == 1 && first->modified == 0 && second->modified == 0 ? 0
                                                                                             : 14;
    });
    QCOMPARE(code, 0);
    QCOMPARE(readAll(userDictionaryPath()),
             saved + "U+4E00\tkDefinition\tfirst edit\nU+4E01\tkDefinition\tsecond edit\n");
}

// The history was written in place: a save cut short left part of a file.
void SaveFaultsTest::aFailedHistorySaveLeavesTheFileThatWasThere()
{
    QVERIFY(writeAll(historyPath(), "U+4E2D\n"));
    const int code = inChild([] {
        for (uint32_t i = 0; i < dict.entries.size(); ++i)
            history.push_back(i);
        if (!limitFileSize(16))
            return 10;
        saveHistory();
        return 0;
    });
    QCOMPARE(code, 0);
    QCOMPARE(readAll(historyPath()), QByteArray("U+4E2D\n"));
    const QStringList left =
        QFileInfo(historyPath())
            .dir()
            .entryList(QStringList{QStringLiteral("TaviDictionaryHistory*")}, QDir::Files);
    QCOMPARE(left, QStringList{QStringLiteral("TaviDictionaryHistory")});
}

void SaveFaultsTest::aFullDiskDuringTheExportSaysSoAndKeepsTheFileThatWasThere()
{
    const QString target = QFileInfo(historyPath()).absolutePath() + QStringLiteral("/export.txt");
    QVERIFY(writeAll(target, "the previous export\n"));
    const int code = inChild([&target] {
        auto recorder = std::make_unique<RecordingAlertPresenter>();
        RecordingAlertPresenter* alerts = recorder.get();
        SetAlertPresenter(std::move(recorder));
        SetSaveDialogPresenter(std::make_unique<ChosenPathSaveDialogPresenter>(target));
        for (uint32_t i = 0; i < dict.entries.size(); ++i)
            history.push_back(i);
        if (!limitFileSize(64))
            return 10;
        writeOutHistory();
        return alerts->requests.size() == 1 ? 0 : 11;
    });
    QCOMPARE(code, 0);
    QCOMPARE(readAll(target), QByteArray("the previous export\n"));
}

QTEST_MAIN(SaveFaultsTest)
#include "tst_savefaults.moc"
