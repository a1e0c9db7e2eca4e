#include "platform/hiview.h"

#include "platform/internal.h"

#include "platform/windows.h"

#include <QEventLoop>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

struct HIObjectClass {
    QString id;
    EventHandlerUPP handler = nullptr;
    std::vector<EventTypeSpec> events;
    void* constructData = nullptr;
};

namespace {

constexpr OSStatus hiObjectClassNotFoundErr = -22085; // no class of that identifier
constexpr UInt32 kControlBoundsChangeSizeChanged = 1u << 2;
constexpr UInt32 kControlBoundsChangePositionChanged = 1u << 3;
constexpr MouseTrackingResult kMouseTrackingMouseDragged = 5;

// Classes live as long as the process; views keep pointers to theirs.
std::map<QString, std::unique_ptr<HIObjectClass>>& classes()
{
    static auto* registry = new std::map<QString, std::unique_ptr<HIObjectClass>>;
    return *registry;
}

// The frame as the layer reports it (below a window's menu bar).
HIRect frameOf(ControlRef control)
{
    HIRect frame{};
    HIViewGetFrame(control, &frame);
    return frame;
}

bool sameRect(const HIRect& a, const HIRect& b)
{
    return a.origin.x == b.origin.x && a.origin.y == b.origin.y && a.size.width == b.size.width &&
           a.size.height == b.size.height;
}

PlatformViewWidget* viewWidgetOf(ControlRef control)
{
    return qobject_cast<PlatformViewWidget*>(GetControlWidget(control));
}

// A 'cntl' event for the control, with the control as direct object.
struct ControlEvent : ScopedEvent {
    ControlEvent(ControlRef control, EventKind kind)
        : ScopedEvent(kEventClassControl, kind, typeControlRef, control), control(control)
    {
    }
    OSStatus send() const
    {
        return ScopedEvent::send(GetControlEventTarget(control), kEventTargetDontPropagate);
    }
    ControlRef control;
};

OSStatus sendToControl(ControlRef control, EventRef event)
{
    return SendEventToEventTargetWithOptions(event, GetControlEventTarget(control),
                                             kEventTargetDontPropagate);
}

} // namespace

// ---------------------------------------------------------------------------
// Classes and objects.

OSStatus HIObjectRegisterSubclass(const QString& classID, const QString& baseClassID, OptionBits,
                                  EventHandlerUPP constructProc, ItemCount numEvents,
                                  const EventTypeSpec* eventList, void* constructData,
                                  HIObjectClassRef* outClassRef)
{
    if (classID.isEmpty() || baseClassID != kHIViewClassID || !constructProc ||
        (numEvents > 0 && !eventList))
        return paramErr;
    auto& registry = classes();
    if (registry.count(classID) != 0)
        return hiObjectClassExistsErr;
    auto objectClass = std::make_unique<HIObjectClass>();
    objectClass->id = classID;
    objectClass->handler = constructProc;
    objectClass->events.assign(eventList, eventList + numEvents);
    objectClass->constructData = constructData;
    HIObjectClass* added = objectClass.get();
    registry.emplace(classID, std::move(objectClass));
    if (outClassRef)
        *outClassRef = added;
    return noErr;
}

OSStatus HIObjectCreate(const QString& classID, EventRef initEvent, HIObjectRef* outObject)
{
    if (!outObject)
        return paramErr;
    *outObject = nullptr;
    const auto found = classes().find(classID);
    if (found == classes().end())
        return hiObjectClassNotFoundErr;
    if (initEvent && (GetEventClass(initEvent) != kEventClassHIObject ||
                      GetEventKind(initEvent) != kEventHIObjectInitialize))
        return paramErr;
    const HIObjectClass* objectClass = found->second.get();

    auto* widget = new PlatformViewWidget(objectClass);
    ControlRef control = widget->control();
    // The class handler sits below every handler the instance installs. It
    // gets the construct data with the construct event and the instance with
    // every later one.
    OSStatus status = InstallEventHandlerFunction(
        GetControlEventTarget(control),
        [objectClass, widget](EventHandlerCallRef call, EventRef event) {
            void* data = GetEventKind(event) == kEventHIObjectConstruct &&
                                 GetEventClass(event) == kEventClassHIObject
                             ? objectClass->constructData
                             : widget->instance();
            return objectClass->handler(call, event, data);
        },
        objectClass->events.size(), objectClass->events.data(), nullptr);
    if (status != noErr) {
        delete widget;
        return status;
    }

    void* instance = nullptr;
    {
        ScopedEvent construct(kEventClassHIObject, kEventHIObjectConstruct);
        construct.set(kEventParamHIObjectInstance, typeHIObjectRef, control);
        status = sendToControl(control, construct);
        if (status == eventNotHandledErr)
            status = noErr; // a class without instances of its own
        if (status == noErr)
            construct.get(kEventParamHIObjectInstance, typeVoidPtr, &instance);
    }
    if (status != noErr) {
        delete widget;
        return status;
    }
    widget->setInstance(instance);
    widget->setConstructed(true);

    if (initEvent) {
        status = sendToControl(control, initEvent);
    } else {
        status = sendToControl(control, ScopedEvent(kEventClassHIObject, kEventHIObjectInitialize));
    }
    if (status != noErr) {
        delete widget; // sends the destruct event
        return status;
    }
    *outObject = control;
    return noErr;
}

