#include "tests/wayland/swaysession.h"

#include "tests/common/desktop.h"

#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QStandardPaths>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

namespace {

void collectViews(const QJsonObject& node, QList<QJsonObject>& views)
{
    if (node.contains(QLatin1String("app_id")) || node.contains(QLatin1String("shell")))
        views.append(node);
    for (const char* key : {"nodes", "floating_nodes"}) {
        const QJsonArray children = node.value(QLatin1String(key)).toArray();
        for (const QJsonValue& child : children)
            collectViews(child.toObject(), views);
    }
}

} // namespace

SwaySession::SwaySession()
{
    const QString sway = QStandardPaths::findExecutable(QStringLiteral("sway"));
    if (sway.isEmpty()) {
        m_why = QStringLiteral("sway is not installed (package sway)");
        return;
    }
    const QString plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath);
    if (!QFile::exists(plugins + QStringLiteral("/platforms/libqwayland-generic.so"))) {
        m_why = QStringLiteral("Qt's Wayland plugin is not installed (package qt6-wayland)");
        return;
    }
    if (!m_dir.isValid()) {
        m_why = QStringLiteral("no temporary folder");
        return;
    }
    const QString root = m_dir.path();
    QFile::setPermissions(root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                    QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                    QFile::ExeOther);
    const QString run = root + QStringLiteral("/run");
    const QString home = root + QStringLiteral("/home");
    QDir().mkpath(run);
    QDir().mkpath(home);
    QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile config(root + QStringLiteral("/sway.conf"));
    if (!config.open(QIODevice::WriteOnly)) {
        m_why = QStringLiteral("cannot write sway's configuration");
        return;
    }
    // A user who lets programs bring their windows forward when asked with
    // a token (sway's default only marks them urgent).
    config.write("xwayland disable\nfocus_on_window_activation focus\n");
    config.close();
    QFile::setPermissions(config.fileName(), QFile::ReadOwner | QFile::WriteOwner |
                                                 QFile::ReadGroup | QFile::ReadOther);

    QStringList command{sway, QStringLiteral("-c"), config.fileName()};
    if (::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (!nobody || setpriv.isEmpty()) {
            m_why = QStringLiteral("sway refuses root, and there is no user nobody or setpriv");
            return;
        }
        for (const QString& path : {run, home}) {
            if (::chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
                m_why = QStringLiteral("cannot hand %1 to nobody").arg(path);
                return;
            }
        }
        command = QStringList{setpriv, QStringLiteral("--reuid=%1").arg(nobody->pw_uid),
                              QStringLiteral("--regid=%1").arg(nobody->pw_gid),
                              QStringLiteral("--clear-groups")} +
                  command;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), run);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    environment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK"})
        environment.remove(QString::fromLatin1(name));
    m_sway.setProcessEnvironment(environment);
    m_sway.setProcessChannelMode(QProcess::MergedChannels);
    m_sway.start(command.takeFirst(), command);
    if (!m_sway.waitForStarted(10000)) {
        m_why = QStringLiteral("sway did not start");
        return;
    }
    for (int i = 0; i < 200 && m_sway.state() == QProcess::Running; ++i) {
        const QDir folder(run);
        const QStringList sockets = folder.entryList({QStringLiteral("wayland-*")}, QDir::System);
        const QStringList ipc = folder.entryList({QStringLiteral("sway-ipc.*")}, QDir::System);
        for (const QString& name : sockets) {
            if (!name.endsWith(QLatin1String(".lock")) && !ipc.isEmpty()) {
                m_ipc = folder.filePath(ipc.first());
                m_socket = folder.filePath(name);
                return;
            }
        }
        QThread::msleep(50);
    }
    m_why = QStringLiteral("sway did not offer a socket: %1")
                .arg(QString::fromLocal8Bit(m_sway.readAll().right(300)));
}

SwaySession::~SwaySession()
{
    if (m_sway.state() != QProcess::NotRunning)
        wtest::stopProcess(m_sway);
}

QProcessEnvironment SwaySession::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), m_socket);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    environment.remove(QStringLiteral("DISPLAY"));
    return environment;
}

void SwaySession::enter() const
{
    qputenv("WAYLAND_DISPLAY", QFile::encodeName(m_socket));
    qputenv("QT_QPA_PLATFORM", "wayland");
    qunsetenv("DISPLAY");
}

QJsonObject SwaySession::tree() const
{
    // On a loaded machine an answer now and then comes back empty or cut:
    // asked again, so that a window does not seem to come and go.
    for (int attempt = 0; attempt < 3; ++attempt) {
        QProcess swaymsg;
        swaymsg.start(QStringLiteral("swaymsg"),
                      {QStringLiteral("-s"), m_ipc, QStringLiteral("-r"), QStringLiteral("-t"),
                       QStringLiteral("get_tree")});
        if (!swaymsg.waitForFinished(10000))
            continue;
        const QJsonObject tree = QJsonDocument::fromJson(swaymsg.readAllStandardOutput()).object();
        if (swaymsg.exitCode() == 0 && !tree.isEmpty())
            return tree;
    }
    return {};
}

QList<QJsonObject> SwaySession::views(const QJsonObject& tree)
{
    QList<QJsonObject> found;
    collectViews(tree, found);
    return found;
}
