#pragma once
// TView: a TObject whose platform object is a view. The constructor installs
// one handler on the view for the view's events; the dispatcher (HandleEvent)
// turns each into a virtual operation whose default does nothing, so that a
// subclass overrides only what it needs. Drag and drop and keyboard focus
// are optional groups of events, added with ActivateInterface.

#include "framework/tobject.h"

class TView : public TObject {
public:
    enum Interface { kDragAndDrop = 1, kKeyboardFocus = 2 };

    // Which state changes mark the view for redrawing.
    enum {
        kAutoInvalidateOnActivate = 1 << 0,
        kAutoInvalidateOnHilite = 1 << 1,
        kAutoInvalidateOnEnable = 1 << 2,
        kAutoInvalidateOnValueChange = 1 << 3,
        kAutoInvalidateOnTitleChange = 1 << 4,
    };

    ~TView() override;

    ControlRef GetViewRef() const { return fObjectRef; }

    // flags = (flags | inChangeFlags) & ~inClearFlags; a bit named in both is cleared.
    void ChangeAutoInvalidateFlags(UInt32 inChangeFlags, UInt32 inClearFlags);
    UInt32 GetAutoInvalidateFlags() const { return fAutoInvalidateFlags; }

    // Thin forwarders to the platform.
    HIRect Frame();  // in the parent's coordinates
    OSStatus SetFrame(const HIRect& inBounds);
    HIRect Bounds();  // in the view's own coordinates
    OSStatus Show();
    OSStatus Hide();
    OSStatus AddSubView(TView* inSubView);
    OSStatus RemoveFromSuperView();
    ControlPartCode GetHilite();
    SInt32 GetValue();
    void SetValue(SInt32 inValue);
    SInt32 GetMinimum();
    void SetMinimum(SInt32 inMinimum);
    SInt32 GetMaximum();
    void SetMaximum(SInt32 inMaximum);
    WindowRef GetOwner();
    void Hilite(ControlPartCode inPart);
    OSStatus Invalidate();
    Boolean IsVisible();
    Boolean IsEnabled();
    Boolean IsActive();

    OSStatus GetOptimalSize(HISize* outSize, float* outBaseLine);

    static OSStatus ViewEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent,
                                     void* inUserData);
    OSStatus HandleEvent(EventHandlerCallRef inCallRef, TCarbonEvent& inEvent);

protected:
    explicit TView(ControlRef inControl);

    void PrintDebugInfoSelf() override;

    virtual ControlKind GetKind() = 0;
    virtual UInt32 GetBehaviors();

    virtual void ActiveStateChanged();
    virtual void BoundsChanged(UInt32 inOptions, const HIRect& inOriginalBounds,
                               const HIRect& inCurrentBounds);
    virtual void EnabledStateChanged();
    virtual void HiliteChanged(ControlPartCode inOriginalPart, ControlPartCode inCurrentPart);
    virtual void OwningWindowChanged(WindowRef inOriginalWindow, WindowRef inCurrentWindow);
    virtual void VisibilityChanged();
    virtual void TitleChanged();
    virtual void ValueChanged();

    virtual OSStatus ControlHit(ControlPartCode inPart, UInt32 inModifiers);
    virtual void Draw(RgnHandle inLimitRgn, CGContextRef inContext);
    virtual OSStatus GetData(OSType inTag, ControlPartCode inPart, Size inSize, Size* outSize,
                             void* inPtr);
    virtual OSStatus GetRegion(ControlPartCode inPart, RgnHandle outRgn);
    virtual ControlPartCode HitTest(const HIPoint& inWhere);
    virtual OSStatus SetData(OSType inTag, ControlPartCode inPart, Size inSize, const void* inPtr);
    virtual OSStatus SetFocusPart(ControlPartCode inDesiredFocus, Boolean inFocusEverything,
                                  ControlPartCode* outActualFocus);
    virtual OSStatus TextInput(TCarbonEvent& inEvent);
    virtual OSStatus Track(TCarbonEvent& inEvent, ControlPartCode* outPartHit);
    virtual OSStatus GetSizeConstraints(HISize* outMin, HISize* outMax);
    virtual OSStatus GetOptimalSizeSelf(HISize* outSize, float* outBaseLine);

    virtual bool DragEnter(DragRef inDrag);
    virtual void DragWithin(DragRef inDrag);
    virtual void DragLeave(DragRef inDrag);
    virtual OSStatus DragReceive(DragRef inDrag);

    virtual OSStatus ProcessCommand(const HICommand& inCommand);
    virtual OSStatus UpdateCommandStatus(const HICommand& inCommand);

    virtual OSStatus ActivateInterface(Interface inInterface);

private:
    EventHandlerRef fHandler;
    UInt32 fAutoInvalidateFlags;
};
