#pragma once
// TView: a TObject whose platform object is a view. The constructor installs
// one handler on the view for the view's events; the dispatcher (HandleEvent)
// turns each into a virtual operation whose default does nothing, so that a
// subclass overrides only what it needs.

#include "framework/tobject.h"

class TView : public TObject {
public:
    // Which state changes mark the view for redrawing.
    enum {
        kAutoInvalidateOnActivate = 1 << 0,
        kAutoInvalidateOnHilite = 1 << 1,
        kAutoInvalidateOnEnable = 1 << 2,
    };

    ~TView() override;

    ControlRef GetViewRef() const { return fObjectRef; }

    // flags = (flags | inChangeFlags) & ~inClearFlags; a bit named in both is cleared.
    void ChangeAutoInvalidateFlags(UInt32 inChangeFlags, UInt32 inClearFlags);

    // Thin forwarders to the platform.
    HIRect Bounds(); // in the view's own coordinates
    void Hilite(ControlPartCode inPart);
    OSStatus Invalidate();
    Boolean IsEnabled();
    Boolean IsActive();

    static OSStatus ViewEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent,
                                     void* inUserData);
    OSStatus HandleEvent(EventHandlerCallRef inCallRef, TCarbonEvent& inEvent);

protected:
    explicit TView(ControlRef inControl);

    void PrintDebugInfoSelf() override;

    virtual ControlKind GetKind() = 0;
    virtual UInt32 GetBehaviors();

    virtual void BoundsChanged(UInt32 inOptions, const HIRect& inOriginalBounds,
                               const HIRect& inCurrentBounds);
    virtual void Draw(RgnHandle inLimitRgn, CGContextRef inContext);
    // The default answers the kind tag ('kind') with GetKind().
    virtual OSStatus GetData(OSType inTag, ControlPartCode inPart, Size inSize, Size* outSize,
                             void* inPtr);
    virtual OSStatus GetRegion(ControlPartCode inPart, RgnHandle outRgn);
    virtual ControlPartCode HitTest(const HIPoint& inWhere);
    virtual OSStatus SetData(OSType inTag, ControlPartCode inPart, Size inSize, const void* inPtr);
    virtual OSStatus Track(TCarbonEvent& inEvent, ControlPartCode* outPartHit);

private:
    EventHandlerRef fHandler;
    UInt32 fAutoInvalidateFlags;
};
