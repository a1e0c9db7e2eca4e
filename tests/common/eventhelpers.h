#pragma once

// Short forms for tests that watch events: a handler for one event type
// written as a function of the event, and typed parameter reads.

#include "platform/events.h"
#include "platform/internal.h"

#include <functional>
#include <utility>

inline EventHandlerRef onEvent(EventTargetRef target, EventClass eventClass, EventKind kind,
                               std::function<OSStatus(EventRef)> handler)
{
    const EventTypeSpec type{eventClass, kind};
    EventHandlerRef ref = nullptr;
    InstallEventHandlerFunction(
        target,
        [handler = std::move(handler)](EventHandlerCallRef, EventRef event) {
            return handler(event);
        },
        1, &type, &ref);
    return ref;
}

// The parameter's value, or `fallback` when the event has none of that type.
template <typename T>
T eventParameter(EventRef event, EventParamName name, EventParamType type, T fallback = T{})
{
    GetEventParameter(event, name, type, nullptr, sizeof fallback, nullptr, &fallback);
    return fallback;
}

inline HICommand commandOf(EventRef event)
{
    return eventParameter(event, kEventParamDirectObject, typeHICommand, HICommand{});
}
