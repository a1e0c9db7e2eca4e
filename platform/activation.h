#pragma once
// Bringing a window forward when another program asks for it. Wayland
// compositors raise a window only with an activation token that the asking
// program was given (xdg-activation); X11 window managers weigh the time of
// the user's action that the startup id carries. Without either, the request
// is a plea the desktop may turn down.

#include <QByteArray>
#include <QString>

class QWidget;

// Keeps what another program passed along with its request (the platform
// data of org.freedesktop.Application: "activation-token" and
// "desktop-startup-id") for the next window activation. Empty strings clear it.
void SetActivationToken(const QString& waylandToken, const QString& x11StartupId);
// The token waiting for the next activation.
QString PendingActivationToken();

// Activates `widget`'s window, with the pending token if there is one, which
// is then used up.
void ActivateWindowWidget(QWidget* widget);

// The X11 user time carried by a startup id ("..._TIME<number>"), 0 if none.
quint32 StartupIdUserTime(const QString& startupId);
