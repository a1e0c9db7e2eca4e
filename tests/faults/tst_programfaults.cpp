// The real program (build/bin/tavi) on the offscreen platform with a home of
// its own: stopped by SIGTERM or SIGINT during its event loop, and run with
// a config or data folder it cannot write. It always ends normally, keeps
// what was saved before, and says what it could not write.

#include "faulttest.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace faults;

namespace {

// A scratch folder that is the run's home, with its config and data folders.
struct Home {
    QTemporaryDir scratch;
    QString config = scratch.filePath(QStringLiteral("config"));
    QString data = scratch.filePath(QStringLiteral("data"));
};

struct Run {
    bool signalled = false;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    int exitCode = -1;
    QByteArray output;
};

// Starts the program, waits until it has read the user dictionary (the last
// step before its event loop; the signals are watched by then) and `settle`
// ms more, sends the signal and waits for the end.
Run runUntilSignal(const Home& home, int signalNumber, int settle = 0)
{
    QProcess tavi;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home.scratch.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.config);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.data);
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    tavi.setProcessEnvironment(env);
    tavi.setProcessChannelMode(QProcess::MergedChannels);
    // The trace lines tell when the user dictionary has been read.
    tavi.start(QStringLiteral(TAVI_BUILD_BIN_DIR "/tavi"), {QStringLiteral("--verbose")});
    Run run;
    if (!tavi.waitForStarted(10000))
        return run;
    QElapsedTimer clock;
    clock.start();
    while (!run.output.contains("UserDictionary.txt'") && tavi.state() == QProcess::Running &&
           clock.elapsed() < 120000) {
        tavi.waitForReadyRead(200);
        run.output += tavi.readAll();
    }
    if (settle > 0)
        QTest::qWait(settle);
    const qint64 pid = tavi.processId(); // 0 once it has ended: never kill(0)
    if (tavi.state() == QProcess::Running && pid > 0)
        run.signalled = ::kill(pid_t(pid), signalNumber) == 0;
    if (!tavi.waitForFinished(60000)) {
        tavi.kill();
        tavi.waitForFinished(5000);
    }
    run.output += tavi.readAll();
    run.exitStatus = tavi.exitStatus();
    run.exitCode = tavi.exitCode();
    return run;
}

const QByteArray kPrefs =
    "[General]\nfilterState=-1\nsearchState=-1\nbiggerFonts=1\nShowFloating=0\nShowDictionary=1\n";
const QByteArray kHistory = "U+4E2D\nU+6587\n";
// Entries of their own, so the history finds its characters with or without
// the shipped dictionary.
const QByteArray kUserDictionary = "U+4E2D\tkDefinition\tmine\nU+6587\tkDefinition\tyours\n";

} // namespace

class ProgramFaultsTest : public QObject {
    Q_OBJECT

private slots:
    void folderThatCannotBeWrittenIsReportedAndTheRunGoesOn_data();
    void folderThatCannotBeWrittenIsReportedAndTheRunGoesOn();
    void aSignalEndsANormalRunThatKeepsItsFiles_data();
    void aSignalEndsANormalRunThatKeepsItsFiles();
    void aKilledRunKeepsItsLookUps();
    void storedBoundsOpenTheWindowOnTheScreen_data();
    void storedBoundsOpenTheWindowOnTheScreen();
};

void ProgramFaultsTest::folderThatCannotBeWrittenIsReportedAndTheRunGoesOn_data()
{
    QTest::addColumn<bool>("configBlocked");
    QTest::addColumn<QByteArrayList>("diagnostics");
    QTest::newRow("config folder")
        << true
        << QByteArrayList{"Could not write preferences", "Could not find the preferences folder",
                          "Tavi could not save:"};
    QTest::newRow("data folder") << false
                                 << QByteArrayList{"Got FSCreateDirectoryUnicode error",
                                                   "Unable to open '"};
}

