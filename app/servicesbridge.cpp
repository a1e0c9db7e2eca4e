#include "app/servicesbridge.h"

#include "app/process.h"
#include "app/servicenames.h"
#include "platform/activation.h"
#include "platform/commands.h"
#include "platform/events.h"
#include "platform/scrap.h"
#include "store/trace.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QPointer>
#include <QVariantMap>

#include <cstdio>
#include <deque>
#include <functional>

namespace {

// How long a second start waits for the running Tavi to answer; that one
// may still be loading its dictionary.
constexpr int kActivateTimeoutMs = 60000;

bool servicesReady = false;
bool nameOwned = false;

// The object at /com/Quillon/Tavi. The name is owned from the start, so that
// a second start never loads the dictionary; but the application handler is
// installed only after loading, and the loading window's redraws let queued
// calls through. Calls that come before the handler is there are held and
// answered in order once it is (desktopServicesReady).
class ServicesObject : public QObject, protected QDBusContext {
    Q_OBJECT

public:
    using QObject::QObject;

    // Inside a call: true when it must wait; its reply is then sent later
    // with the arguments that `work` gives.
    bool holdCall(std::function<QVariantList()> work)
    {
        if (servicesReady || !calledFromDBus())
            return false;
        setDelayedReply(true);
        held.push_back({std::move(work), message(), connection()});
        return true;
    }

    void refuse(const ServiceRefusal& refusal)
    {
        if (calledFromDBus())
            sendErrorReply(refusal.name, refusal.message);
    }

    void answerHeldCalls()
    {
        while (!held.empty()) {
            HeldCall call = std::move(held.front());
            held.pop_front();
            call.bus.send(call.request.createReply(call.work()));
        }
    }

private:
    struct HeldCall {
        std::function<QVariantList()> work;
        QDBusMessage request;
        QDBusConnection bus;
    };
    std::deque<HeldCall> held;
};

QPointer<ServicesObject> servicesObject;

QDBusVariant replyVariant(const ServiceReply& reply)
{
    switch (reply.kind) {
    case ServiceReply::Kind::Unicode:
        return QDBusVariant(reply.unicode);
    case ServiceReply::Kind::Text:
        return QDBusVariant(reply.text);
    case ServiceReply::Kind::None:
        break;
    }
    return QDBusVariant(QString());
}

class ServicesAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.Quillon.Tavi.Services")

public:
    explicit ServicesAdaptor(ServicesObject* parent) : QDBusAbstractAdaptor(parent), owner(parent)
    {
    }

public Q_SLOTS:
    QDBusVariant Perform(const QString& message, const QString& text)
    {
        const ServiceRefusal refusal = checkServiceCall(message, text);
        if (!refusal.name.isEmpty()) {
            owner->refuse(refusal);
            return QDBusVariant(QString());
        }
        auto work = [message, text] { return replyVariant(performServiceMessage(message, text)); };
        if (owner->holdCall([work] { return QVariantList{QVariant::fromValue(work())}; }))
            return QDBusVariant(QString());
        return work();
    }

private:
    ServicesObject* owner;
};

class ApplicationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    explicit ApplicationAdaptor(ServicesObject* parent)
        : QDBusAbstractAdaptor(parent), owner(parent)
    {
    }

