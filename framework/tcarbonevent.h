#pragma once
// TCarbonEvent: one platform event with typed access to its parameters.
//
// The wrapper holds one reference to its event for its whole life: wrapping
// an event retains it, a wrapper made from a class and kind owns the new
// event's only reference, and the destructor releases it on every way out of
// the scope, an exception included. Every accessor returns the platform's
// status as it is; the wrapper neither checks nor pads sizes.

#include "platform/hiview.h"

class TCarbonEvent {
public:
    TCarbonEvent(UInt32 inClass, UInt32 inKind);
    explicit TCarbonEvent(EventRef inEvent);
    virtual ~TCarbonEvent();

    TCarbonEvent(const TCarbonEvent&) = delete;
    TCarbonEvent& operator=(const TCarbonEvent&) = delete;

    UInt32 GetClass() const { return GetEventClass(fEvent); }
    UInt32 GetKind() const { return GetEventKind(fEvent); }
    EventTime GetTime() const { return GetEventTime(fEvent); }
    EventRef GetEventRef() const { return fEvent; }
    operator EventRef() const { return fEvent; }

    OSStatus SetParameter(EventParamName inName, EventParamType inType, UInt32 inSize,
                          const void* inData);
    OSStatus GetParameter(EventParamName inName, EventParamType inType, UInt32 inBufferSize,
                          void* outData);
    // Only the actual type or size of the parameter; no data is copied.
    OSStatus GetParameterType(EventParamName inName, EventParamType* outType);
    OSStatus GetParameterSize(EventParamName inName, UInt32* outSize);

    // Typed setters and getters, one type code and size each.
    OSStatus SetParameter(EventParamName inName, UInt8 inValue);
    OSStatus GetParameter(EventParamName inName, UInt8* outValue);
    OSStatus SetParameter(EventParamName inName, bool inValue);
    OSStatus GetParameter(EventParamName inName, bool* outValue);
    OSStatus SetParameter(EventParamName inName, Point inPt);
    OSStatus GetParameter(EventParamName inName, Point* outPt);
    OSStatus SetParameter(EventParamName inName, const HIPoint& inPt);
    OSStatus GetParameter(EventParamName inName, HIPoint* outPt);
    OSStatus SetParameter(EventParamName inName, const Rect& inRect);
    OSStatus GetParameter(EventParamName inName, Rect* outRect);
    OSStatus SetParameter(EventParamName inName, const HIRect& inRect);
    OSStatus GetParameter(EventParamName inName, HIRect* outRect);
    OSStatus SetParameter(EventParamName inName, const HISize& inSize);
    OSStatus GetParameter(EventParamName inName, HISize* outSize);
    OSStatus SetParameter(EventParamName inName, RgnHandle inRegion);
    OSStatus GetParameter(EventParamName inName, RgnHandle* outRegion);
    OSStatus SetParameter(EventParamName inName, WindowRef inWindow);
    OSStatus GetParameter(EventParamName inName, WindowRef* outWindow);
    OSStatus SetParameter(EventParamName inName, ControlRef inControl);
    OSStatus GetParameter(EventParamName inName, ControlRef* outControl);
    OSStatus SetParameter(EventParamName inName, MenuRef inMenu);
    OSStatus GetParameter(EventParamName inName, MenuRef* outMenu);
    OSStatus SetParameter(EventParamName inName, UInt32 inValue);
    OSStatus GetParameter(EventParamName inName, UInt32* outValue);
    OSStatus SetParameter(EventParamName inName, const HICommand& inValue);
    OSStatus GetParameter(EventParamName inName, HICommand* outValue);
    OSStatus SetParameter(EventParamName inName, const ControlPartCode& inValue);
    OSStatus GetParameter(EventParamName inName, ControlPartCode* outValue);

    // The general forms for any other fixed-size type.
    template <typename T>
    OSStatus SetParameter(EventParamName inName, EventParamType inType, const T& inValue)
    {
        return SetParameter(inName, inType, sizeof(T), &inValue);
    }
    template <typename T>
    OSStatus GetParameter(EventParamName inName, EventParamType inType, T* outValue)
    {
        return GetParameter(inName, inType, sizeof(T), outValue);
    }

protected:
    EventRef fEvent;
};
