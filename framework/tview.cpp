#include "framework/tview.h"

#include <cstdio>

namespace {

const EventTypeSpec kViewEvents[] = {
    {kEventClassControl, kEventControlInitialize},
    {kEventClassControl, kEventControlDraw},
    {kEventClassControl, kEventControlHitTest},
    {kEventClassControl, kEventControlGetPartRegion},
    {kEventClassControl, kEventControlGetData},
    {kEventClassControl, kEventControlSetData},
    {kEventClassControl, kEventControlBoundsChanged},
    {kEventClassControl, kEventControlTrack},
    {kEventClassControl, kEventControlHiliteChanged},
    {kEventClassControl, kEventControlActivate},
    {kEventClassControl, kEventControlDeactivate},
    {kEventClassControl, kEventControlEnabledStateChanged},
};

constexpr UInt32 kDefaultBehaviors = 0x00020040; // data access and part regions

} // namespace

TView::TView(ControlRef inControl) : TObject(inControl), fHandler(nullptr), fAutoInvalidateFlags(0)
{
    InstallEventHandler(GetControlEventTarget(inControl), ViewEventHandler,
                        GetEventTypeCount(kViewEvents), kViewEvents, this, &fHandler);
}

TView::~TView()
{
    if (fHandler)
        RemoveEventHandler(fHandler);
}

void TView::PrintDebugInfoSelf()
{
    std::fputs("TView\n", stdout);
    TObject::PrintDebugInfoSelf();
}

void TView::ChangeAutoInvalidateFlags(UInt32 inChangeFlags, UInt32 inClearFlags)
{
    fAutoInvalidateFlags = (fAutoInvalidateFlags | inChangeFlags) & ~inClearFlags;
}

// ---------------------------------------------------------------------------
// The dispatcher.

OSStatus TView::ViewEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent, void* inUserData)
{
    TCarbonEvent event(inEvent);
    return static_cast<TView*>(inUserData)->HandleEvent(inCallRef, event);
}

OSStatus TView::HandleEvent(EventHandlerCallRef, TCarbonEvent& inEvent)
{
    OSStatus result = eventNotHandledErr;

    if (inEvent.GetClass() == kEventClassControl) {
        switch (inEvent.GetKind()) {
        case kEventControlInitialize:
            inEvent.SetParameter(kEventParamControlFeatures, GetBehaviors());
            result = noErr;
            break;

        case kEventControlDraw: {
            RgnHandle region = nullptr;
            CGContextRef context = nullptr;
            inEvent.GetParameter(kEventParamRgnHandle, &region);
            inEvent.GetParameter(kEventParamCGContextRef, typeCGContextRef, &context);
            Draw(region, context);
            result = noErr;
            break;
        }

        case kEventControlHitTest: {
            HIPoint where{};
            inEvent.GetParameter(kEventParamMouseLocation, &where);
            const ControlPartCode part = HitTest(where);
            inEvent.SetParameter(kEventParamControlPart, part);
            result = noErr;
            break;
        }

        case kEventControlGetPartRegion: {
            ControlPartCode part = 0;
            RgnHandle region = nullptr;
            inEvent.GetParameter(kEventParamControlPart, &part);
            inEvent.GetParameter(kEventParamControlRegion, &region);
            result = GetRegion(part, region);
            break;
        }

        case kEventControlGetData:
        case kEventControlSetData: {
            ControlPartCode part = 0;
            OSType tag = 0;
            void* buffer = nullptr;
            SInt32 size = 0;
            inEvent.GetParameter(kEventParamControlPart, &part);
            inEvent.GetParameter(kEventParamControlDataTag, typeEnumeration, &tag);
            inEvent.GetParameter(kEventParamControlDataBuffer, typePtr, &buffer);
            inEvent.GetParameter(kEventParamControlDataBufferSize, typeLongInteger, &size);
            if (inEvent.GetKind() == kEventControlSetData) {
                result = SetData(tag, part, size, buffer);
            } else {
                Size actualSize = size;
                result = GetData(tag, part, size, &actualSize, buffer);
                if (result == noErr)
                    inEvent.SetParameter(kEventParamControlDataBufferSize, typeLongInteger,
                                         SInt32(actualSize));
            }
            break;
        }

        case kEventControlBoundsChanged: {
            UInt32 attributes = 0;
            HIRect previous{};
            HIRect current{};
            inEvent.GetParameter(kEventParamAttributes, &attributes);
            inEvent.GetParameter(kEventParamOriginalBounds, &previous);
            inEvent.GetParameter(kEventParamCurrentBounds, &current);
            BoundsChanged(attributes, previous, current);
            result = noErr;
            break;
        }

        case kEventControlTrack: {
            ControlPartCode part = 0;
            result = Track(inEvent, &part);
            if (result == noErr)
                inEvent.SetParameter(kEventParamControlPart, part);
            break;
        }

        case kEventControlHiliteChanged: {
            if (fAutoInvalidateFlags & kAutoInvalidateOnHilite)
                Invalidate();
            result = noErr;
            break;
        }

        case kEventControlActivate:
        case kEventControlDeactivate:
            if (fAutoInvalidateFlags & kAutoInvalidateOnActivate)
                Invalidate();
            result = noErr;
            break;

        case kEventControlEnabledStateChanged:
            if (fAutoInvalidateFlags & kAutoInvalidateOnEnable)
                Invalidate();
            result = noErr;
            break;

        default:
            break;
        }
    }

    return result;
}

// ---------------------------------------------------------------------------
// Default behaviour of the virtual operations.

UInt32 TView::GetBehaviors()
{
    return kDefaultBehaviors;
}

void TView::BoundsChanged(UInt32, const HIRect&, const HIRect&) {}
void TView::Draw(RgnHandle, CGContextRef) {}

OSStatus TView::GetData(OSType inTag, ControlPartCode, Size inSize, Size* outSize, void* inPtr)
{
    if (inTag != kControlKindTag)
        return eventNotHandledErr;
    OSStatus status = noErr;
    if (inPtr) {
        if (inSize != Size(sizeof(ControlKind)))
            status = errDataSizeMismatch;
        else
            *static_cast<ControlKind*>(inPtr) = GetKind();
    }
    if (outSize)
        *outSize = sizeof(ControlKind);
    return status;
}

OSStatus TView::GetRegion(ControlPartCode, RgnHandle)
{
    return eventNotHandledErr;
}

ControlPartCode TView::HitTest(const HIPoint&)
{
    return kControlNoPart;
}

OSStatus TView::SetData(OSType, ControlPartCode, Size, const void*)
{
    return eventNotHandledErr;
}

OSStatus TView::Track(TCarbonEvent&, ControlPartCode*)
{
    return eventNotHandledErr;
}

// ---------------------------------------------------------------------------
// Forwarders.

HIRect TView::Bounds()
{
    HIRect bounds{};
    HIViewGetBounds(GetViewRef(), &bounds);
    return bounds;
}

void TView::Hilite(ControlPartCode inPart)
{
    HiliteControl(GetViewRef(), inPart);
}

OSStatus TView::Invalidate()
{
    return HIViewSetNeedsDisplay(GetViewRef(), true);
}

Boolean TView::IsEnabled()
{
    return IsControlEnabled(GetViewRef());
}

Boolean TView::IsActive()
{
    return IsControlActive(GetViewRef());
}
