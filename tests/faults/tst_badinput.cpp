// Bad input that the history's and the store's own tests do not already
// cover: megabyte lines, NUL bytes and keys that name no character in the
// history file, a bad byte in a user's value and in the preferences, a
// surrogate pair before a colon in pinyin, and damaged speech data. Reading
// goes on with what follows.

#include "faulttest.h"

#include "app/speech.h"
#include "platform/alerts.h"
#include "platform/preferences.h"
#include "store/dictionary.h"
#include "tests/common/stdoutcapture.h"
#include "tests/common/testdoubles.h"
#include "windows/lookup.h"
#include "windows/history/history.h"
#include "windows/history/historyfile.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace faults;

namespace {

constexpr qsizetype kMegabyte = 1024 * 1024;

QString historyPath()
{
    return QFile::decodeName(QByteArray::fromStdString(getHistoryLocation()));
}

} // namespace

class BadInputTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void badHistoryFiles_data();
    void badHistoryFiles();
    void aHistoryThatCannotBeReadSaysWhy();
    void aBadByteInAUserValueKeepsItsWordsFindable();
    void badBytesInThePreferencesAreReportedOncePerLine();
    void aColonAfterACharacterAboveUFFFFKeepsThePinyinWellFormed();
    void aSynthesiserThatCrashesCostsOneAlertAndSpeechGoesOn();
};

void BadInputTest::initTestCase()
{
    QVERIFY2(qEnvironmentVariable("XDG_CONFIG_HOME").contains(QStringLiteral("test-home")),
             "run through ctest, which sets a temporary HOME");
    StdoutCapture quiet;
    dict.loadIndex(TAVI_FIXTURES_DIR "/floating/lookup.txt");
    dict.load(TAVI_FIXTURES_DIR "/floating/lookup.txt", nullptr);
    QVERIFY(dict.lookup(0x4E2D) != nullptr && dict.lookup(0x6587) != nullptr);
    // The user's own dictionary, read after the shipped one.
    QTemporaryDir user;
    const QString userDictionary = user.filePath(QStringLiteral("UserDictionary.txt"));
    QVERIFY(writeAll(userDictionary, "U+6C34\tkDefinition\twater, liquid \xFF\n"
                                     "U+110000\tkDefinition\tno character\n"));
    QVERIFY(dict.load(QFile::encodeName(userDictionary).constData(), nullptr));
}

void BadInputTest::badHistoryFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("diagnostic");
    // Each file holds 中 and 文 around the bad part, so the history is
    // {中, 文} when reading goes on past it.
    QTest::newRow("a megabyte line of junk")
        << "U+4E2D\n" + QByteArray(kMegabyte, '#') + "\nU+6587\n"
        << QByteArray("Skipped 1 unreadable lines of the history file\n");
    QTest::newRow("NUL bytes") << "U+4E2D" + QByteArray(1, '\0') + '\n' + QByteArray(2, '\0') +
                                      "\nU+6587\n"
                               << QByteArray("Skipped 2 unreadable lines of the history file\n");
    // They were looked up, and found when the user dictionary had made them
    // entries: history items that no window can show.
    const QByteArray of = " of " + QFile::encodeName(historyPath()) + ": ";
    QTest::newRow("keys that name no character")
        << QByteArray("U+4E2D\nU+110000\nU+D800\nU+0\nU\nU+6587\n")
        << "line 2" + of + "U+110000 is past U+10FFFF; skipped\nline 3" + of +
               "U+D800 is a surrogate; skipped\nline 4" + of +
               "U+0 is not a character; skipped\nline 5" + of +
               "the key names no character; skipped\n";
}

void BadInputTest::badHistoryFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, diagnostic);
    QVERIFY(writeAll(historyPath(), file));
    history.clear();
    StderrCapture out;
    loadHistory();
    const QByteArray printed = out.finish();
    QCOMPARE(history.size(), std::size_t(2));
    QCOMPARE(dict.entries[history[0]]->codes, std::vector<uint32_t>{0x4E2D});
    QCOMPARE(dict.entries[history[1]]->codes, std::vector<uint32_t>{0x6587});
    QCOMPARE(printed, diagnostic);
}

// It was read as an empty history, with no word to the caller.
void BadInputTest::aHistoryThatCannotBeReadSaysWhy()
{
    QFile::remove(historyPath());
    QVERIFY(QDir().mkpath(historyPath()));
    StdoutCapture quiet;
    const ReadResult read = loadHistory();
    quiet.finish();
    QVERIFY(QDir().rmdir(historyPath()));
    QVERIFY(!read.ok());
    QCOMPARE(read.describe(), historyPath() + QStringLiteral(": Is a directory"));
}

