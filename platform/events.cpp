#include "platform/events.h"

#include "platform/internal.h"

#include "platform/eventloop.h"

#include <QCoreApplication>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <unordered_set>

// ---------------------------------------------------------------------------
// Events.

class PlatformEvent {
public:
    struct Parameter {
        EventParamType type = 0;
        std::vector<unsigned char> bytes;
        QString text; // typeCFStringRef only
    };

    PlatformEvent(EventClass c, EventKind k, EventTime t, EventAttributes a)
        : eventClass(c), kind(k), time(t), attributes(a)
    {
    }
    PlatformEvent(const PlatformEvent&) = delete;
    PlatformEvent& operator=(const PlatformEvent&) = delete;

    EventClass eventClass;
    EventKind kind;
    EventTime time;
    EventAttributes attributes;
    ItemCount retainCount = 1;
    std::map<EventParamName, Parameter> parameters;
};

OSStatus CreateEvent(CFAllocatorRef allocator, EventClass eventClass, EventKind kind,
                     EventTime when, EventAttributes flags, EventRef* outEvent)
{
    if (allocator != nullptr || outEvent == nullptr)
        return paramErr;
    *outEvent =
        new PlatformEvent(eventClass, kind, when == 0 ? GetCurrentEventTime() : when, flags);
    return noErr;
}

EventRef RetainEvent(EventRef event)
{
    if (event)
        ++event->retainCount;
    return event;
}

void ReleaseEvent(EventRef event)
{
    if (event && --event->retainCount == 0)
        delete event;
}

EventClass GetEventClass(EventRef event)
{
    return event ? event->eventClass : 0;
}

EventKind GetEventKind(EventRef event)
{
    return event ? event->kind : 0;
}

EventTime GetEventTime(EventRef event)
{
    return event ? event->time : 0;
}

EventTime GetCurrentEventTime()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

OSStatus SetEventParameter(EventRef event, EventParamName name, EventParamType type, ByteCount size,
                           const void* data)
{
    if (!event || type == typeWildCard || (size > 0 && data == nullptr))
        return paramErr;
    PlatformEvent::Parameter parameter;
    parameter.type = type;
    if (type == typeCFStringRef) {
        if (size != sizeof(QString) || data == nullptr)
            return paramErr;
        parameter.text = *static_cast<const QString*>(data);
    } else {
        const auto* bytes = static_cast<const unsigned char*>(data);
        parameter.bytes.assign(bytes, bytes + size);
    }
    event->parameters[name] = std::move(parameter);
    return noErr;
}

OSStatus GetEventParameter(EventRef event, EventParamName name, EventParamType desiredType,
                           EventParamType* outActualType, ByteCount bufferSize,
                           ByteCount* outActualSize, void* outData)
{
    if (!event)
        return paramErr;
    const auto found = event->parameters.find(name);
    if (found == event->parameters.end())
        return eventParameterNotFoundErr;
    const PlatformEvent::Parameter& parameter = found->second;
    if (desiredType != typeWildCard && desiredType != parameter.type)
        return errAECoercionFail;
    const bool isText = parameter.type == typeCFStringRef;
    const ByteCount size = isText ? sizeof(QString) : parameter.bytes.size();
    if (outData) {
        if (bufferSize < size)
            return errDataSizeMismatch;
        if (isText)
            *static_cast<QString*>(outData) = parameter.text;
        else if (size > 0)
            std::memcpy(outData, parameter.bytes.data(), size);
    }
    if (outActualType)
        *outActualType = parameter.type;
    if (outActualSize)
        *outActualSize = size;
    return noErr;
}

// ---------------------------------------------------------------------------
// Handlers and targets.

class EventHandler {
public:
    EventHandler(std::weak_ptr<EventTarget> target, EventHandlerFunction function)
        : target(std::move(target)), function(std::move(function))
    {
    }

    bool handles(EventClass c, EventKind k) const
    {
        return std::any_of(types.begin(), types.end(), [&](const EventTypeSpec& t) {
            return t.eventClass == c && t.eventKind == k;
        });
    }

    std::weak_ptr<EventTarget> target;
    EventHandlerFunction function;
    std::vector<EventTypeSpec> types;
    bool removed = false;
};

// One handler's call: where the rest of its target's stack begins.
struct EventHandlerCall {
    EventTarget* target;
    const std::vector<std::shared_ptr<EventHandler>>* stack; // newest first
    std::size_t next;
    bool calledNext = false;
};

namespace {

constexpr OSStatus eventClassInvalidErr = -9862;

// Handlers that exist, so that removing a handler twice, or after its target
// has gone, is a status and not a crash.
std::unordered_set<const EventHandler*>& liveHandlers()
{
    // Never destroyed: targets held in static objects drop their handlers
    // during exit, in no fixed order with this set.
    static auto* handlers = new std::unordered_set<const EventHandler*>;
    return *handlers;
}

bool isLive(EventHandlerRef handler)
{
    return handler && liveHandlers().count(handler) != 0;
}

void addTypes(EventHandler& handler, ItemCount numTypes, const EventTypeSpec* typeList)
{
    for (ItemCount i = 0; i < numTypes; ++i) {
        const EventTypeSpec& typeSpec = typeList[i];
        if (!handler.handles(typeSpec.eventClass, typeSpec.eventKind))
            handler.types.push_back(typeSpec);
    }
}

} // namespace

