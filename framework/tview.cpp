#include "framework/tview.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const EventTypeSpec kViewEvents[] = {
    {kEventClassCommand, kEventCommandProcess},
    {kEventClassCommand, kEventCommandUpdateStatus},
    {kEventClassControl, kEventControlInitialize},
    {kEventClassControl, kEventControlDraw},
    {kEventClassControl, kEventControlHitTest},
    {kEventClassControl, kEventControlGetPartRegion},
    {kEventClassControl, kEventControlGetData},
    {kEventClassControl, kEventControlSetData},
    {kEventClassControl, kEventControlGetOptimalBounds},
    {kEventClassControl, kEventControlBoundsChanged},
    {kEventClassControl, kEventControlTrack},
    {kEventClassControl, kEventControlGetSizeConstraints},
    {kEventClassControl, kEventControlHit},
    {kEventClassControl, kEventControlHiliteChanged},
    {kEventClassControl, kEventControlActivate},
    {kEventClassControl, kEventControlDeactivate},
    {kEventClassControl, kEventControlValueFieldChanged},
    {kEventClassControl, kEventControlTitleChanged},
    {kEventClassControl, kEventControlEnabledStateChanged},
    {kEventClassControl, kEventControlOwningWindowChanged},
    {kEventClassControl, kEventControlVisibilityChanged},
};

const EventTypeSpec kDragEvents[] = {
    {kEventClassControl, kEventControlDragEnter},
    {kEventClassControl, kEventControlDragLeave},
    {kEventClassControl, kEventControlDragWithin},
    {kEventClassControl, kEventControlDragReceive},
};

const EventTypeSpec kFocusEvents[] = {
    {kEventClassControl, kEventControlSetFocusPart},
    {kEventClassTextInput, kEventTextInputUnicodeForKeyEvent},
};

constexpr UInt32 kDefaultBehaviors = 0x00020040;  // data access and part regions

// Toward zero, kept within 16 bits (NaN becomes 0).
SInt16 trunc16(float value)
{
    if (!(value == value))
        return 0;
    return SInt16(std::clamp(std::trunc(value), -32768.0f, 32767.0f));
}

} // namespace

TView::TView(ControlRef inControl)
    : TObject(inControl), fHandler(nullptr), fAutoInvalidateFlags(0)
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

OSStatus TView::ViewEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent,
                                 void* inUserData)
{
    TCarbonEvent event(inEvent);
    return static_cast<TView*>(inUserData)->HandleEvent(inCallRef, event);
}

