#pragma once
// Events, event targets and handler stacks.
//
// An event is reference counted (CreateEvent gives one reference; RetainEvent
// and ReleaseEvent add and drop one) and carries its class, kind, time and
// typed parameters (name, type code, bytes). Every target -- the application,
// each window, each control, and any object a later module makes -- keeps a
// stack of installed handlers with the event types each wants. Sending an
// event to a target calls the matching handlers newest first; a handler that
// answers eventNotHandledErr lets the next one run, CallNextEventHandler runs
// the rest of the stack at once. Below the handlers a target may have a
// standard handler (a window's disposes it on close, the application's quits
// on the 'quit' command). When the whole target answers eventNotHandledErr the
// event goes on to the target's parent: control -> enclosing control ->
// window -> application.

#include "platform/eventtypes.h"

#include <functional>
#include <memory>
#include <vector>

// ---------------------------------------------------------------------------
// Events.

using EventAttributes = UInt32;
constexpr EventAttributes kEventAttributeNone = 0;

// The allocator argument of CreateEvent is kept for the callers' sake and
// must be null.
using CFAllocatorRef = const void*;

OSStatus CreateEvent(CFAllocatorRef allocator, EventClass eventClass, EventKind kind,
                     EventTime when, EventAttributes flags, EventRef* outEvent);
EventRef RetainEvent(EventRef event);
void ReleaseEvent(EventRef event);

EventClass GetEventClass(EventRef event);
EventKind GetEventKind(EventRef event);
EventTime GetEventTime(EventRef event);
// Seconds on a monotonic clock; 0 given as an event's time means "now".
EventTime GetCurrentEventTime();

// Parameters. The data is copied byte for byte, except for typeCFStringRef,
// whose data is a QString (size sizeof(QString)) that is copied as a value.
// GetEventParameter: a missing parameter is eventParameterNotFoundErr; asking
// for another type than the stored one (other than typeWildCard) is
// errAECoercionFail; a buffer smaller than the data is errDataSizeMismatch
// and receives nothing. Every out argument may be null.
OSStatus SetEventParameter(EventRef event, EventParamName name, EventParamType type, ByteCount size,
                           const void* data);
OSStatus GetEventParameter(EventRef event, EventParamName name, EventParamType desiredType,
                           EventParamType* outActualType, ByteCount bufferSize,
                           ByteCount* outActualSize, void* outData);

// ---------------------------------------------------------------------------
// Handlers.

using EventHandlerProcPtr = OSStatus (*)(EventHandlerCallRef, EventRef, void*);
using EventHandlerUPP = EventHandlerProcPtr;
using EventHandlerFunction = std::function<OSStatus(EventHandlerCallRef, EventRef)>;

inline EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr proc)
{
    return proc;
}

template <std::size_t N>
constexpr ItemCount GetEventTypeCount(const EventTypeSpec (&)[N])
{
    return N;
}

// Pushes a handler on the target's stack for the given types. outRef may be
// null when the handler is never removed.
OSStatus InstallEventHandler(EventTargetRef target, EventHandlerUPP handler, ItemCount numTypes,
                             const EventTypeSpec* typeList, void* userData,
                             EventHandlerRef* outRef);
// Removing a handler that is gone already (its target was disposed) is
// paramErr, never a crash.
OSStatus RemoveEventHandler(EventHandlerRef handler);

// Inside a handler: runs the handlers below it on the same target (and the
// target's standard handler) and returns their answer.
OSStatus CallNextEventHandler(EventHandlerCallRef call, EventRef event);

// ---------------------------------------------------------------------------
// Sending and posting.

using OptionBits = UInt32;

OSStatus SendEventToEventTarget(EventRef event, EventTargetRef target);

EventTargetRef GetApplicationEventTarget();

// ---------------------------------------------------------------------------
// An event owned by one scope: made with its class and kind (and, when given,
// a direct object), released when the scope ends. Making an event cannot
// fail, so callers have no failure to handle.

class ScopedEvent {
public:
    ScopedEvent(EventClass eventClass, EventKind kind)
    {
        CreateEvent(nullptr, eventClass, kind, 0, kEventAttributeNone, &m_event);
    }
    template <typename T>
    ScopedEvent(EventClass eventClass, EventKind kind, EventParamType directType, T direct)
        : ScopedEvent(eventClass, kind)
    {
        set(kEventParamDirectObject, directType, direct);
    }
    ~ScopedEvent() { ReleaseEvent(m_event); }
    ScopedEvent(const ScopedEvent&) = delete;
    ScopedEvent& operator=(const ScopedEvent&) = delete;

    operator EventRef() const { return m_event; }

    template <typename T>
    ScopedEvent& set(EventParamName name, EventParamType type, const T& value)
    {
        SetEventParameter(m_event, name, type, sizeof value, &value);
        return *this;
    }
    template <typename T>
    bool get(EventParamName name, EventParamType type, T* out) const
    {
        return GetEventParameter(m_event, name, type, nullptr, sizeof *out, nullptr, out) == noErr;
    }
    OSStatus send(EventTargetRef target, OptionBits options = 0) const;

private:
    EventRef m_event = nullptr;
};

// ---------------------------------------------------------------------------
// Targets, for modules of the layer that give their own objects a target.
// Owners hold the target in a shared_ptr and call invalidate() when the
// object goes away; a dispatch in progress keeps the target alive.

class EventTarget : public std::enable_shared_from_this<EventTarget> {
public:
    using StandardHandler = std::function<OSStatus(EventRef)>;
    using ParentResolver = std::function<EventTargetRef()>;

    static std::shared_ptr<EventTarget> create();
    ~EventTarget();

    void setStandardHandler(StandardHandler handler) { m_standard = std::move(handler); }
    void setParentResolver(ParentResolver resolver) { m_parent = std::move(resolver); }
    // Drops every handler, the standard handler and the parent; later
    // installs fail and events sent to it are not handled.
    void invalidate();
    bool isValid() const { return m_valid; }
    EventTargetRef parent() const;
    std::size_t handlerCount() const { return m_handlers.size(); }

    EventTarget(const EventTarget&) = delete;
    EventTarget& operator=(const EventTarget&) = delete;

private:
    EventTarget() = default;
    friend struct EventDispatch;

    std::vector<std::shared_ptr<EventHandler>> m_handlers; // in install order
    StandardHandler m_standard;
    ParentResolver m_parent;
    bool m_valid = true;
};
