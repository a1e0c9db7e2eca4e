#pragma once
// Controls: a ControlRef stands for one QWidget inside a window. Controls are
// found by their {signature, id}, which are the dynamic properties
// "controlSignature" (a 4-character string) and "controlID" (an int) of the
// widget, as set in the .ui files or by SetControlID. Each control has an
// event target whose parent is the enclosing control's or the window's.
//
// Values, text and control data go through control adapters (see
// controladapter.h), so that each kind of widget maps them its own way:
// progress bars, sliders and spin boxes their value and range, check boxes
// their check state, pop-ups (QComboBox) the current item + 1. A widget no
// adapter knows (a custom view) keeps value, minimum and maximum itself.
// Control data is first offered to the control's own handlers as
// kEventControlGetData/SetData, so a custom view answers its own tags.

#include "platform/events.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

// Control data tags and parts.
constexpr ControlPartCode kControlEntireControl = 0;
constexpr ControlPartCode kControlNoPart = 0;
constexpr ResType kControlEditTextCFStringTag = FOUR_CHAR_CODE("cfst");   // data: QString
constexpr ResType kControlStaticTextCFStringTag = FOUR_CHAR_CODE("cfst"); // data: QString
constexpr ResType kControlFontStyleTag = FOUR_CHAR_CODE("font"); // data: ControlFontStyleRec
constexpr ResType kControlPopupButtonMenuHandleTag = FOUR_CHAR_CODE("mhan");
constexpr ResType kControlKindTag = FOUR_CHAR_CODE("kind");

// Font style of a control. Sizes are in pixels.
struct ControlFontStyleRec {
    SInt16 flags;
    SInt16 font;
    SInt16 size;
    SInt16 style;
    SInt16 mode;
    SInt16 just;
    RGBColor foreColor;
    RGBColor backColor;
};

constexpr SInt16 kControlUseSizeMask = 0x0004;
constexpr SInt16 kControlUseJustMask = 0x0040;
constexpr SInt16 kControlUseThemeFontIDMask = 0x0080;

constexpr SInt16 teCenter = 1;

// The control of a widget, made on first use. Null for a null widget.
ControlRef GetControlFromWidget(QWidget* widget);
QWidget* GetControlWidget(ControlRef control);

// Runs `action` once, after the control has been drawn for the first time
// (for a scrolling view: its contents), so that work the first sight of a
// window does not need waits until the user sees it. Never runs when the
// control goes before it is drawn.
void CallAfterFirstDraw(ControlRef control, std::function<void()> action);

OSStatus GetControlByID(WindowRef window, const ControlID* id, ControlRef* outControl);
OSStatus SetControlID(ControlRef control, const ControlID* id);
EventTargetRef GetControlEventTarget(ControlRef control);

inline OSStatus InstallControlEventHandler(ControlRef control, EventHandlerUPP handler,
                                           ItemCount numTypes, const EventTypeSpec* typeList,
                                           void* userData, EventHandlerRef* outRef)
{
    return InstallEventHandler(GetControlEventTarget(control), handler, numTypes, typeList,
                               userData, outRef);
}

// Visibility. A control counts as visible when it would show with its window.
void ShowControl(ControlRef control);
void HideControl(ControlRef control);
OSStatus HIViewSetVisible(HIViewRef view, Boolean visible);

// Gives the control the keyboard focus in its window (at once when the
// window is active, else when it next is); the part is ignored.
// kControlFocusNoPart takes the focus away from the window's controls.
using ControlFocusPart = ControlPartCode;
constexpr ControlFocusPart kControlFocusNoPart = 0;
constexpr ControlFocusPart kControlFocusNextPart = -1;
OSStatus SetKeyboardFocus(WindowRef window, ControlRef control, ControlFocusPart part);

Boolean IsControlEnabled(ControlRef control);
// Active: its window is the active window.
Boolean IsControlActive(ControlRef control);

// Values. Setting clamps to the control's range.
void SetControl32BitValue(ControlRef control, SInt32 value);
SInt32 GetControl32BitMaximum(ControlRef control);
void SetControl32BitMaximum(ControlRef control, SInt32 maximum);

// Sends kEventControlHiliteChanged (previous and current part) when it changes.
void HiliteControl(ControlRef control, ControlPartCode part);

// Control data. For the 'cfst' tags the data is a QString (size
// sizeof(QString)); for 'font' a ControlFontStyleRec. A tag that neither the
// control's handlers nor an adapter knows is errDataNotSupported; a size that
// does not fit the tag is errDataSizeMismatch.
OSStatus SetControlData(ControlRef control, ControlPartCode part, ResType tag, Size size,
                        const void* data);
OSStatus GetControlData(ControlRef control, ControlPartCode part, ResType tag, Size bufferSize,
                        void* buffer, Size* outActualSize);

OSStatus SetControlFontStyle(ControlRef control, const ControlFontStyleRec* style);

// Drawing: Draw1Control repaints at once (progress shows while the loop is
// blocked); HIViewSetNeedsDisplay asks for a repaint later.
void Draw1Control(ControlRef control);
OSStatus HIViewSetNeedsDisplay(HIViewRef view, Boolean needsDisplay);

// Geometry: frame in the parent's coordinates, bounds in the view's own. A
// control placed directly in a window takes window coordinates from the top
// of the content, below an attached menu bar.
OSStatus HIViewSetFrame(HIViewRef view, const HIRect* frame);
OSStatus HIViewGetBounds(HIViewRef view, HIRect* outBounds);
// Puts a control into another (or into a window's top-level widget).
OSStatus HIViewAddSubview(HIViewRef parent, HIViewRef child);

// The control object. Other modules of the layer use it; system code uses the
// functions above.
class PlatformControl : public QObject {
    Q_OBJECT
public:
    ~PlatformControl() override;
    QWidget* widget() const;
    EventTargetRef target() const { return m_target.get(); }

    // Kept for widgets that have no value of their own.
    SInt32 value = 0;
    SInt32 minimum = 0;
    SInt32 maximum = 0;
    ControlPartCode hilite = 0;
    ControlFontStyleRec fontStyle{};

private:
    explicit PlatformControl(QWidget* widget);
    friend ControlRef GetControlFromWidget(QWidget*);

    QPointer<QWidget> m_widget;
    std::shared_ptr<EventTarget> m_target;
};
