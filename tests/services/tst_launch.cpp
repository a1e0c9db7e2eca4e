// Starting Tavi for the services: tavi-service starts the Tavi of its own
// prefix when none runs, and every failure of the client is one line. (Tavi
// without a session bus is run by the fault tests.) Each test
// works in a prefix of its own made of the build tree's programs and the
// fixture dictionary.

#include "tests/services/servicestest.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace stest;

namespace {

// <prefix>/bin with hard links to the build's programs (so that each finds
// <prefix>/share/tavi as its resources) and <prefix>/share/tavi with the
// build's interface resources and the fixture dictionary.
class TestPrefix {
public:
    enum Tavi { RealTavi, NoTavi, TaviThatEndsAtOnce };

    explicit TestPrefix(Tavi tavi = RealTavi)
        : m_dir(QStringLiteral(TAVI_BUILD_BIN_DIR "/../tests/prefix-XXXXXX"))
    {
        if (!m_dir.isValid())
            return;
        QDir root(m_dir.path());
        root.mkpath(QStringLiteral("bin"));
        root.mkpath(QStringLiteral("share/tavi"));
        bool ok = placeProgram("tavi-service");
        if (tavi == RealTavi)
            ok = placeProgram("tavi") && ok;
        if (tavi == TaviThatEndsAtOnce)
            ok = placeScript("tavi", "#!/bin/sh\nexit 3\n") && ok;
        const QDir share(QStringLiteral(TAVI_BUILD_SHARE_DIR));
        const QStringList entries = share.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        for (const QString& name : entries) {
            if (name.startsWith(QStringLiteral("dictionary.")))
                continue;
            ok =
                QFile::link(share.filePath(name), path(QStringLiteral("share/tavi/") + name)) && ok;
        }
        const QString fixture = QStringLiteral(TAVI_FIXTURES_DIR "/floating/lookup.txt");
        ok = QFile::copy(fixture, path(QStringLiteral("share/tavi/dictionary.txt"))) && ok;
        ok = QFile::copy(fixture + QStringLiteral(".index"),
                         path(QStringLiteral("share/tavi/dictionary.txt.index"))) &&
             ok;
        m_ok = ok;
    }

    bool isValid() const { return m_ok; }
    QString path(const QString& relative) const { return m_dir.filePath(relative); }
    QString program(const char* name) const
    {
        return path(QStringLiteral("bin/") + QString::fromLatin1(name));
    }

private:
    bool placeScript(const char* name, const char* text)
    {
        QFile script(program(name));
        if (!script.open(QIODevice::WriteOnly) || script.write(text) < 0)
            return false;
        script.close();
        return script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    bool placeProgram(const char* name)
    {
        const QByteArray from = QFile::encodeName(buildProgram(name));
        const QByteArray to = QFile::encodeName(program(name));
        return ::link(from.constData(), to.constData()) == 0 ||
               QFile::copy(buildProgram(name), program(name));
    }

    QTemporaryDir m_dir;
    bool m_ok = false;
};

QDBusConnectionInterface* bus()
{
    return QDBusConnection::sessionBus().interface();
}

bool taviOffered()
{
    const QDBusReply<bool> owned = bus()->isServiceRegistered(QStringLiteral("com.Quillon.Tavi"));
    return owned.isValid() && owned.value();
}

// The process that offers the services, 0 for none.
pid_t taviPid()
{
    const QDBusReply<uint> pid = bus()->servicePid(QStringLiteral("com.Quillon.Tavi"));
    return pid.isValid() ? pid_t(pid.value()) : 0;
}

// Ends the Tavi that offers the services as the desktop would, and waits
// until it has given up the name.
bool endTavi()
{
    const pid_t pid = taviPid();
    if (pid == 0 || ::kill(pid, SIGTERM) != 0)
        return false;
    QElapsedTimer timer;
    timer.start();
    while (taviOffered() && !timer.hasExpired(20000))
        QTest::qWait(50);
    return !taviOffered();
}

} // namespace

class ServicesLaunchTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void clientStartsTheTaviOfItsOwnPrefix();
    void clientFailuresAreOneLine_data();
    void clientFailuresAreOneLine();
    void aRunPrintsNothingButWithVerbose_data();
    void aRunPrintsNothingButWithVerbose();
};

void ServicesLaunchTest::initTestCase()
{
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    QVERIFY(!taviOffered());
}

void ServicesLaunchTest::cleanup()
{
    if (taviOffered())
        endTavi();
}