// One bad byte blanked the user's definition of 水, and "water" found 淡.
void BadInputTest::aBadByteInAUserValueKeepsItsWordsFindable()
{
    const characterEntry* water = dict.lookup(0x6C34);
    QVERIFY(water != nullptr);
    const UniChar word[] = {'w', 'a', 't', 'e', 'r'};
    QCOMPARE(findDefinition(word, 5), SInt32(water->index));
}

void BadInputTest::badBytesInThePreferencesAreReportedOncePerLine()
{
    const QString prefs = PreferencesFilePath(kCFPreferencesCurrentApplication);
    QVERIFY(writeAll(prefs, "[General]\nbiggerFonts=1\nD\xE9"
                            "finition=1\nShowFloating=1\xFF\n"));
    Boolean valid = false;
    StdoutCapture err(stderr);
    const CFIndex bigger = CFPreferencesGetAppIntegerValue(
        QStringLiteral("biggerFonts"), kCFPreferencesCurrentApplication, &valid);
    CFPreferencesGetAppIntegerValue(QStringLiteral("biggerFonts"), kCFPreferencesCurrentApplication,
                                    &valid);
    const QByteArray printed = err.finish();
    QCOMPARE(bigger, CFIndex(1));
    const QByteArray file = " of " + prefs.toUtf8() + ": invalid UTF-8, kept with U+FFFD\n";
    QCOMPARE(printed, "line 3" + file + "line 4" + file);
}

// A ":" rewrote only the low half of a surrogate pair before it, which left
// ill-formed text for the display and the ConvertPinyin reply.
void BadInputTest::aColonAfterACharacterAboveUFFFFKeepsThePinyinWellFormed()
{
    const QString converted = dict.pinyinize("a1 \xF0\xA0\x80\x80:");
    QVERIFY(converted.isValidUtf16());
    QCOMPARE(converted, QStringLiteral("\u0101 \u00FC"));
}

// A truncated phondata crashed the synthesiser inside Tavi, and Tavi with it.
void BadInputTest::aSynthesiserThatCrashesCostsOneAlertAndSpeechGoesOn()
{
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's allocator moves the speech data in memory, so the cut
    // data no longer reliably crashes the library.
    QSKIP("the crash depends on the heap layout, which the address sanitizer changes");
#endif
    // The system's speech data with its phoneme data cut short.
    QTemporaryDir damaged;
    const QString data = damaged.filePath(QStringLiteral("espeak-ng-data"));
    QVERIFY(QDir().mkpath(data));
    const QDir shipped(QStringLiteral(TAVI_ESPEAK_DATA_DIR));
    for (const QString& name : shipped.entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        if (name != QStringLiteral("phondata"))
            QVERIFY(QFile::link(shipped.filePath(name), data + u'/' + name));
    }
    QVERIFY(writeAll(data + QStringLiteral("/phondata"),
                     readAll(shipped.filePath(QStringLiteral("phondata"))).left(4096)));

    auto presenter = std::make_unique<RecordingAlertPresenter>();
    RecordingAlertPresenter* alerts = presenter.get();
    SetAlertPresenter(std::move(presenter));
    setSpeechHelperPath(QStringLiteral(TAVI_BUILD_BIN_DIR "/tavi-speech"));
    const char* voice = speechVoiceName(SpeechVoice::Mandarin);
    qputenv("ESPEAK_DATA_PATH", QFile::encodeName(damaged.path()));
    speakText(voice, "shui3");
    QTRY_COMPARE(alerts->requests.size(), std::size_t(1));
    QCOMPARE(alerts->requests[0].message, QStringLiteral("Could not speak the reading"));
    QVERIFY2(alerts->requests[0].explanation.contains(QStringLiteral("stopped unexpectedly")),
             qPrintable(alerts->requests[0].explanation));

    // A helper started afresh reads the good data again.
    qunsetenv("ESPEAK_DATA_PATH");
    const SpeechAudio audio = synthesizeSpeech(voice, "shui3");
    stopSpeech();
    SetAlertPresenter(nullptr);
    QCOMPARE(audio.status, noErr);
    QVERIFY(!audio.samples.empty());
}

QTEST_MAIN(BadInputTest)
#include "tst_badinput.moc"
