// Starting Tavi for the services: tavi-service starts the Tavi of its own
// prefix when none runs, the session bus starts it through the D-Bus
// service file, and every failure of the client is one line. Each test
// works in a prefix of its own made of the build tree's programs and the
// fixture dictionary.

#include "tests/services/servicestest.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
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
            if (name.startsWith(QStringLiteral("dictionary.txt")))
                continue;
            ok = QFile::link(share.filePath(name), path(QStringLiteral("share/tavi/") + name)) && ok;
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

bool taviOffered(const QDBusConnection& bus = QDBusConnection::sessionBus())
{
    const QDBusReply<bool> owned =
        bus.interface()->isServiceRegistered(QStringLiteral("com.Quillon.Tavi"));
    return owned.isValid() && owned.value();
}

// The process that offers the services, 0 for none.
pid_t taviPid(const QDBusConnection& bus = QDBusConnection::sessionBus())
{
    const QDBusReply<uint> pid = bus.interface()->servicePid(QStringLiteral("com.Quillon.Tavi"));
    return pid.isValid() ? pid_t(pid.value()) : 0;
}

QString programOf(pid_t pid)
{
    return QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
}

// Ends the Tavi that offers the services as the desktop would, and waits
// until it has given up the name.
bool endTavi(const QDBusConnection& bus = QDBusConnection::sessionBus())
{
    const pid_t pid = taviPid(bus);
    if (pid == 0 || ::kill(pid, SIGTERM) != 0)
        return false;
    QElapsedTimer timer;
    timer.start();
    while (taviOffered(bus) && !timer.hasExpired(20000))
        QTest::qWait(50);
    return !taviOffered(bus);
}

QProcessEnvironment environmentWith(const QString& name, const QString& value)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (value.isNull())
        environment.remove(name);
    else
        environment.insert(name, value);
    return environment;
}

} // namespace

class ServicesLaunchTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void clientStartsTheTaviOfItsOwnPrefix();
    void busStartsTaviThroughTheServiceFile();
    void clientFailuresAreOneLine_data();
    void clientFailuresAreOneLine();
    void taviWithoutSessionBusRunsAndSavesOnSigterm();
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
    QCOMPARE(programOf(taviPid()), QFileInfo(prefix.program("tavi")).canonicalFilePath());
    QVERIFY(endTavi());
}

void ServicesLaunchTest::busStartsTaviThroughTheServiceFile()
{
    TestPrefix prefix;
    QVERIFY(prefix.isValid());
    const QString dbusSend = QStandardPaths::findExecutable(QStringLiteral("dbus-send"));
    QVERIFY(!dbusSend.isEmpty());

    // The installed service file, for this prefix.
    QFile in(QStringLiteral(TAVI_SOURCE_DIR "/resources/desktop/com.Quillon.Tavi.service.in"));
    QVERIFY(in.open(QIODevice::ReadOnly));
    QByteArray service = in.readAll();
    service.replace("@TAVI_BINDIR@", QFile::encodeName(prefix.path(QStringLiteral("bin"))));
    const QString services = prefix.path(QStringLiteral("share/dbus-1/services"));
    QDir().mkpath(services);
    QFile out(services + QStringLiteral("/com.Quillon.Tavi.service"));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(service);
    out.close();

    // A bus of its own: the standard session bus, with this service
    // directory first, so that it wins over any installed Tavi.
    const QString config = prefix.path(QStringLiteral("bus.conf"));
    QFile configFile(config);
    QVERIFY(configFile.open(QIODevice::WriteOnly));
    configFile.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                     "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                     "<busconfig><servicedir>" +
                     QFile::encodeName(services) +
                     "</servicedir><include>/usr/share/dbus-1/session.conf</include>"
                     "</busconfig>\n");
    configFile.close();
    PrivateSessionBus activatingBus(config);
    QVERIFY(activatingBus.isRunning());

    const QProcessEnvironment environment = environmentWith(
        QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromLatin1(activatingBus.address()));
    const QStringList call = {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                              QStringLiteral("--reply-timeout=60000"),
                              QStringLiteral("--dest=com.Quillon.Tavi"),
                              QStringLiteral("/com/Quillon/Tavi"),
                              QStringLiteral("com.Quillon.Tavi.Services.Perform"),
                              QStringLiteral("string:Convert"), QStringLiteral("string:中")};
    const Run run = runProgram(dbusSend, call, QByteArray(), 60000, environment);
    QVERIFY2(run.finished && run.exitCode == 0, run.err.constData());
    QVERIFY2(run.out.contains("array of bytes \"&#20013;\""), run.out.constData());

    // The bus started the Tavi of this prefix.
    const QDBusConnection activating = QDBusConnection::connectToBus(
        QString::fromLatin1(activatingBus.address()), QStringLiteral("activating"));
    QCOMPARE(programOf(taviPid(activating)), QFileInfo(prefix.program("tavi")).canonicalFilePath());
    QVERIFY(endTavi(activating));
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
    const QProcessEnvironment environment =
        busAddress.isNull() ? QProcessEnvironment()
                            : environmentWith(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    QElapsedTimer timer;
    timer.start();
    const Run run = runProgram(prefix.program("tavi-service"),
                               {QStringLiteral("Convert"), QStringLiteral("a")}, QByteArray(),
                               30000, environment);
    // A Tavi that ended is noticed at once, not after the wait for it.
    QVERIFY(timer.elapsed() < 10000);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.startsWith(error), run.err.constData());
    QCOMPARE(run.err.count('\n'), 1);
    QCOMPARE(run.out, QByteArray());
    QVERIFY(!taviOffered());
}

void ServicesLaunchTest::taviWithoutSessionBusRunsAndSavesOnSigterm()
{
    TestPrefix prefix;
    QVERIFY(prefix.isValid());
    const QString prefs = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                          QStringLiteral("/com.Quillon.Tavi.ini");
    QFile::remove(prefs);
    QProcess tavi;
    tavi.setProcessEnvironment(environmentWith(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                                               QStringLiteral("unix:path=/nonexistent/bus")));
    tavi.setProcessChannelMode(QProcess::MergedChannels);
    tavi.start(prefix.program("tavi"), {});
    QVERIFY(tavi.waitForStarted(10000));
    QByteArray output;
    QElapsedTimer timer;
    timer.start();
    // Running: it has loaded the user dictionary after the main one.
    while (!output.contains("UserDictionary.txt'") && tavi.state() == QProcess::Running &&
           !timer.hasExpired(30000)) {
        tavi.waitForReadyRead(100);
        output += tavi.readAll();
    }
    QVERIFY2(output.contains("Tavi runs without desktop services"), output.constData());
    QTest::qWait(300);
    QCOMPARE(tavi.state(), QProcess::Running);
    ::kill(pid_t(tavi.processId()), SIGTERM);
    QVERIFY(tavi.waitForFinished(30000));
    QCOMPARE(tavi.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tavi.exitCode(), 0);
    // SIGTERM still saved the preferences.
    QSettings stored(prefs, QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("searchState")).toString(), QStringLiteral("-2"));
    QCOMPARE(stored.value(QStringLiteral("dividerRatio")).toString(), QStringLiteral("600"));
}

int main(int argc, char** argv)
{
    PrivateSessionBus bus;
    if (!bus.isRunning()) {
        std::fputs("cannot start dbus-daemon --session (package dbus)\n", stderr);
        return 1;
    }
    QCoreApplication app(argc, argv);
    ServicesLaunchTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_launch.moc"
