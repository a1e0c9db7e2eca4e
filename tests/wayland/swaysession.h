#pragma once
// A headless Wayland desktop for a test program: sway's headless backend
// with the pixman renderer, no input devices and no Xwayland. sway refuses
// to run as root, so under root it runs as the user nobody, in a runtime
// folder of nobody's; root reaches its sockets all the same.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <functional>

class SwaySession {
public:
    // Starts sway; ready() tells whether it runs, else why() says why not.
    SwaySession();
    ~SwaySession();
    SwaySession(const SwaySession&) = delete;
    SwaySession& operator=(const SwaySession&) = delete;

    bool ready() const { return m_socket.size() > 0; }
    QString why() const { return m_why; }
    // The compositor's socket, a full path (what WAYLAND_DISPLAY may hold).
    QString socket() const { return m_socket; }
    // An environment for a Wayland program of this desktop: WAYLAND_DISPLAY,
    // QT_QPA_PLATFORM=wayland, and no X11 display.
    QProcessEnvironment environment() const;
    // Points this process at the desktop (before its QGuiApplication).
    void enter() const;

    // The compositor's window tree (swaymsg -t get_tree); empty on failure.
    QJsonObject tree() const;
    // The views (windows) of the tree, depth first.
    static QList<QJsonObject> views(const QJsonObject& tree);

private:
    QTemporaryDir m_dir;
    QProcess m_sway;
    QString m_socket;
    QString m_ipc;
    QString m_why;
};