public Q_SLOTS:
    void Activate(const QVariantMap& platformData)
    {
        const QVariantMap data = platformData;
        auto work = [data] {
            qCDebug(taviTrace, "Another start asks for the dictionary window");
            takeActivationToken(data);
            sendApplicationCommand(FOUR_CHAR_CODE("DWIN"));
            // The desktop asked for it: the window comes forward, not just
            // to the top of Tavi's own windows.
            ProcessSerialNumber psn;
            GetCurrentProcess(&psn);
            SetFrontProcess(&psn);
            forgetActivationTokenLater();
        };
        if (!owner->holdCall([work] {
                work();
                return QVariantList();
            }))
            work();
    }

    void ActivateAction(const QString& action, const QVariantList& parameters,
                        const QVariantMap& platformData)
    {
        QVariant parameter = parameters.size() == 1 ? parameters.first() : QVariant();
        if (parameter.metaType() == QMetaType::fromType<QDBusVariant>())
            parameter = parameter.value<QDBusVariant>().variant();
        const QString text = parameter.toString();
        if (!tavi_dbus::isActionMessage(action) || parameter.typeId() != QMetaType::QString) {
            owner->refuse({tavi_dbus::unknownMessageError(),
                           QStringLiteral("Tavi has no action \"%1\" with these parameters; the "
                                          "actions are Lookup and LookupQuickly, with the text")
                               .arg(tavi_dbus::escapedForOneLine(action.left(64)))});
            return;
        }
        const ServiceRefusal refusal = checkServiceCall(action, text);
        if (!refusal.name.isEmpty()) {
            owner->refuse(refusal);
            return;
        }
        const QVariantMap data = platformData;
        auto work = [action, text, data] {
            takeActivationToken(data);
            performServiceMessage(action, text);
            forgetActivationTokenLater();
        };
        if (!owner->holdCall([work] {
                work();
                return QVariantList();
            }))
            work();
    }

private:
    // The token is used by the next activation, which may be queued behind
    // this call; one that none used is dropped after that.
    static void takeActivationToken(const QVariantMap& data)
    {
        SetActivationToken(data.value(tavi_dbus::activationTokenKey()).toString(),
                           data.value(tavi_dbus::startupIdKey()).toString());
    }
    static void forgetActivationTokenLater()
    {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { SetActivationToken(QString(), QString()); },
            Qt::QueuedConnection);
    }

    ServicesObject* owner;
};

// Asks the Tavi that owns the name to bring its dictionary window forward.
// False (with the bus's reason) when it did not answer.
bool activateRunningTavi(QDBusConnection& bus, QString* why)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        tavi_dbus::busName(), tavi_dbus::objectPath(), tavi_dbus::applicationInterface(),
        tavi_dbus::activateMethod());
    call.setAutoStartService(false);
    call << tavi_dbus::activationPlatformData();
    const QDBusMessage answer = bus.call(call, QDBus::Block, kActivateTimeoutMs);
    if (answer.type() == QDBusMessage::ReplyMessage)
        return true;
    *why = answer.errorMessage().isEmpty() ? answer.errorName() : answer.errorMessage();
    return false;
}

} // namespace

ServiceRefusal checkServiceCall(const QString& message, const QString& text)
{
    if (!tavi_dbus::isServiceMessage(message)) {
        qCDebug(taviTrace, "Unhandled message!");
        return {tavi_dbus::unknownMessageError(),
                QStringLiteral("Tavi has no service named \"%1\"; the services are Lookup, "
                               "LookupQuickly, ConvertPinyin, ConvertUnicode and Convert")
                    .arg(tavi_dbus::escapedForOneLine(message.left(64)))};
    }
    if (text.size() > tavi_dbus::maxTextUnits)
        return {tavi_dbus::textTooLongError(),
                QStringLiteral("the text is too long for Tavi's services (%1 UTF-16 units; at "
                               "most %2)")
                    .arg(text.size())
                    .arg(tavi_dbus::maxTextUnits)};
    return {};
}

