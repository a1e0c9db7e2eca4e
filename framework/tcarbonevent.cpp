#include "framework/tcarbonevent.h"

TCarbonEvent::TCarbonEvent(UInt32 inClass, UInt32 inKind) : fEvent(nullptr)
{
    CreateEvent(nullptr, inClass, inKind, GetCurrentEventTime(), kEventAttributeNone, &fEvent);
}

TCarbonEvent::TCarbonEvent(EventRef inEvent) : fEvent(RetainEvent(inEvent)) {}

TCarbonEvent::~TCarbonEvent()
{
    ReleaseEvent(fEvent);
}

OSStatus TCarbonEvent::SetParameter(EventParamName inName, EventParamType inType, UInt32 inSize,
                                    const void* inData)
{
    return SetEventParameter(fEvent, inName, inType, inSize, inData);
}

OSStatus TCarbonEvent::GetParameter(EventParamName inName, EventParamType inType,
                                    UInt32 inBufferSize, void* outData)
{
    return GetEventParameter(fEvent, inName, inType, nullptr, inBufferSize, nullptr, outData);
}

OSStatus TCarbonEvent::GetParameterType(EventParamName inName, EventParamType* outType)
{
    return GetEventParameter(fEvent, inName, typeWildCard, outType, 0, nullptr, nullptr);
}

OSStatus TCarbonEvent::GetParameterSize(EventParamName inName, UInt32* outSize)
{
    ByteCount size = 0;
    const OSStatus status =
        GetEventParameter(fEvent, inName, typeWildCard, nullptr, 0, &size, nullptr);
    if (status == noErr && outSize)
        *outSize = UInt32(size);
    return status;
}

// ---------------------------------------------------------------------------
// The typed family. References are stored as pointers of the process's width.
static_assert(sizeof(bool) == sizeof(UInt8), "a Boolean parameter is one byte");

#define TAVI_TYPED_PARAMETER(SetArg, GetType, typeCode)                                            \
    OSStatus TCarbonEvent::SetParameter(EventParamName inName, SetArg inValue)                     \
    {                                                                                              \
        return SetParameter(inName, typeCode, sizeof(GetType), &inValue);                          \
    }                                                                                              \
    OSStatus TCarbonEvent::GetParameter(EventParamName inName, GetType* outValue)                  \
    {                                                                                              \
        return GetParameter(inName, typeCode, sizeof(GetType), outValue);                          \
    }

TAVI_TYPED_PARAMETER(UInt8, UInt8, typeBoolean)
TAVI_TYPED_PARAMETER(bool, bool, typeBoolean)
TAVI_TYPED_PARAMETER(Point, Point, typeQDPoint)
TAVI_TYPED_PARAMETER(const HIPoint&, HIPoint, typeHIPoint)
TAVI_TYPED_PARAMETER(const Rect&, Rect, typeQDRectangle)
TAVI_TYPED_PARAMETER(const HIRect&, HIRect, typeHIRect)
TAVI_TYPED_PARAMETER(const HISize&, HISize, typeHISize)
TAVI_TYPED_PARAMETER(RgnHandle, RgnHandle, typeQDRgnHandle)
TAVI_TYPED_PARAMETER(WindowRef, WindowRef, typeWindowRef)
TAVI_TYPED_PARAMETER(ControlRef, ControlRef, typeControlRef)
TAVI_TYPED_PARAMETER(MenuRef, MenuRef, typeMenuRef)
TAVI_TYPED_PARAMETER(UInt32, UInt32, typeUInt32)
TAVI_TYPED_PARAMETER(const HICommand&, HICommand, typeHICommand)
TAVI_TYPED_PARAMETER(const ControlPartCode&, ControlPartCode, typeControlPartCode)

#undef TAVI_TYPED_PARAMETER