OSStatus TView::HandleEvent(EventHandlerCallRef, TCarbonEvent& inEvent)
{
    OSStatus result = eventNotHandledErr;

    switch (inEvent.GetClass()) {
    case kEventClassCommand: {
        HICommand command{};
        result = inEvent.GetParameter(kEventParamDirectObject, &command);
        if (result != noErr)
            return result;
        switch (inEvent.GetKind()) {
        case kEventCommandProcess:
            result = ProcessCommand(command);
            break;
        case kEventCommandUpdateStatus:
            result = UpdateCommandStatus(command);
            break;
        default:
            break;  // read and left alone: no error
        }
        break;
    }

    case kEventClassControl:
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

        case kEventControlGetOptimalBounds: {
            HISize size{};
            float baseline = 0;
            result = GetOptimalSizeSelf(&size, &baseline);
            if (result != noErr)
                return result;
            const HIRect bounds = Bounds();
            Rect best;
            best.top = trunc16(bounds.origin.y);
            best.left = trunc16(bounds.origin.x);
            best.right = SInt16(best.left + trunc16(size.width));
            best.bottom = SInt16(best.top + trunc16(size.height));
            inEvent.SetParameter(kEventParamControlOptimalBounds, best);
            inEvent.SetParameter(kEventParamControlOptimalBaselineOffset, typeShortInteger,
                                 trunc16(baseline));
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

        case kEventControlGetSizeConstraints: {
            HISize minimum{};
            HISize maximum{};
            result = GetSizeConstraints(&minimum, &maximum);
            if (result == noErr) {
                inEvent.SetParameter(kEventParamMinimumSize, minimum);
                inEvent.SetParameter(kEventParamMaximumSize, maximum);
            }
            break;
        }

        case kEventControlHit: {
            ControlPartCode part = 0;
            UInt32 modifiers = 0;
            inEvent.GetParameter(kEventParamControlPart, &part);
            inEvent.GetParameter(kEventParamKeyModifiers, &modifiers);
            result = ControlHit(part, modifiers);
            break;
        }

        case kEventControlHiliteChanged: {
            ControlPartCode previous = 0;
            ControlPartCode current = 0;
            inEvent.GetParameter(kEventParamControlPreviousPart, &previous);
            inEvent.GetParameter(kEventParamControlCurrentPart, &current);
            HiliteChanged(previous, current);
            if (fAutoInvalidateFlags & kAutoInvalidateOnHilite)
                Invalidate();
            result = noErr;
            break;
        }

        case kEventControlActivate:
        case kEventControlDeactivate:
            ActiveStateChanged();
            if (fAutoInvalidateFlags & kAutoInvalidateOnActivate)
                Invalidate();
            result = noErr;
            break;

        case kEventControlValueFieldChanged:
            ValueChanged();
            if (fAutoInvalidateFlags & kAutoInvalidateOnValueChange)
                Invalidate();
            result = noErr;
            break;

        case kEventControlTitleChanged:
            TitleChanged();
            if (fAutoInvalidateFlags & kAutoInvalidateOnTitleChange)
                Invalidate();
            result = noErr;
            break;

        case kEventControlEnabledStateChanged:
            EnabledStateChanged();
            if (fAutoInvalidateFlags & kAutoInvalidateOnEnable)
                Invalidate();
            result = noErr;
            break;

        case kEventControlOwningWindowChanged: {
            WindowRef previous = nullptr;
            WindowRef current = nullptr;
            inEvent.GetParameter(kEventParamControlOriginalOwningWindow, &previous);
            inEvent.GetParameter(kEventParamControlCurrentOwningWindow, &current);
            OwningWindowChanged(previous, current);
            result = noErr;
            break;
        }

        case kEventControlVisibilityChanged:
            VisibilityChanged();
            result = noErr;
            break;

        case kEventControlSetFocusPart: {
            ControlPartCode desired = 0;
            Boolean focusEverything = false;
            result = inEvent.GetParameter(kEventParamControlPart, &desired);
            if (result != noErr)
                return result;
            inEvent.GetParameter(kEventParamControlFocusEverything, &focusEverything);
            ControlPartCode actual = desired;
            result = SetFocusPart(desired, focusEverything, &actual);
            if (result == noErr)
                inEvent.SetParameter(kEventParamControlPart, actual);
            break;
        }

        case kEventControlDragEnter:
        case kEventControlDragWithin:
        case kEventControlDragLeave:
        case kEventControlDragReceive: {
            DragRef drag = nullptr;
            inEvent.GetParameter(kEventParamDragRef, &drag);
            switch (inEvent.GetKind()) {
            case kEventControlDragEnter:
                if (DragEnter(drag))
                    result = inEvent.SetParameter(kEventParamControlWouldAcceptDrop, true);
                break;
            case kEventControlDragWithin:
                DragWithin(drag);
                result = noErr;
                break;
            case kEventControlDragLeave:
                DragLeave(drag);
                result = noErr;
                break;
            default:
                result = DragReceive(drag);
                break;
            }
            break;
        }

        default:
            break;
        }
        break;

    case kEventClassTextInput:
        result = TextInput(inEvent);
        break;

    default:
        break;
    }

    return result;
}

// ---------------------------------------------------------------------------
// Default behaviour of the virtual operations.

UInt32 TView::GetBehaviors()
{
    return kDefaultBehaviors;
}

void TView::ActiveStateChanged() {}
void TView::BoundsChanged(UInt32, const HIRect&, const HIRect&) {}
void TView::EnabledStateChanged() {}
void TView::HiliteChanged(ControlPartCode, ControlPartCode) {}
void TView::OwningWindowChanged(WindowRef, WindowRef) {}
void TView::VisibilityChanged() {}
void TView::TitleChanged() {}
void TView::ValueChanged() {}
void TView::Draw(RgnHandle, CGContextRef) {}

OSStatus TView::ControlHit(ControlPartCode, UInt32)
{
    return eventNotHandledErr;
}

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

OSStatus TView::SetFocusPart(ControlPartCode, Boolean, ControlPartCode*)
{
    return eventNotHandledErr;
}

OSStatus TView::TextInput(TCarbonEvent&)
{
    return eventNotHandledErr;
}

OSStatus TView::Track(TCarbonEvent&, ControlPartCode*)
{
    return eventNotHandledErr;
}

OSStatus TView::GetSizeConstraints(HISize*, HISize*)
{
    return eventNotHandledErr;
}