ServiceReply performServiceMessage(const QString& message, const QString& text)
{
    ServiceReply reply;
    ScrapRef scrap = nullptr;
    if (CreateScrap(&scrap) != noErr)
        return reply;
    PutScrapFlavor(scrap, kScrapFlavorTypeUnicode, kScrapFlavorMaskNone, Size(text.size()) * 2,
                   text.utf16());
    // Holding the input keeps its bytes alive, so a flavour the handler puts
    // back -- even with the very same text -- never has the same address.
    const QByteArray input = scrap->flavor(kScrapFlavorTypeUnicode).value_or(QByteArray());

    EventRef event = nullptr;
    if (CreateEvent(nullptr, kEventClassService, kEventServicePerform, 0, kEventAttributeNone,
                    &event) == noErr) {
        SetEventParameter(event, kEventParamServiceMessageName, typeCFStringRef, sizeof message,
                          &message);
        SetEventParameter(event, kEventParamScrapRef, typeScrapRef, sizeof scrap, &scrap);
        SendEventToEventTarget(event, GetApplicationEventTarget());
        ReleaseEvent(event);
    }

    const auto unicode = scrap->flavor(kScrapFlavorTypeUnicode);
    const bool unicodeReplaced =
        unicode && !(unicode->constData() == input.constData() && unicode->size() == input.size());
    if (unicodeReplaced) {
        reply.kind = ServiceReply::Kind::Unicode;
        reply.unicode = scrap->text().value_or(QString());
    } else if (const auto text8 = scrap->flavor(kScrapFlavorTypeText)) {
        reply.kind = ServiceReply::Kind::Text;
        reply.text = *text8;
    }
    DisposeScrap(scrap);
    return reply;
}

void sendApplicationCommand(UInt32 commandID)
{
    HICommand command{};
    command.commandID = commandID;
    ProcessHICommand(command, GetApplicationEventTarget());
}

DesktopServices startDesktopServices()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        const QByteArray reason = bus.lastError().message().toUtf8();
        std::fprintf(stderr, "No session bus (%s): Tavi runs without desktop services\n",
                     reason.isEmpty() ? "no address" : reason.constData());
        return DesktopServices::NoSessionBus;
    }

    if (!servicesObject) {
        servicesObject = new ServicesObject(QCoreApplication::instance());
        new ServicesAdaptor(servicesObject);
        new ApplicationAdaptor(servicesObject);
    }
    // The object is there before the name, so no call finds the name without it.
    bus.registerObject(tavi_dbus::objectPath(), servicesObject, QDBusConnection::ExportAdaptors);

    QDBusConnectionInterface* busInterface = bus.interface();
    QString why;
    // Twice: the Tavi that owns the name may end between our two requests.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> registered =
            busInterface->registerService(tavi_dbus::busName(),
                                          QDBusConnectionInterface::DontQueueService,
                                          QDBusConnectionInterface::DontAllowReplacement);
        if (!registered.isValid()) {
            const QByteArray reason = registered.error().message().toUtf8();
            std::fprintf(stderr,
                         "Could not own the name com.Quillon.Tavi (%s): Tavi runs without "
                         "desktop services\n",
                         reason.constData());
            bus.unregisterObject(tavi_dbus::objectPath());
            return DesktopServices::NameUnavailable;
        }
        if (registered.value() == QDBusConnectionInterface::ServiceRegistered) {
            nameOwned = true;
            return DesktopServices::Offered;
        }
        if (activateRunningTavi(bus, &why)) {
            bus.unregisterObject(tavi_dbus::objectPath());
            // Told always: this start ends at once.
            std::puts("Tavi runs already: its dictionary window comes forward");
            std::fflush(stdout);
            return DesktopServices::HandedOver;
        }
    }
    bus.unregisterObject(tavi_dbus::objectPath());
    const QByteArray reason = why.toUtf8();
    std::fprintf(stderr, "tavi: another Tavi runs but does not answer (%s)\n", reason.constData());
    return DesktopServices::HandOverFailed;
}

void desktopServicesReady()
{
    if (servicesReady)
        return;
    servicesReady = true;
    if (servicesObject) {
        // In the event loop, where every other call is answered too.
        QMetaObject::invokeMethod(
            servicesObject,
            [] {
                if (servicesObject)
                    servicesObject->answerHeldCalls();
            },
            Qt::QueuedConnection);
    }
}

void stopDesktopServices()
{
    servicesReady = false;
    if (!servicesObject)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (nameOwned) {
        bus.interface()->unregisterService(tavi_dbus::busName());
        nameOwned = false;
    }
    bus.unregisterObject(tavi_dbus::objectPath());
}

#include "servicesbridge.moc"