void ProgramFaultsTest::folderThatCannotBeWrittenIsReportedAndTheRunGoesOn()
{
    QFETCH(bool, configBlocked);
    QFETCH(QByteArrayList, diagnostics);
    Home home;
    const QString blocked = unwritablePath(home.scratch.path(), QStringLiteral("folder"));
    (configBlocked ? home.config : home.data) = blocked;

    const Run run = runUntilSignal(home, SIGTERM);
    QVERIFY2(run.signalled, run.output.constData());
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QVERIFY2(run.exitCode == 0, run.output.constData());
    for (const QByteArray& line : diagnostics)
        QVERIFY2(run.output.contains(line), run.output.constData());
    QVERIFY(!QFileInfo::exists(blocked));
}

// A signal ends the run normally, which saves again what it read at start
// and removes what killed saves left. The other rows were a crash at every
// start, a start-up alert that held a logout, and a lost first history entry.
void ProgramFaultsTest::aSignalEndsANormalRunThatKeepsItsFiles_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<QByteArray>("prefs");
    QTest::addColumn<QByteArray>("historyText");
    QTest::addColumn<QByteArray>("savedKey"); // key=value the saved preferences hold

    QTest::newRow("SIGINT, files as saved")
        << SIGINT << kPrefs << kHistory << QByteArray("biggerFonts=1");
    QTest::newRow("SIGHUP, files as saved")
        << SIGHUP << kPrefs << kHistory << QByteArray("biggerFonts=1");
    QTest::newRow("filter field number 2147483647")
        << SIGTERM << QByteArray("[General]\nfilterState=2147483647\nsearchState=2147483646\n")
        << kHistory << QByteArray("filterState=-1");
    QTest::newRow("history behind a byte-order mark")
        << SIGTERM << kPrefs << "\xEF\xBB\xBF" + kHistory << QByteArray("searchState=-1");
}

void ProgramFaultsTest::aSignalEndsANormalRunThatKeepsItsFiles()
{
    QFETCH(int, signalNumber);
    QFETCH(QByteArray, prefs);
    QFETCH(QByteArray, historyText);
    QFETCH(QByteArray, savedKey);
    const Home home;
    const QString prefsFile = home.config + QStringLiteral("/com.Quillon.Tavi.ini");
    const QString historyFile = home.config + QStringLiteral("/TaviDictionaryHistory");
    QVERIFY(writeAll(prefsFile, prefs));
    QVERIFY(writeAll(historyFile, historyText));
    const QString userDictionary =
        home.data + QStringLiteral("/Tavi Dictionaries/UserDictionary.txt");
    QVERIFY(writeAll(userDictionary, kUserDictionary));
    // What killed saves leave behind, and the user's own copies, which
    // start-up removed as well.
    QVERIFY(writeAll(historyFile + QStringLiteral(".tavi-save-Ab3xYz"), "U+4E2D\n"));
    QVERIFY(writeAll(prefsFile + QStringLiteral(".tavi-save-q1W2e3"), QByteArray()));
    const QStringList mine{QStringLiteral("TaviDictionaryHistory.backup"),
                           QStringLiteral("TaviDictionaryHistory.before"),
                           QStringLiteral("com.Quillon.Tavi.ini.backup"),
                           QStringLiteral("com.Quillon.Tavi.ini.checkpoint-mine")};
    for (const QString& name : mine)
        QVERIFY(writeAll(home.config + u'/' + name, "mine\n"));

    const Run run = runUntilSignal(home, signalNumber, 1000);
    QVERIFY2(run.signalled, run.output.constData());
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QVERIFY2(run.exitCode == 0, run.output.constData());
    // Without a session bus it ran all the same.
    QVERIFY2(run.output.contains("Tavi runs without desktop services"), run.output.constData());
    QCOMPARE(readAll(historyFile), kHistory);
    QCOMPARE(readAll(userDictionary), kUserDictionary); // nothing was pending
    QVERIFY2(readAll(prefsFile).contains(savedKey), readAll(prefsFile).constData());
    QStringList files = QDir(home.config).entryList(QDir::Files);
    files.sort();
    QStringList expected = mine;
    expected << QStringLiteral("TaviDictionaryHistory") << QStringLiteral("com.Quillon.Tavi.ini");
    expected.sort();
    QCOMPARE(files, expected);
    for (const QString& name : mine)
        QCOMPARE(readAll(home.config + u'/' + name), QByteArray("mine\n"));
}