void* HIObjectDynamicCast(HIObjectRef object, const QString& classID)
{
    PlatformViewWidget* widget = viewWidgetOf(object);
    if (!widget || !widget->objectClass() || widget->objectClass()->id != classID)
        return nullptr;
    return widget->instance();
}

void DisposeControl(ControlRef control)
{
    delete GetControlWidget(control);
}

OSStatus GetRootControl(WindowRef window, ControlRef* outControl)
{
    if (!outControl)
        return paramErr;
    QWidget* top = GetWindowWidget(window);
    if (!top)
        return errInvalidWindowRef;
    *outControl = GetControlFromWidget(top);
    return noErr;
}

OSStatus TrackMouseLocation(HIViewRef view, HIPoint* outWhere, MouseTrackingResult* outResult)
{
    PlatformViewWidget* widget = viewWidgetOf(view);
    if (!widget)
        return paramErr;
    return widget->trackMouseLocation(outWhere, outResult);
}

// ---------------------------------------------------------------------------
// The widget.

PlatformViewWidget::PlatformViewWidget(const HIObjectClass* objectClass, QWidget* parent)
    : QWidget(parent), m_class(objectClass)
{
    setObjectName(objectClass ? objectClass->id : QString());
    m_control = GetControlFromWidget(this);
    m_lastFrame = frameOf(m_control);
    // The base view: answers the initialisation after asking the view's
    // handlers for their features.
    GetControlEventTarget(m_control)->setStandardHandler([this](EventRef event) -> OSStatus {
        if (GetEventClass(event) != kEventClassHIObject ||
            GetEventKind(event) != kEventHIObjectInitialize)
            return eventNotHandledErr;
        ControlEvent initialize(m_control, kEventControlInitialize);
        UInt32 features = 0;
        if (initialize.send() == noErr)
            initialize.get(kEventParamControlFeatures, typeUInt32, &features);
        m_features = features;
        return noErr;
    });
}

PlatformViewWidget::~PlatformViewWidget()
{
    m_destroying = true;
    if (m_trackLoop)
        m_trackLoop->exit();
    EventTargetRef target = GetControlEventTarget(m_control);
    if (m_constructed)
        ScopedEvent(kEventClassHIObject, kEventHIObjectDestruct)
            .send(target, kEventTargetDontPropagate);
    m_instance = nullptr;
    // Nothing reaches the view's handlers once it is being taken apart.
    target->invalidate();
}

bool PlatformViewWidget::event(QEvent* event)
{
    if (!m_destroying) {
        switch (event->type()) {
        case QEvent::Hide:
            if (m_tracking)
                pushTracked(QPointF(m_lastTracked.x, m_lastTracked.y), kMouseTrackingUserCancelled);
            break;
        default:
            break;
        }
    }
    return QWidget::event(event);
}

void PlatformViewWidget::paintEvent(QPaintEvent* paint)
{
    QPainter painter(this);
    QRegion region = paint->region();
    ControlEvent event(m_control, kEventControlDraw);
    event.set(kEventParamRgnHandle, typeQDRgnHandle, RgnHandle(&region))
        .set(kEventParamCGContextRef, typeCGContextRef, CGContextRef(&painter));
    event.send();
}

void PlatformViewWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    sendBoundsChanged();
}

void PlatformViewWidget::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    sendBoundsChanged();
}

void PlatformViewWidget::sendBoundsChanged()
{
    const HIRect previous = m_lastFrame;
    const HIRect current = frameOf(m_control);
    if (m_destroying || sameRect(previous, current))
        return;
    m_lastFrame = current;
    UInt32 attributes = 0;
    if (previous.size.width != current.size.width || previous.size.height != current.size.height)
        attributes |= kControlBoundsChangeSizeChanged;
    if (previous.origin.x != current.origin.x || previous.origin.y != current.origin.y)
        attributes |= kControlBoundsChangePositionChanged;
    ControlEvent event(m_control, kEventControlBoundsChanged);
    event.set(kEventParamAttributes, typeUInt32, attributes)
        .set(kEventParamOriginalBounds, typeHIRect, previous)
        .set(kEventParamCurrentBounds, typeHIRect, current);
    event.send();
}