void ServicesLaunchTest::clientStartsTheTaviOfItsOwnPrefix()
{
    TestPrefix prefix;
    QVERIFY(prefix.isValid());

    // The call waits for Tavi to load and then for its answer.
    const Run run = runProgram(prefix.program("tavi-service"),
                               {QStringLiteral("ConvertUnicode"), QStringLiteral("中文")});
    QVERIFY2(run.finished, run.err.constData());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("0x4E2D 0x6587\n"));
    QCOMPARE(QFileInfo(QStringLiteral("/proc/%1/exe").arg(taviPid())).symLinkTarget(),
             QFileInfo(prefix.program("tavi")).canonicalFilePath());
    QVERIFY(endTavi());
}

void ServicesLaunchTest::clientFailuresAreOneLine_data()
{
    QTest::addColumn<int>("tavi");
    QTest::addColumn<QString>("busAddress"); // null: the test's bus
    QTest::addColumn<QByteArray>("error");

    QTest::newRow("no session bus")
        << int(TestPrefix::RealTavi) << QStringLiteral("unix:path=/nonexistent/tavi-test-bus")
        << QByteArray("tavi-service: no session bus to reach Tavi on (");
    QTest::newRow("no Tavi beside the client")
        << int(TestPrefix::NoTavi) << QString()
        << QByteArray("tavi-service: Tavi is not running, and there is no Tavi to start at ");
    QTest::newRow("Tavi ends before offering its services")
        << int(TestPrefix::TaviThatEndsAtOnce) << QString()
        << QByteArray("tavi-service: Tavi could not start (");
}

void ServicesLaunchTest::clientFailuresAreOneLine()
{
    QFETCH(int, tavi);
    QFETCH(QString, busAddress);
    QFETCH(QByteArray, error);

    TestPrefix prefix{TestPrefix::Tavi(tavi)};
    QVERIFY(prefix.isValid());
    QProcessEnvironment environment;
    if (!busAddress.isNull()) {
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    }
    // A Tavi that ended is noticed at once, not after the wait for it.
    const Run run =
        runProgram(prefix.program("tavi-service"), {QStringLiteral("Convert"), QStringLiteral("a")},
                   QByteArray(), 10000, environment);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.startsWith(error), run.err.constData());
    QCOMPARE(run.err.count('\n'), 1);
    QCOMPARE(run.out, QByteArray());
    QVERIFY(!taviOffered());
}

void ServicesLaunchTest::aRunPrintsNothingButWithVerbose_data()
{
    QTest::addColumn<bool>("verbose");
    QTest::newRow("quiet") << false;
    QTest::newRow("--verbose") << true;
}

// Every run printed the trace lines of each step, hundreds of them, with
// Chinese text as "?".
void ServicesLaunchTest::aRunPrintsNothingButWithVerbose()
{
    QFETCH(bool, verbose);
    TestPrefix prefix;
    QVERIFY(prefix.isValid());
    QProcess tavi;
    tavi.setStandardInputFile(QProcess::nullDevice());
    tavi.start(prefix.program("tavi"),
               verbose ? QStringList{QStringLiteral("--verbose")} : QStringList());
    QVERIFY(tavi.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(taviOffered(), 30000);
    for (const QStringList& call :
         {QStringList{QStringLiteral("LookupQuickly"), QStringLiteral("水")},
          QStringList{QStringLiteral("Lookup"), QStringLiteral("water")}}) {
        const Run run = runProgram(prefix.program("tavi-service"), call);
        QVERIFY2(run.finished && run.exitCode == 0, run.err.constData());
    }
    QVERIFY(endTavi());
    // It may have ended already while the bus was watched.
    QVERIFY(tavi.state() == QProcess::NotRunning || tavi.waitForFinished(20000));
    QCOMPARE(tavi.exitStatus(), QProcess::NormalExit);
    const QByteArray out = tavi.readAllStandardOutput();
    // Less the notices of the tests' offscreen platform ("This plugin does
    // not support raise()"), which a desktop does not give.
    QByteArray err;
    for (const QByteArray& line : tavi.readAllStandardError().split('\n')) {
        if (!line.isEmpty() && !line.startsWith("This plugin does not support "))
            err += line + '\n';
    }
    QVERIFY2(err.isEmpty(), err.constData());
    if (verbose) {
        QVERIFY2(out.contains("Filter db for items with the field -1\n"), out.constData());
        QVERIFY2(out.contains(QStringLiteral("\n水\n").toUtf8()), out.constData());
    } else {
        QVERIFY2(out.isEmpty(), out.constData());
    }
}

int main(int argc, char** argv)
{
    // The bus starts before anything in this process can connect to one.
    return execOnPrivateBus<ServicesLaunchTest, QCoreApplication>(argc, argv);
}

#include "tst_launch.moc"
