#include "platform/activation.h"

#include "xdg-activation-v1-client-protocol.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>

#include <wayland-client.h>

#include <cstring>
#include <utility>

namespace {

QString pendingToken;
QString pendingStartupId;

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

struct ActivationGlobal {
    xdg_activation_v1* activation = nullptr;
};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    auto* found = static_cast<ActivationGlobal*>(data);
    if (std::strcmp(interface, xdg_activation_v1_interface.name) == 0 && !found->activation)
        found->activation = static_cast<xdg_activation_v1*>(
            wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
}

void onGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener = {onGlobal, onGlobalRemove};

// Hands the token and the window's surface to the compositor. Qt's own
// connection is used, on a queue of our own, so Qt's events stay Qt's.
bool activateOnWayland(QWindow* window, const QString& token)
{
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    if (!native || !window)
        return false;
    auto* display = static_cast<wl_display*>(
        native->nativeResourceForIntegration(QByteArrayLiteral("wl_display")));
    auto* surface = static_cast<wl_surface*>(
        native->nativeResourceForWindow(QByteArrayLiteral("surface"), window));
    if (!display || !surface)
        return false;

    wl_event_queue* queue = wl_display_create_queue(display);
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
    wl_registry* registry = wl_display_get_registry(wrapper);
    ActivationGlobal found;
    wl_registry_add_listener(registry, &registryListener, &found);
    wl_display_roundtrip_queue(display, queue);
    const bool offered = found.activation != nullptr;
    if (offered) {
        xdg_activation_v1_activate(found.activation, token.toUtf8().constData(), surface);
        xdg_activation_v1_destroy(found.activation);
    }
    wl_registry_destroy(registry);
    wl_proxy_wrapper_destroy(wrapper);
    wl_display_flush(display);
    wl_event_queue_destroy(queue);
    return offered;
}

// One of the functions Qt's X11 platform offers by name, as its own type.
template <typename Function>
Function x11Function(QPlatformNativeInterface* native, const char* name)
{
    // void (*)() is the generic function type a cast may pass through.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(
        native->nativeResourceFunctionForIntegration(QByteArray(name))));
}

// Gives Qt's X11 connection the startup id and the user time it carries,
// which Qt sends with the activation request.
void useStartupIdOnX11(const QString& startupId)
{
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    if (!native)
        return;
    using SetStartupId = void (*)(const char*);
    using SetTime = void (*)(QScreen*, quint32);
    if (auto set = x11Function<SetStartupId>(native, "setstartupid"))
        set(startupId.toUtf8().constData());
    const quint32 time = StartupIdUserTime(startupId);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (time == 0 || !screen)
        return;
    for (const char* name : {"setapptime", "setappusertime"}) {
        if (auto set = x11Function<SetTime>(native, name))
            set(screen, time);
    }
}

} // namespace

void SetActivationToken(const QString& waylandToken, const QString& x11StartupId)
{
    pendingToken = waylandToken;
    pendingStartupId = x11StartupId;
}

QString PendingActivationToken()
{
    return pendingToken;
}

quint32 StartupIdUserTime(const QString& startupId)
{
    const qsizetype at = startupId.lastIndexOf(QLatin1String("_TIME"));
    if (at < 0)
        return 0;
    bool ok = false;
    const quint32 time = startupId.mid(at + 5).toUInt(&ok);
    return ok ? time : 0;
}

void ActivateWindowWidget(QWidget* widget)
{
    if (!widget)
        return;
    const QString token = std::exchange(pendingToken, QString());
    const QString startupId = std::exchange(pendingStartupId, QString());
    if (onWayland()) {
        if (!token.isEmpty() && activateOnWayland(widget->windowHandle(), token))
            return;
    } else if (!startupId.isEmpty() && QGuiApplication::platformName() == u"xcb") {
        useStartupIdOnX11(startupId);
    }
    widget->activateWindow();
}
