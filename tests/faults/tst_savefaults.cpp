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

#include <QRandomGenerator>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace faults;

namespace {

QString userDictionaryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Tavi Dictionaries/UserDictionary.txt");
}

QString historyPath()
{
    return QFile::decodeName(QByteArray::fromStdString(getHistoryLocation()));
}

QString prefsPath()
{
    return PreferencesFilePath(QStringLiteral("com.Quillon.Tavi"));
}

// A store with the fields of the small store fixture.
std::unique_ptr<dictionary> smallStore()
{
    auto d = std::make_unique<dictionary>();
    d->loadIndex(TAVI_FIXTURES_DIR "/store/small.txt");
    return d;
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
    auto* v = new dictValue{f, text, QString::fromUtf8(text), 1};
    d.addDictValue(e, v);
    return v;
}

QByteArray valueAfterReload(const QString& path, uint32_t codePoint)
{
    auto d = smallStore();
    d->load(QFile::encodeName(path).constData(), nullptr);
    const characterEntry* e = d->lookup(long(codePoint));
    const dictValue* v = e != nullptr ? e->lookup(d->findField("kDefinition")) : nullptr;
    // A deep copy: loaded text lives in storage the dictionary owns.
    return v != nullptr ? QByteArray(v->text.constData(), v->text.size()) : QByteArray("(none)");
}

// A long history, so that a save takes long enough to be interrupted.
std::vector<uint32_t> longHistory(uint32_t step)
{
    std::vector<uint32_t> elements;
    for (uint32_t i = 0; i < 6000; ++i)
        elements.push_back((i * step) % uint32_t(dict.entries.size()));
    return elements;
}

} // namespace

class SaveFaultsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void aFullDiskLeavesTheUserDictionaryWholeAndTheEditsPending_data();
    void aFullDiskLeavesTheUserDictionaryWholeAndTheEditsPending();
    void aSaveAfterALineCutShortStartsOnALineOfItsOwn();
    void aFullDiskKeepsTheLastGoodPreferences_data();
    void aFullDiskKeepsTheLastGoodPreferences();
    void aKillDuringTheHistorySaveLeavesAWholeFile();
    void aFullDiskDuringTheExportSaysSoAndKeepsTheFileThatWasThere();
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

void SaveFaultsTest::aFullDiskLeavesTheUserDictionaryWholeAndTheEditsPending_data()
{
    QTest::addColumn<int>("room"); // bytes the disk still takes
    QTest::newRow("no room at all") << 0;
    QTest::newRow("room for half a line") << 12;
    QTest::newRow("room for a line and a half") << 40;
}

void SaveFaultsTest::aFullDiskLeavesTheUserDictionaryWholeAndTheEditsPending()
{
    QFETCH(int, room);
    const QByteArray saved = "U+4E2D\tkDefinition\tsaved before\n";
    QVERIFY(writeAll(userDictionaryPath(), saved));

    const int code = inChild([room, &saved] {
        auto d = smallStore();
        dictValue* first = edit(*d, 0x4E00, "kDefinition", "first edit");
        dictValue* second = edit(*d, 0x4E01, "kDefinition", "second edit");
        if (!limitFileSize(rlim_t(saved.size() + room)))
            return 10;
        saveCustomDictionary(d.get());
        if (first->modified != 1 || second->modified != 1)
            return 11; // marked saved although they are not on disk
        if (readAll(userDictionaryPath()) != saved)
            return 12; // the file holds part of a line
        // The disk has room again: the next save writes both edits.
        if (!liftFileSizeLimit())
            return 13;
        saveCustomDictionary(d.get());
        return first->modified == 0 && second->modified == 0 ? 0 : 14;
    });
    QCOMPARE(code, 0);

    const QByteArray after = readAll(userDictionaryPath());
    QVERIFY(after.startsWith(saved));
    const QList<QByteArray> lines = after.split('\n');
    QCOMPARE(QSet<QByteArray>(lines.begin(), lines.end()),
             (QSet<QByteArray>{"U+4E2D\tkDefinition\tsaved before", "U+4E00\tkDefinition\tfirst edit",
                               "U+4E01\tkDefinition\tsecond edit", ""}));
    QCOMPARE(valueAfterReload(userDictionaryPath(), 0x4E2D), QByteArray("saved before"));
    QCOMPARE(valueAfterReload(userDictionaryPath(), 0x4E00), QByteArray("first edit"));
    QCOMPARE(valueAfterReload(userDictionaryPath(), 0x4E01), QByteArray("second edit"));
}

// A save cut short by a crash leaves a last line without its newline; the
// next save's first line used to run on from it and was lost.
void SaveFaultsTest::aSaveAfterALineCutShortStartsOnALineOfItsOwn()
{
    QVERIFY(writeAll(userDictionaryPath(), "U+4E2D\tkDefinition\tsaved\nU+4E01\tkDefinition\tcut sh"));
    auto d = smallStore();
    dictValue* v = edit(*d, 0x4E00, "kDefinition", "new");
    saveCustomDictionary(d.get());
    QCOMPARE(v->modified, 0);
    QCOMPARE(readAll(userDictionaryPath()),
             QByteArray("U+4E2D\tkDefinition\tsaved\nU+4E01\tkDefinition\tcut sh\nU+4E00\tkDefinition\tnew\n"));
    QCOMPARE(valueAfterReload(userDictionaryPath(), 0x4E00), QByteArray("new"));
    QCOMPARE(valueAfterReload(userDictionaryPath(), 0x4E01), QByteArray("cut sh"));
}

