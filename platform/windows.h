#pragma once
// Windows: a WindowRef stands for one top-level QWidget. The layer keeps its
// own front-to-back list of windows (FrontWindow, GetNextWindow): a window
// comes to the front when it is shown, selected or activated by the user, and
// goes behind every visible window when it is hidden. Each window has an event
// target; Qt's close, move, resize and activation of the widget become window
// events on it (kEventWindowClose, kEventWindowBoundsChanged,
// kEventWindowActivated). The standard handler disposes of the window on
// kEventWindowClose, so a close handler that answers eventNotHandledErr lets
// the window close.

#include "platform/events.h"

#include <QObject>
#include <QPointer>
#include <QSize>

#include <vector>

class QWidget;
class WindowGroup;

// Regions of GetWindowBounds and SetWindowBounds.
constexpr WindowRegionCode kWindowStructureRgn = 32;  // with the frame
constexpr WindowRegionCode kWindowContentRgn = 33;    // the client area
constexpr WindowRegionCode kWindowGlobalPortRgn = 40; // the same as content here

// Takes a top-level widget (made elsewhere: from a .ui file or in code) into
// the layer's care. The window is not shown. The widget is deleted when the
// window is disposed of.
OSStatus CreateWindowFromWidget(QWidget* widget, WindowRef* outWindow);
QWidget* GetWindowWidget(WindowRef window);

void SetWRefCon(WindowRef window, SRefCon data);
SRefCon GetWRefCon(WindowRef window);

// Bounds in global coordinates, 16-bit (values beyond are clamped). The
// content region leaves out an attached menu bar; so does SizeWindow.
OSStatus GetWindowBounds(WindowRef window, WindowRegionCode region, Rect* outBounds);
OSStatus SetWindowBounds(WindowRef window, WindowRegionCode region, const Rect* bounds);
// The widths of the frame the window system draws round the content, at each
// side (left, top, right, bottom). A window not shown yet has no frame; it
// is given the widest frame of the program's shown windows, or a usual one.
OSStatus GetWindowStructureWidths(WindowRef window, Rect* outWidths);
// The largest size the window's widget, menu bar included, can have on its
// screen inside its frame: what a window is fitted to when it is shown.
QSize GetWindowAvailableSize(WindowRef window);
// The area that windows may take (without panels) of the screen holding the
// larger part of `area`, in global coordinates; with no area, or an area on
// no screen, that of the primary screen. Answers whether a screen holds any
// of the area.
Boolean GetAvailableWindowPositioningBounds(const Rect* area, Rect* outBounds);

using WindowConstrainOptions = UInt32;
constexpr WindowConstrainOptions kWindowConstrainMayResize = 1u << 0;
constexpr WindowConstrainOptions kWindowConstrainMoveRegardlessOfFit = 1u << 1;
// Moves the window so that its structure (regionCode kWindowStructureRgn)
// lies in the available area of the screen that holds the larger part of it
// (the primary screen's when none does), or in screenRect when given. With
// kWindowConstrainMayResize it is first made no larger than that area, and
// no smaller than its minimum size; a window that still does not fit moves
// only with kWindowConstrainMoveRegardlessOfFit, and then keeps its top-left
// corner, and so its title bar, on the screen. outStructure, when given, gets
// the new structure bounds.
OSStatus ConstrainWindowToScreen(WindowRef window, WindowRegionCode regionCode,
                                 WindowConstrainOptions options, const Rect* screenRect,
                                 Rect* outStructure);
void SizeWindow(WindowRef window, short width, short height, Boolean update);

// True where the window system neither tells a program where its windows
// are nor lets it place them (Wayland): window corners mean nothing there,
// only sizes do.
bool WindowPositionsAreHidden();
// Makes `window`, not shown yet, belong to `parent`. Under Wayland this is
// the only mark of a utility window: a tiling compositor then floats it
// above its parent instead of tiling it. Elsewhere nothing changes, and
// window managers go by the window's class.
OSStatus SetWindowParentWindow(WindowRef window, WindowRef parent);

void ShowWindow(WindowRef window);
// Brings the window to the front of the list and raises it; activates it
// only while the program is the active one, so that another program keeps
// the focus (SetFrontProcess brings the program itself forward).
void SelectWindow(WindowRef window);
// Collapsed is minimised by the window manager (iconified); expanding
// restores the window to the size and state it had before.
OSStatus CollapseWindow(WindowRef window, Boolean collapse);
Boolean IsWindowCollapsed(WindowRef window);
// Closes the window for good: it leaves the list at once, its handlers get
// kEventWindowClosed and are removed, and the widget is deleted once control
// returns to the event loop (a handler may dispose of its own window).
void DisposeWindow(WindowRef window);

OSStatus InstallWindowEventHandler(WindowRef window, EventHandlerUPP handler, ItemCount numTypes,
                                   const EventTypeSpec* typeList, void* userData,
                                   EventHandlerRef* outRef);

// The frontmost visible window, or null.
WindowRef FrontWindow();
// The window after this one in the list (visible or not), or null after the last.
WindowRef GetNextWindow(WindowRef window);
// Every window of the layer, front to back, hidden ones last.
std::vector<WindowRef> GetWindowList();

// Drawing: a window's port is the window. QDFlushPortBuffer repaints the
// window now and lets the window system show it, also before the event loop
// runs (input and signal notifications wait for the loop).
inline CGrafPtr GetWindowPort(WindowRef window)
{
    return window;
}
inline void SetPortWindowPort(WindowRef) {}
void QDFlushPortBuffer(CGrafPtr port, RgnHandle region);

// The window object. Other modules of the layer use it; system code uses the
// functions above.
class PlatformWindow : public QObject {
    Q_OBJECT
public:
    ~PlatformWindow() override;
    QWidget* widget() const;
    EventTargetRef target() const { return m_target.get(); }
    bool isDisposed() const { return m_disposed; }
    SRefCon refCon = 0;
    // Class, attributes and group (windowgroups.h).
    UInt32 windowClass = 0;
    UInt32 attributes = 0;
    WindowGroup* group = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit PlatformWindow(QWidget* widget);
    friend OSStatus CreateWindowFromWidget(QWidget*, WindowRef*);
    friend void DisposeWindow(WindowRef);

    OSStatus sendSimpleEvent(EventKind kind);
    void sendBoundsChanged(bool byUser);

    QPointer<QWidget> m_widget;
    std::shared_ptr<EventTarget> m_target;
    Rect m_lastBounds{};
    bool m_disposed = false;
};