// The history was written only at quit: a killed run lost its look-ups. The
// first run's look-up of the welcome entry is written within a moment.
void ProgramFaultsTest::aKilledRunKeepsItsLookUps()
{
    const Home home;
    QVERIFY(writeAll(home.data + QStringLiteral("/Tavi Dictionaries/UserDictionary.txt"),
                     "U+6B61+8FCE\tkDefinition\twelcome\n"));
    const Run run = runUntilSignal(home, SIGKILL, 2000);
    QVERIFY2(run.signalled, run.output.constData());
    QCOMPARE(readAll(home.config + QStringLiteral("/TaviDictionaryHistory")),
             QByteArray("U+6B61+8FCE\n"));
}

// Stored bounds were applied unchecked: a 65535-pixel window crashed every
// start, one at 30000,30000 was off the screen. Whatever the corners, the
// window opens on the screen (the offscreen platform's 800 x 800), no larger
// than it, and saves bounds that do so too.
void ProgramFaultsTest::storedBoundsOpenTheWindowOnTheScreen_data()
{
    QTest::addColumn<QList<int>>("corners"); // left, top, right, bottom
    QTest::addColumn<QByteArray>("diagnostic");
    QTest::newRow("65535 pixels square")
        << QList<int>{-32768, -32768, 32767, 32767} << QByteArray();
    QTest::newRow("at 30000,30000") << QList<int>{30000, 30000, 30600, 30400} << QByteArray();
    QTest::newRow("above and left") << QList<int>{-9000, -900, -8400, -500} << QByteArray();
    QTest::newRow("one pixel") << QList<int>{10, 10, 11, 11} << QByteArray();
    QTest::newRow("right of left") << QList<int>{500, 100, 200, 400}
                                   << QByteArray("dictionary window bounds (500, 100, "
                                                 "200, 400) are impossible");
    QTest::newRow("no height") << QList<int>{0, 300, 400, 300} << QByteArray("are impossible");
}

void ProgramFaultsTest::storedBoundsOpenTheWindowOnTheScreen()
{
    QFETCH(QList<int>, corners);
    QFETCH(QByteArray, diagnostic);
    const Home home;
    const QString prefsFile = home.config + QStringLiteral("/com.Quillon.Tavi.ini");
    const char* const keys[] = {"DictLeftCorner", "DictTopCorner", "DictRightCorner",
                                "DictBottomCorner"};
    QByteArray prefs = "[General]\n";
    for (int i = 0; i < 4; ++i)
        prefs += QByteArray(keys[i]) + '=' + QByteArray::number(corners[i]) + '\n';
    QVERIFY(writeAll(prefsFile, prefs));

    const Run run = runUntilSignal(home, SIGTERM, 500);
    QVERIFY2(run.signalled, run.output.constData());
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QVERIFY2(run.output.contains(diagnostic), run.output.constData());
    const QSettings saved(prefsFile, QSettings::IniFormat);
    QList<int> bounds;
    for (const char* key : keys)
        bounds << saved.value(QLatin1String(key), -1).toInt();
    const QByteArray shown = QByteArray::number(bounds[0]) + ',' + QByteArray::number(bounds[1]) +
                             ',' + QByteArray::number(bounds[2]) + ',' +
                             QByteArray::number(bounds[3]);
    // The offscreen platform's screen is 800 x 800; it frames a window with
    // 2 pixels only once it is shown.
    QVERIFY2(bounds[0] >= 0 && bounds[1] >= 0 && bounds[2] <= 810 && bounds[3] <= 810, shown);
    QVERIFY2(bounds[2] - bounds[0] <= 800 && bounds[3] - bounds[1] <= 800, shown);
    // At least the window's minimum size, 480 x 320 with its menu bar.
    QVERIFY2(bounds[2] - bounds[0] >= 480 && bounds[3] - bounds[1] >= 250, shown);
}

QTEST_GUILESS_MAIN(ProgramFaultsTest)
#include "tst_programfaults.moc"
