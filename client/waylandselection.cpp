#include "client/waylandselection.h"

#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QList>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// One offer of the seat and the types it announced.
struct Offer {
    zwlr_data_control_offer_v1* proxy = nullptr;
    QList<QByteArray> types;
};

struct Session {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    zwlr_data_control_manager_v1* manager = nullptr;
    zwlr_data_control_device_v1* device = nullptr;
    std::vector<std::unique_ptr<Offer>> offers;
    Offer* selection = nullptr;
    Offer* primary = nullptr;

    ~Session()
    {
        for (const auto& offer : offers)
            zwlr_data_control_offer_v1_destroy(offer->proxy);
        if (device)
            zwlr_data_control_device_v1_destroy(device);
        if (manager)
            zwlr_data_control_manager_v1_destroy(manager);
        if (seat)
            wl_seat_destroy(seat);
        if (registry)
            wl_registry_destroy(registry);
        if (display)
            wl_display_disconnect(display);
    }

    Offer* find(zwlr_data_control_offer_v1* proxy) const
    {
        for (const auto& offer : offers) {
            if (offer->proxy == proxy)
                return offer.get();
        }
        return nullptr;
    }
};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version)
{
    auto* session = static_cast<Session*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !session->seat) {
        // The first seat: a desktop with several is rare, and has no better one.
        session->seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0 &&
               !session->manager) {
        // Version 2 brings the primary selection; version 1 only the clipboard.
        session->manager = static_cast<zwlr_data_control_manager_v1*>(wl_registry_bind(
            registry, name, &zwlr_data_control_manager_v1_interface, version < 2 ? version : 2));
    }
}

void onGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener = {onGlobal, onGlobalRemove};

void onOfferType(void* data, zwlr_data_control_offer_v1*, const char* type)
{
    static_cast<Offer*>(data)->types.append(QByteArray(type));
}

const zwlr_data_control_offer_v1_listener offerListener = {onOfferType};

void onDataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* proxy)
{
    auto* session = static_cast<Session*>(data);
    auto offer = std::make_unique<Offer>();
    offer->proxy = proxy;
    zwlr_data_control_offer_v1_add_listener(proxy, &offerListener, offer.get());
    session->offers.push_back(std::move(offer));
}

void onSelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* proxy)
{
    auto* session = static_cast<Session*>(data);
    session->selection = session->find(proxy);
}

void onFinished(void*, zwlr_data_control_device_v1*) {}

void onPrimarySelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* proxy)
{
    auto* session = static_cast<Session*>(data);
    session->primary = session->find(proxy);
}

const zwlr_data_control_device_v1_listener deviceListener = {onDataOffer, onSelection, onFinished,
                                                             onPrimarySelection};

// The offer's text in `type`, read from a pipe the owner writes to.
QByteArray receive(Session& session, Offer& offer, const QByteArray& type, qsizetype maxBytes,
                   int timeoutMs)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return QByteArray();
    zwlr_data_control_offer_v1_receive(offer.proxy, type.constData(), fds[1]);
    ::close(fds[1]);
    wl_display_flush(session.display);

    QByteArray bytes;
    const QDeadlineTimer deadline(timeoutMs);
    char buffer[4096];
    for (;;) {
        pollfd ready{fds[0], POLLIN, 0};
        const int polled = ::poll(&ready, 1, int(deadline.remainingTime()));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            break; // the owner does not answer: what came so far is not trusted
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fds[0]);
            return bytes;
        }
        bytes.append(buffer, n);
        if (bytes.size() > maxBytes)
            break; // too long already: the caller refuses it
    }
    ::close(fds[0]);
    return bytes.size() > maxBytes ? bytes : QByteArray();
}

} // namespace

QByteArray preferredTextType(const QList<QByteArray>& types)
{
    static const char* const preferred[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain",
                                            "TEXT", "STRING"};
    for (const char* type : preferred) {
        for (const QByteArray& offered : types) {
            if (offered.compare(type, Qt::CaseInsensitive) == 0)
                return offered;
        }
    }
    return QByteArray();
}

WaylandSelection readWaylandSelection(qsizetype maxBytes, int timeoutMs)
{
    WaylandSelection result;
    Session session;
    session.display = wl_display_connect(nullptr);
    if (!session.display) {
        result.status = WaylandSelection::Status::NoCompositor;
        return result;
    }
    session.registry = wl_display_get_registry(session.display);
    wl_registry_add_listener(session.registry, &registryListener, &session);
    if (wl_display_roundtrip(session.display) < 0) {
        result.error = QStringLiteral("the Wayland compositor closed the connection");
        return result;
    }
    if (!session.manager || !session.seat) {
        result.status = WaylandSelection::Status::NoDataControl;
        return result;
    }
    session.device = zwlr_data_control_manager_v1_get_data_device(session.manager, session.seat);
    zwlr_data_control_device_v1_add_listener(session.device, &deviceListener, &session);
    // The device announces the current selections as soon as it exists.
    if (wl_display_roundtrip(session.display) < 0) {
        result.error = QStringLiteral("the Wayland compositor refused the selection request");
        return result;
    }

    result.status = WaylandSelection::Status::Read;
    for (Offer* offer : {session.primary, session.selection}) {
        if (!offer)
            continue;
        const QByteArray type = preferredTextType(offer->types);
        if (type.isEmpty())
            continue;
        QByteArray bytes = receive(session, *offer, type, maxBytes, timeoutMs);
        if (type == "STRING") // Latin-1, by the X11 convention
            bytes = QString::fromLatin1(bytes).toUtf8();
        if (!QByteArray(bytes).trimmed().isEmpty()) {
            result.text = bytes;
            break;
        }
    }
    return result;
}
