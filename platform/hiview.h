#pragma once
// Custom views: classes of views registered by identifier, objects of those
// classes, and the widget that carries them.
//
// A class is registered once with HIObjectRegisterSubclass: its handler and
// the object events it answers ('hiob' construct, initialise, destruct, print
// debug information), and the construct data that the handler receives with
// the construct event. HIObjectCreate makes a PlatformViewWidget with its
// control, installs the class handler at the bottom of the control's handler
// stack and sends it the construct event, with the new object in
// kEventParamHIObjectInstance (typeHIObjectRef). The handler replaces that
// parameter by its instance (typeVoidPtr), which from then on is the user
// data of every later call of the class handler. Then the initialisation
// event goes to the control; below every handler the base view answers it
// (after asking the control's handlers for their features with
// kEventControlInitialize), so a class handler that calls
// CallNextEventHandler first initialises the base, then itself. A failed
// construct or initialisation deletes the widget again and returns the
// status. Deleting the widget sends the destruct event.
//
// The widget turns Qt's events into 'cntl' events on its control (direct
// object: the control):
//   paint                   kEventControlDraw: kEventParamRgnHandle (the
//                           QRegion to paint), kEventParamCGContextRef (the
//                           QPainter, typeCGContextRef)
//   move, resize            kEventControlBoundsChanged: kEventParamAttributes
//                           (1 << 2 size, 1 << 3 position changed),
//                           kEventParamOriginalBounds and
//                           kEventParamCurrentBounds (frames, HIRect)
//   left button press       kEventControlHitTest (kEventParamMouseLocation, in
//                           the view's coordinates); on a part:
//                           kEventControlTrack (location, part). Without a
//                           track handler the widget tracks itself: the part
//                           stays hilited while the pointer is over it.
//   enabled change          kEventControlEnabledStateChanged
//   window (de)activation   kEventControlActivate / kEventControlDeactivate

#include "platform/controls.h"

#include <QPointF>
#include <QString>
#include <QWidget>

#include <deque>

using HIObjectRef = ControlRef; // every object of a registered class is a view
// The kind of a view: its signature and kind codes (control data 'kind').
struct ControlKind {
    OSType signature;
    OSType kind;
};

// The base class of custom views.
inline const QString kHIViewClassID = QStringLiteral("tavi.platform.view");

constexpr OSStatus hiObjectClassExistsErr = -22080;

struct HIObjectClass;
using HIObjectClassRef = HIObjectClass*;

// Registers a class of views. The base class must be kHIViewClassID.
// Registering an identifier twice is hiObjectClassExistsErr.
OSStatus HIObjectRegisterSubclass(const QString& classID, const QString& baseClassID,
                                  OptionBits options, EventHandlerUPP constructProc,
                                  ItemCount numEvents, const EventTypeSpec* eventList,
                                  void* constructData, HIObjectClassRef* outClassRef);
// Makes an object of a registered class: construct, then initialise with the
// given event (class 'hiob', kind kEventHIObjectInitialize; null: a fresh
// one). The new view has no parent and is hidden.
OSStatus HIObjectCreate(const QString& classID, EventRef initEvent, HIObjectRef* outObject);
// The instance that the class handler of an object of that class (or of a
// class derived from it) gave at construction; null otherwise.
void* HIObjectDynamicCast(HIObjectRef object, const QString& classID);

// Destroys a control and its widget (with every view embedded in it). Not
// from inside one of the control's own handlers.
void DisposeControl(ControlRef control);

// The top-level widget of the window as a view.
OSStatus GetRootControl(WindowRef window, ControlRef* outControl);

// Parts of GetControlRegion.
constexpr ControlPartCode kControlStructureMetaPart = -1;
constexpr ControlPartCode kControlContentMetaPart = -2;

// Mouse tracking. TrackMouseLocation waits for the next mouse event of the
// drag that started with a button press in the view and yields its position
// in the view's coordinates. It runs a nested event loop while it waits, so
// the window goes on drawing. Each move of the pointer is a result of its
// own; the drag ends with kMouseTrackingMouseUp (the position of the
// release); when the view is hidden, deleted, its window deactivated or the
// application quits during the wait, the answer is
// kMouseTrackingUserCancelled at the last position. paramErr for a view that
// is not a custom view.
using MouseTrackingResult = UInt16;
constexpr MouseTrackingResult kMouseTrackingMouseDown = 1;
constexpr MouseTrackingResult kMouseTrackingMouseUp = 2;
constexpr MouseTrackingResult kMouseTrackingUserCancelled = 7;

OSStatus TrackMouseLocation(HIViewRef view, HIPoint* outWhere, MouseTrackingResult* outResult);

// The widget of a custom view. System code works with its ControlRef.
class PlatformViewWidget : public QWidget {
    Q_OBJECT
public:
    explicit PlatformViewWidget(const HIObjectClass* objectClass, QWidget* parent = nullptr);
    ~PlatformViewWidget() override;

    const HIObjectClass* objectClass() const { return m_class; }
    void* instance() const { return m_instance; }
    void setInstance(void* instance) { m_instance = instance; }
    UInt32 features() const { return m_features; }
    void setFeatures(UInt32 features) { m_features = features; }
    ControlRef control() const { return m_control; }

    OSStatus trackMouseLocation(HIPoint* outWhere, MouseTrackingResult* outResult);
    // Construction succeeded: deleting the widget sends the destruct event.
    void setConstructed(bool constructed) { m_constructed = constructed; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct TrackedMouse {
        HIPoint where;
        MouseTrackingResult result;
    };

    void sendBoundsChanged();
    ControlPartCode hitTest(const HIPoint& where);
    ControlPartCode defaultTrack(ControlPartCode part);
    void pushTracked(const QPointF& where, MouseTrackingResult result);

    const HIObjectClass* m_class;
    ControlRef m_control;
    void* m_instance = nullptr;
    UInt32 m_features = 0;
    bool m_constructed = false;
    bool m_destroying = false;
    HIRect m_lastFrame{};

    // Mouse tracking: the events of the drag, oldest first, and the loop
    // that waits for the next one.
    bool m_tracking = false;
    std::deque<TrackedMouse> m_tracked;
    HIPoint m_lastTracked{};
    class QEventLoop* m_trackLoop = nullptr;
};