void PlatformViewWidget::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (m_destroying)
        return;
    if (event->type() == QEvent::EnabledChange) {
        ControlEvent(m_control, kEventControlEnabledStateChanged).send();
    } else if (event->type() == QEvent::ActivationChange) {
        const bool active = isActiveWindow();
        if (!active && m_tracking)
            pushTracked(QPointF(m_lastTracked.x, m_lastTracked.y), kMouseTrackingUserCancelled);
        ControlEvent(m_control, active ? kEventControlActivate : kEventControlDeactivate).send();
    }
}

// ---------------------------------------------------------------------------
// Mouse.

ControlPartCode PlatformViewWidget::hitTest(const HIPoint& where)
{
    ControlEvent event(m_control, kEventControlHitTest);
    event.set(kEventParamMouseLocation, typeHIPoint, where);
    ControlPartCode part = kControlNoPart;
    if (event.send() == noErr)
        event.get(kEventParamControlPart, typeControlPartCode, &part);
    return part;
}

void PlatformViewWidget::mousePressEvent(QMouseEvent* press)
{
    if (press->button() != Qt::LeftButton || m_tracking) {
        press->ignore();
        return;
    }
    const HIPoint where{float(press->position().x()), float(press->position().y())};
    ControlPartCode part = hitTest(where);
    if (part == kControlNoPart) {
        press->ignore();
        return;
    }
    press->accept();
    m_tracking = true;
    m_tracked.clear();
    m_lastTracked = where;

    QPointer<PlatformViewWidget> alive(this);
    {
        ControlEvent track(m_control, kEventControlTrack);
        track.set(kEventParamMouseLocation, typeHIPoint, where)
            .set(kEventParamControlPart, typeControlPartCode, part);
        if (track.send() == eventNotHandledErr && alive)
            defaultTrack(part);
    }
    if (!alive)
        return;
    m_tracking = false;
    m_tracked.clear();
}

// Without a track handler: the part stays hilited while the pointer is over
// it, and counts when the button is released there.
ControlPartCode PlatformViewWidget::defaultTrack(ControlPartCode part)
{
    QPointer<PlatformViewWidget> alive(this);
    HiliteControl(m_control, part);
    HIPoint where{};
    MouseTrackingResult result = kMouseTrackingMouseDown;
    ControlPartCode current = part;
    while (alive && trackMouseLocation(&where, &result) == noErr) {
        if (result == kMouseTrackingUserCancelled) {
            current = kControlNoPart;
            break;
        }
        current = hitTest(where) == part ? part : kControlNoPart;
        if (result == kMouseTrackingMouseUp)
            break;
        HiliteControl(m_control, current);
    }
    if (alive)
        HiliteControl(m_control, kControlNoPart);
    return current;
}

void PlatformViewWidget::pushTracked(const QPointF& where, MouseTrackingResult result)
{
    m_lastTracked = HIPoint{float(where.x()), float(where.y())};
    m_tracked.push_back(TrackedMouse{m_lastTracked, result});
    if (m_trackLoop)
        m_trackLoop->exit();
}

void PlatformViewWidget::mouseMoveEvent(QMouseEvent* move)
{
    if (!m_tracking) {
        QWidget::mouseMoveEvent(move);
        return;
    }
    move->accept();
    pushTracked(move->position(), kMouseTrackingMouseDragged);
}

void PlatformViewWidget::mouseReleaseEvent(QMouseEvent* release)
{
    if (!m_tracking || release->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(release);
        return;
    }
    release->accept();
    pushTracked(release->position(), kMouseTrackingMouseUp);
}

OSStatus PlatformViewWidget::trackMouseLocation(HIPoint* outWhere, MouseTrackingResult* outResult)
{
    // Also usable from a track handler that was not started by a press here.
    m_tracking = true;
    if (m_tracked.empty() && !m_destroying) {
        QPointer<PlatformViewWidget> alive(this);
        QEventLoop loop;
        m_trackLoop = &loop;
        loop.exec();
        if (!alive) {
            // Deleted while waiting: the drag is over.
            if (outResult)
                *outResult = kMouseTrackingUserCancelled;
            return noErr;
        }
        m_trackLoop = nullptr;
    }
    TrackedMouse next{m_lastTracked, kMouseTrackingUserCancelled}; // the loop was ended
    if (!m_tracked.empty()) {
        next = m_tracked.front();
        m_tracked.pop_front();
    }
    if (next.result == kMouseTrackingMouseUp || next.result == kMouseTrackingUserCancelled) {
        m_tracking = false;
        m_tracked.clear();
    }
    if (outWhere)
        *outWhere = next.where;
    if (outResult)
        *outResult = next.result;
    return noErr;
}