OSStatus TView::GetOptimalSizeSelf(HISize*, float*)
{
    return eventNotHandledErr;
}

bool TView::DragEnter(DragRef)
{
    return false;
}

void TView::DragWithin(DragRef) {}
void TView::DragLeave(DragRef) {}

OSStatus TView::DragReceive(DragRef)
{
    return dragNotAcceptedErr;
}

OSStatus TView::ProcessCommand(const HICommand&)
{
    return eventNotHandledErr;
}

OSStatus TView::UpdateCommandStatus(const HICommand&)
{
    return eventNotHandledErr;
}

OSStatus TView::ActivateInterface(Interface inInterface)
{
    switch (inInterface) {
    case kDragAndDrop: {
        const OSStatus status =
            AddEventTypesToHandler(fHandler, GetEventTypeCount(kDragEvents), kDragEvents);
        if (status != noErr)
            return status;
        return SetControlDragTrackingEnabled(GetViewRef(), true);
    }
    case kKeyboardFocus: {
        const OSStatus status =
            AddEventTypesToHandler(fHandler, GetEventTypeCount(kFocusEvents), kFocusEvents);
        if (status != noErr)
            return status;
        return SetControlAcceptsKeyboardFocus(GetViewRef(), true);
    }
    }
    return noErr;
}

// ---------------------------------------------------------------------------
// Forwarders.

HIRect TView::Frame()
{
    HIRect frame{};
    HIViewGetFrame(GetViewRef(), &frame);
    return frame;
}

OSStatus TView::SetFrame(const HIRect& inBounds)
{
    return HIViewSetFrame(GetViewRef(), &inBounds);
}

HIRect TView::Bounds()
{
    HIRect bounds{};
    HIViewGetBounds(GetViewRef(), &bounds);
    return bounds;
}

OSStatus TView::Show()
{
    return HIViewSetVisible(GetViewRef(), true);
}

OSStatus TView::Hide()
{
    return HIViewSetVisible(GetViewRef(), false);
}

OSStatus TView::AddSubView(TView* inSubView)
{
    if (!inSubView)
        return paramErr;
    return HIViewAddSubview(GetViewRef(), inSubView->GetViewRef());
}

OSStatus TView::RemoveFromSuperView()
{
    return HIViewRemoveFromSuperview(GetViewRef());
}

ControlPartCode TView::GetHilite()
{
    return GetControlHilite(GetViewRef());
}

SInt32 TView::GetValue()
{
    return GetControl32BitValue(GetViewRef());
}

void TView::SetValue(SInt32 inValue)
{
    SetControl32BitValue(GetViewRef(), inValue);
}

SInt32 TView::GetMinimum()
{
    return GetControl32BitMinimum(GetViewRef());
}

void TView::SetMinimum(SInt32 inMinimum)
{
    SetControl32BitMinimum(GetViewRef(), inMinimum);
}

SInt32 TView::GetMaximum()
{
    return GetControl32BitMaximum(GetViewRef());
}

void TView::SetMaximum(SInt32 inMaximum)
{
    SetControl32BitMaximum(GetViewRef(), inMaximum);
}

WindowRef TView::GetOwner()
{
    return GetControlOwner(GetViewRef());
}

void TView::Hilite(ControlPartCode inPart)
{
    HiliteControl(GetViewRef(), inPart);
}

OSStatus TView::Invalidate()
{
    return HIViewSetNeedsDisplay(GetViewRef(), true);
}

Boolean TView::IsVisible()
{
    return IsControlVisible(GetViewRef());
}

Boolean TView::IsEnabled()
{
    return IsControlEnabled(GetViewRef());
}

Boolean TView::IsActive()
{
    return IsControlActive(GetViewRef());
}

OSStatus TView::GetOptimalSize(HISize* outSize, float* outBaseLine)
{
    const HIRect frame = Frame();
    Rect best;
    best.top = trunc16(frame.origin.y);
    best.left = trunc16(frame.origin.x);
    best.bottom = trunc16(frame.origin.y + frame.size.height);
    best.right = trunc16(frame.origin.x + frame.size.width);
    SInt16 baseline = 0;
    const OSStatus status = GetBestControlRect(GetViewRef(), &best, &baseline);
    if (outSize) {
        outSize->width = float(best.right - best.left);
        outSize->height = float(best.bottom - best.top);
    }
    if (outBaseLine)
        *outBaseLine = baseline;
    return status;
}