void SaveFaultsTest::aFullDiskKeepsTheLastGoodPreferences_data()
{
    QTest::addColumn<int>("room");
    QTest::newRow("no room at all") << 0;
    QTest::newRow("room for the first lines") << 40;
    QTest::newRow("room for most of the file") << 300;
}

void SaveFaultsTest::aFullDiskKeepsTheLastGoodPreferences()
{
    QFETCH(int, room);
    QVERIFY(writeAll(prefsPath(), "[General]\nfilterState=3\nsearchState=1\ndividerRatio=456\n"));
    const QByteArray good = readAll(prefsPath());

    const int code = inChild([room] {
        loadPrefs();
        if (globals.filterState != 3 || globals.dividerRatio != 456)
            return 10;
        globals.filterState = 4;
        if (!limitFileSize(rlim_t(room)))
            return 11;
        savePrefs();
        return 0;
    });
    QCOMPARE(code, 0);
    QCOMPARE(readAll(prefsPath()), good);
    const QStringList left = QFileInfo(prefsPath()).dir().entryList(
        QStringList{QFileInfo(prefsPath()).fileName() + u'*'}, QDir::Files);
    QCOMPARE(left, QStringList{QFileInfo(prefsPath()).fileName()});

    // The next save, with room on the disk, writes the new value.
    const int again = inChild([] {
        loadPrefs();
        globals.filterState = 4;
        savePrefs();
        return 0;
    });
    QCOMPARE(again, 0);
    QSettings stored(prefsPath(), QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("filterState")).toString(), QStringLiteral("4"));
    QCOMPARE(stored.value(QStringLiteral("dividerRatio")).toString(), QStringLiteral("456"));
}

void SaveFaultsTest::aKillDuringTheHistorySaveLeavesAWholeFile()
{
    const std::vector<uint32_t> a = longHistory(1);
    const std::vector<uint32_t> b = longHistory(3);
    history = b;
    saveHistory();
    const QByteArray contentB = readAll(historyPath());
    history = a;
    saveHistory();
    const QByteArray contentA = readAll(historyPath());
    QVERIFY(contentA.size() > 30000 && contentA != contentB);

    int interrupted = 0;
    for (int round = 0; round < 25; ++round) {
        fflush(stdout);
        const pid_t pid = fork();
        if (pid == 0) {
            for (;;) {
                history = b;
                saveHistory();
                history = a;
                saveHistory();
            }
        }
        QVERIFY(pid > 0);
        QTest::qSleep(int(QRandomGenerator::global()->bounded(2, 40)));
        QCOMPARE(kill(pid, SIGKILL), 0);
        int status = 0;
        QCOMPARE(waitpid(pid, &status, 0), pid);
        const QByteArray content = readAll(historyPath());
        QVERIFY2(content == contentA || content == contentB,
                 qPrintable(QStringLiteral("round %1: %2 bytes").arg(round).arg(content.size())));
        history.clear();
        loadHistory();
        QVERIFY(!history.empty());
        ++interrupted;
    }
    QCOMPARE(interrupted, 25);
    // The saves killed half way may leave their unfinished new files beside
    // the history file; the next start removes them.
    removeStaleSaveFiles();
    const QStringList left = QFileInfo(historyPath()).dir().entryList(
        QStringList{QStringLiteral("TaviDictionaryHistory*")}, QDir::Files);
    QCOMPARE(left, QStringList{QStringLiteral("TaviDictionaryHistory")});
}

// With a full disk or a folder that cannot be written, an edit showed as
// made and was lost at quit with a line on standard output: the user is
// told once, and the next save that works writes it.
void SaveFaultsTest::anEditThatCannotBeSavedIsSaidOnce()
{
    QVERIFY(writeAll(userDictionaryPath(), "U+4E2D\tkDefinition\tsaved before\n"));
    const int code = inChild([] {
        auto recorder = std::make_unique<RecordingAlertPresenter>();
        RecordingAlertPresenter* alerts = recorder.get();
        SetAlertPresenter(std::move(recorder));
        if (!limitFileSize(rlim_t(readAll(userDictionaryPath()).size())))
            return 10;
        dictValue* first = edit(dict, 0x4E00, "kDefinition", "first edit");
        saveUserEdits();
        dictValue* second = edit(dict, 0x4E01, "kDefinition", "second edit");
        saveUserEdits();
        if (alerts->requests.size() != 1 || first->modified != 1 || second->modified != 1)
            return 11;
        const AlertRequest& said = alerts->requests[0];
        if (!said.message.startsWith(QStringLiteral("Your changes could not be saved to")) ||
            !said.message.contains(userDictionaryPath()) ||
            !said.explanation.startsWith(QStringLiteral("They are kept and will be saved")))
            return 12;
        if (!liftFileSizeLimit())
            return 13;
        saveUserEdits();
        return alerts->requests.size() == 1 && first->modified == 0 && second->modified == 0 ? 0 : 14;
    });
    QCOMPARE(code, 0);
    QCOMPARE(valueAfterReload(userDictionaryPath(), 0x4E01), QByteArray("second edit"));
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
        if (alerts->requests.size() != 1)
            return 11;
        return alerts->requests[0].message.startsWith(QStringLiteral("Error")) &&
                       alerts->requests[0].explanation == QStringLiteral("Unable to write the history file.")
                   ? 0
                   : 12;
    });
    QCOMPARE(code, 0);
    QCOMPARE(readAll(target), QByteArray("the previous export\n"));
}

QTEST_MAIN(SaveFaultsTest)
#include "tst_savefaults.moc"