struct EventDispatch {
    static OSStatus runStack(EventTarget& target,
                             const std::vector<std::shared_ptr<EventHandler>>& stack,
                             std::size_t from, EventRef event)
    {
        const EventClass eventClass = GetEventClass(event);
        const EventKind kind = GetEventKind(event);
        for (std::size_t i = from; i < stack.size(); ++i) {
            EventHandler& handler = *stack[i];
            if (handler.removed || !handler.handles(eventClass, kind))
                continue;
            EventHandlerCall call{&target, &stack, i + 1};
            const OSStatus result = handler.function(&call, event);
            // A handler that called the next ones has already let the rest
            // of the stack answer.
            if (result != eventNotHandledErr || call.calledNext)
                return result;
        }
        if (target.m_standard)
            return target.m_standard(event);
        return eventNotHandledErr;
    }

    static OSStatus dispatch(EventTarget& target, EventRef event)
    {
        if (!target.m_valid)
            return eventNotHandledErr;
        std::vector<std::shared_ptr<EventHandler>> stack(target.m_handlers.rbegin(),
                                                         target.m_handlers.rend());
        return runStack(target, stack, 0, event);
    }

    static std::vector<std::shared_ptr<EventHandler>>& handlers(EventTarget& target)
    {
        return target.m_handlers;
    }
};

std::shared_ptr<EventTarget> EventTarget::create()
{
    return std::shared_ptr<EventTarget>(new EventTarget());
}

EventTarget::~EventTarget()
{
    invalidate();
}

void EventTarget::invalidate()
{
    m_valid = false;
    for (const auto& handler : m_handlers) {
        handler->removed = true;
        liveHandlers().erase(handler.get());
    }
    m_handlers.clear();
    m_standard = nullptr;
    m_parent = nullptr;
}

EventTargetRef EventTarget::parent() const
{
    return m_parent ? m_parent() : nullptr;
}

OSStatus InstallEventHandlerFunction(EventTargetRef target, EventHandlerFunction function,
                                     ItemCount numTypes, const EventTypeSpec* typeList,
                                     EventHandlerRef* outRef)
{
    if (!target || !function || (numTypes > 0 && typeList == nullptr))
        return paramErr;
    if (!target->isValid())
        return eventClassInvalidErr;
    auto handler = std::make_shared<EventHandler>(target->weak_from_this(), std::move(function));
    addTypes(*handler, numTypes, typeList);
    EventDispatch::handlers(*target).push_back(handler);
    liveHandlers().insert(handler.get());
    if (outRef)
        *outRef = handler.get();
    return noErr;
}

OSStatus InstallEventHandler(EventTargetRef target, EventHandlerUPP handler, ItemCount numTypes,
                             const EventTypeSpec* typeList, void* userData, EventHandlerRef* outRef)
{
    if (!handler)
        return paramErr;
    return InstallEventHandlerFunction(
        target,
        [handler, userData](EventHandlerCallRef call, EventRef event) {
            return handler(call, event, userData);
        },
        numTypes, typeList, outRef);
}

OSStatus RemoveEventHandler(EventHandlerRef handler)
{
    if (!isLive(handler))
        return paramErr;
    handler->removed = true;
    liveHandlers().erase(handler);
    if (auto target = handler->target.lock()) {
        auto& handlers = EventDispatch::handlers(*target);
        // Erasing may free the handler; a dispatch in progress holds its own
        // reference to it.
        handlers.erase(std::remove_if(handlers.begin(), handlers.end(),
                                      [&](const auto& h) { return h.get() == handler; }),
                       handlers.end());
    }
    return noErr;
}

OSStatus CallNextEventHandler(EventHandlerCallRef call, EventRef event)
{
    if (!call || !event)
        return paramErr;
    call->calledNext = true;
    return EventDispatch::runStack(*call->target, *call->stack, call->next, event);
}

OSStatus SendEventToEventTarget(EventRef event, EventTargetRef target)
{
    return SendEventToEventTargetWithOptions(event, target, 0);
}

OSStatus ScopedEvent::send(EventTargetRef target, OptionBits options) const
{
    return SendEventToEventTargetWithOptions(m_event, target, options);
}

OSStatus SendEventToEventTargetWithOptions(EventRef event, EventTargetRef target,
                                           OptionBits options)
{
    if (!event || !target)
        return paramErr;
    // The whole path is fixed before any handler runs: a handler may dispose
    // of the window or control it runs on, and the event then still reaches
    // the targets above it.
    std::vector<std::shared_ptr<EventTarget>> path;
    for (EventTargetRef t = target; t && path.size() < 64; t = t->parent()) {
        path.push_back(t->shared_from_this());
        if (options & kEventTargetDontPropagate)
            break;
    }
    RetainEvent(event);
    OSStatus result = eventNotHandledErr;
    for (const auto& t : path) {
        result = EventDispatch::dispatch(*t, event);
        if (result != eventNotHandledErr)
            break;
    }
    ReleaseEvent(event);
    return result;
}

// ---------------------------------------------------------------------------
// The application target.

EventTargetRef GetApplicationEventTarget()
{
    static const std::shared_ptr<EventTarget> target = [] {
        auto t = EventTarget::create();
        t->setStandardHandler([](EventRef event) -> OSStatus {
            if (GetEventClass(event) == kEventClassCommand &&
                GetEventKind(event) == kEventCommandProcess) {
                HICommand command{};
                if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr,
                                      sizeof command, nullptr, &command) == noErr &&
                    command.commandID == kHICommandQuit) {
                    QuitApplicationEventLoop();
                    return noErr;
                }
            }
            return eventNotHandledErr;
        });
        return t;
    }();
    return target.get();
}
