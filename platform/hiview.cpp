#include "platform/hiview.h"

#include "platform/windows.h"

#include <QDropEvent>
#include <QEventLoop>
#include <QFocusEvent>
#include <QKeyEvent>
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

// Classes live as long as the process; views keep pointers to theirs.
std::map<QString, std::unique_ptr<HIObjectClass>>& classes()
{
    static auto* registry = new std::map<QString, std::unique_ptr<HIObjectClass>>;
    return *registry;
}

// Modifier bits of kEventParamKeyModifiers.
constexpr UInt32 kCmdKey = 1u << 8;
constexpr UInt32 kShiftKey = 1u << 9;
constexpr UInt32 kOptionKey = 1u << 11;
constexpr UInt32 kControlKey = 1u << 12;

UInt32 modifiersOf(Qt::KeyboardModifiers modifiers)
{
    UInt32 bits = 0;
    if (modifiers & Qt::ControlModifier)
        bits |= kCmdKey;
    if (modifiers & Qt::ShiftModifier)
        bits |= kShiftKey;
    if (modifiers & Qt::AltModifier)
        bits |= kOptionKey;
    if (modifiers & Qt::MetaModifier)
        bits |= kControlKey;
    return bits;
}

HIRect frameOf(const QWidget* widget)
{
    const QRect g = widget->geometry();
    return HIRect{{float(g.x()), float(g.y())}, {float(g.width()), float(g.height())}};
}

bool sameRect(const HIRect& a, const HIRect& b)
{
    return a.origin.x == b.origin.x && a.origin.y == b.origin.y &&
           a.size.width == b.size.width && a.size.height == b.size.height;
}

PlatformViewWidget* viewWidgetOf(ControlRef control)
{
    return qobject_cast<PlatformViewWidget*>(GetControlWidget(control));
}

// A 'cntl' event for the control, with the control as direct object.
EventRef makeControlEvent(ControlRef control, EventKind kind)
{
    EventRef event = nullptr;
    if (CreateEvent(nullptr, kEventClassControl, kind, 0, kEventAttributeNone, &event) != noErr)
        return nullptr;
    SetEventParameter(event, kEventParamDirectObject, typeControlRef, sizeof control, &control);
    return event;
}

OSStatus sendToControl(ControlRef control, EventRef event)
{
    return SendEventToEventTargetWithOptions(event, GetControlEventTarget(control),
                                             kEventTargetDontPropagate);
}

OSStatus sendSimpleControlEvent(ControlRef control, EventKind kind)
{
    EventRef event = makeControlEvent(control, kind);
    if (!event)
        return memFullErr;
    const OSStatus status = sendToControl(control, event);
    ReleaseEvent(event);
    return status;
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

    EventRef construct = nullptr;
    status = CreateEvent(nullptr, kEventClassHIObject, kEventHIObjectConstruct, 0,
                         kEventAttributeNone, &construct);
    if (status != noErr) {
        delete widget;
        return status;
    }
    SetEventParameter(construct, kEventParamHIObjectInstance, typeHIObjectRef, sizeof control,
                      &control);
    status = sendToControl(control, construct);
    if (status == eventNotHandledErr)
        status = noErr;  // a class without instances of its own
    void* instance = nullptr;
    if (status == noErr)
        GetEventParameter(construct, kEventParamHIObjectInstance, typeVoidPtr, nullptr,
                          sizeof instance, nullptr, &instance);
    ReleaseEvent(construct);
    if (status != noErr) {
        delete widget;
        return status;
    }
    widget->setInstance(instance);
    widget->setConstructed(true);

    EventRef init = initEvent ? RetainEvent(initEvent) : nullptr;
    if (!init && (status = CreateEvent(nullptr, kEventClassHIObject, kEventHIObjectInitialize, 0,
                                       kEventAttributeNone, &init)) != noErr) {
        delete widget;
        return status;
    }
    status = sendToControl(control, init);
    ReleaseEvent(init);
    if (status != noErr) {
        delete widget;  // sends the destruct event
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

Boolean HIObjectIsOfClass(HIObjectRef object, const QString& classID)
{
    PlatformViewWidget* widget = viewWidgetOf(object);
    if (!widget)
        return false;
    return classID == kHIViewClassID ||
           (widget->objectClass() && widget->objectClass()->id == classID);
}

void HIObjectPrintDebugInfo(HIObjectRef object)
{
    if (!viewWidgetOf(object))
        return;
    EventRef event = nullptr;
    if (CreateEvent(nullptr, kEventClassHIObject, kEventHIObjectPrintDebugInfo, 0,
                    kEventAttributeNone, &event) != noErr)
        return;
    sendToControl(object, event);
    ReleaseEvent(event);
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

OSStatus HIViewRemoveFromSuperview(HIViewRef view)
{
    QWidget* widget = GetControlWidget(view);
    if (!widget)
        return paramErr;
    if (!widget->parentWidget())
        return noErr;
    widget->setParent(nullptr);  // a widget without parent is a hidden window
    return noErr;
}

OSStatus GetBestControlRect(ControlRef control, Rect* outRect, SInt16* outBaseLineOffset)
{
    QWidget* widget = GetControlWidget(control);
    if (!widget || !outRect)
        return paramErr;
    const QRect frame = widget->geometry();
    SInt16 baseline = 0;
    QSize size = widget->sizeHint();
    if (viewWidgetOf(control)) {
        EventRef event = makeControlEvent(control, kEventControlGetOptimalBounds);
        if (!event)
            return memFullErr;
        const OSStatus status = sendToControl(control, event);
        Rect best{};
        if (status == noErr &&
            GetEventParameter(event, kEventParamControlOptimalBounds, typeQDRectangle, nullptr,
                              sizeof best, nullptr, &best) == noErr) {
            size = QSize(best.right - best.left, best.bottom - best.top);
            GetEventParameter(event, kEventParamControlOptimalBaselineOffset, typeShortInteger,
                              nullptr, sizeof baseline, nullptr, &baseline);
        }
        ReleaseEvent(event);
        if (status != noErr && status != eventNotHandledErr)
            return status;
    }
    if (!size.isValid())
        size = frame.size();
    SetRect(outRect, short(frame.left()), short(frame.top()), short(frame.left() + size.width()),
            short(frame.top() + size.height()));
    if (outBaseLineOffset)
        *outBaseLineOffset = baseline;
    return noErr;
}

OSStatus SetControlDragTrackingEnabled(ControlRef control, Boolean tracks)
{
    QWidget* widget = GetControlWidget(control);
    if (!widget)
        return paramErr;
    widget->setAcceptDrops(tracks);
    return noErr;
}

OSStatus SetControlAcceptsKeyboardFocus(ControlRef control, Boolean accepts)
{
    QWidget* widget = GetControlWidget(control);
    if (!widget)
        return paramErr;
    widget->setFocusPolicy(accepts ? Qt::StrongFocus : Qt::NoFocus);
    return noErr;
}

UInt32 GetControlFeatures(ControlRef control)
{
    PlatformViewWidget* widget = viewWidgetOf(control);
    return widget ? widget->features() : 0;
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
    // The layer's visibility and enable calls leave the notification to us.
    setProperty("taviReportsStateChanges", true);
    setObjectName(objectClass ? objectClass->id : QString());
    m_control = GetControlFromWidget(this);
    m_lastFrame = frameOf(this);
    m_lastOwner = GetWindowFromWidget(this);
    m_lastHidden = isHidden();
    // The base view: answers the initialisation after asking the view's
    // handlers for their features.
    GetControlEventTarget(m_control)->setStandardHandler([this](EventRef event) -> OSStatus {
        if (GetEventClass(event) != kEventClassHIObject ||
            GetEventKind(event) != kEventHIObjectInitialize)
            return eventNotHandledErr;
        EventRef initialize = makeControlEvent(m_control, kEventControlInitialize);
        if (!initialize)
            return memFullErr;
        UInt32 features = 0;
        if (sendToControl(m_control, initialize) == noErr)
            GetEventParameter(initialize, kEventParamControlFeatures, typeUInt32, nullptr,
                              sizeof features, nullptr, &features);
        ReleaseEvent(initialize);
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
    if (m_constructed) {
        EventRef event = nullptr;
        if (CreateEvent(nullptr, kEventClassHIObject, kEventHIObjectDestruct, 0,
                        kEventAttributeNone, &event) == noErr) {
            SendEventToEventTargetWithOptions(event, target, kEventTargetDontPropagate);
            ReleaseEvent(event);
        }
    }
    m_instance = nullptr;
    // Nothing reaches the view's handlers once it is being taken apart.
    target->invalidate();
}

bool PlatformViewWidget::event(QEvent* event)
{
    if (!m_destroying) {
        switch (event->type()) {
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
            // Qt also sends these when hiding what is hidden already.
            if (isHidden() != m_lastHidden) {
                m_lastHidden = isHidden();
                sendSimpleControlEvent(m_control, kEventControlVisibilityChanged);
            }
            break;
        case QEvent::ParentChange:
            sendOwnerChanged();
            break;
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
    EventRef event = makeControlEvent(m_control, kEventControlDraw);
    if (!event)
        return;
    RgnHandle regionHandle = &region;
    CGContextRef context = &painter;
    SetEventParameter(event, kEventParamRgnHandle, typeQDRgnHandle, sizeof regionHandle,
                      &regionHandle);
    SetEventParameter(event, kEventParamCGContextRef, typeCGContextRef, sizeof context, &context);
    sendToControl(m_control, event);
    ReleaseEvent(event);
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
    const HIRect current = frameOf(this);
    if (m_destroying || sameRect(previous, current))
        return;
    m_lastFrame = current;
    UInt32 attributes = 0;
    if (previous.size.width != current.size.width || previous.size.height != current.size.height)
        attributes |= kControlBoundsChangeSizeChanged;
    if (previous.origin.x != current.origin.x || previous.origin.y != current.origin.y)
        attributes |= kControlBoundsChangePositionChanged;
    EventRef event = makeControlEvent(m_control, kEventControlBoundsChanged);
    if (!event)
        return;
    SetEventParameter(event, kEventParamAttributes, typeUInt32, sizeof attributes, &attributes);
    SetEventParameter(event, kEventParamOriginalBounds, typeHIRect, sizeof previous, &previous);
    SetEventParameter(event, kEventParamPreviousBounds, typeHIRect, sizeof previous, &previous);
    SetEventParameter(event, kEventParamCurrentBounds, typeHIRect, sizeof current, &current);
    sendToControl(m_control, event);
    ReleaseEvent(event);
}

void PlatformViewWidget::sendOwnerChanged()
{
    WindowRef previous = m_lastOwner;
    WindowRef current = GetWindowFromWidget(this);
    if (previous == current)
        return;
    m_lastOwner = current;
    EventRef event = makeControlEvent(m_control, kEventControlOwningWindowChanged);
    if (!event)
        return;
    SetEventParameter(event, kEventParamControlOriginalOwningWindow, typeWindowRef, sizeof previous,
                      &previous);
    SetEventParameter(event, kEventParamControlCurrentOwningWindow, typeWindowRef, sizeof current,
                      &current);
    sendToControl(m_control, event);
    ReleaseEvent(event);
}

void PlatformViewWidget::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (m_destroying)
        return;
    if (event->type() == QEvent::EnabledChange) {
        sendSimpleControlEvent(m_control, kEventControlEnabledStateChanged);
    } else if (event->type() == QEvent::ActivationChange) {
        const bool active = isActiveWindow();
        if (!active && m_tracking)
            pushTracked(QPointF(m_lastTracked.x, m_lastTracked.y), kMouseTrackingUserCancelled);
        sendSimpleControlEvent(m_control, active ? kEventControlActivate : kEventControlDeactivate);
    }
}

// ---------------------------------------------------------------------------
// Mouse.

ControlPartCode PlatformViewWidget::hitTest(const HIPoint& where)
{
    EventRef event = makeControlEvent(m_control, kEventControlHitTest);
    if (!event)
        return kControlNoPart;
    SetEventParameter(event, kEventParamMouseLocation, typeHIPoint, sizeof where, &where);
    ControlPartCode part = kControlNoPart;
    if (sendToControl(m_control, event) == noErr)
        GetEventParameter(event, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part,
                          nullptr, &part);
    ReleaseEvent(event);
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
    const UInt32 modifiers = modifiersOf(press->modifiers());
    m_tracking = true;
    m_tracked.clear();
    m_lastTracked = where;

    QPointer<PlatformViewWidget> alive(this);
    EventRef track = makeControlEvent(m_control, kEventControlTrack);
    if (!track)
        return;
    SetEventParameter(track, kEventParamMouseLocation, typeHIPoint, sizeof where, &where);
    SetEventParameter(track, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
    SetEventParameter(track, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    const OSStatus status = sendToControl(m_control, track);
    if (!alive) {
        ReleaseEvent(track);
        return;
    }
    if (status == eventNotHandledErr) {
        part = defaultTrack(part);
    } else if (status == noErr) {
        GetEventParameter(track, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part,
                          nullptr, &part);
    } else {
        part = kControlNoPart;
    }
    ReleaseEvent(track);
    if (!alive)
        return;
    m_tracking = false;
    m_tracked.clear();
    if (part == kControlNoPart)
        return;
    EventRef hit = makeControlEvent(m_control, kEventControlHit);
    if (!hit)
        return;
    SetEventParameter(hit, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
    SetEventParameter(hit, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    sendToControl(m_control, hit);
    ReleaseEvent(hit);
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
    TrackedMouse next{m_lastTracked, kMouseTrackingUserCancelled};  // the loop was ended
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

// ---------------------------------------------------------------------------
// Keyboard focus and text.

void PlatformViewWidget::focusInEvent(QFocusEvent* focus)
{
    QWidget::focusInEvent(focus);
    EventRef event = makeControlEvent(m_control, kEventControlSetFocusPart);
    if (!event)
        return;
    const ControlPartCode part =
        focus->reason() == Qt::BacktabFocusReason ? kControlFocusPrevPart : kControlFocusNextPart;
    const Boolean focusEverything = false;
    SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
    SetEventParameter(event, kEventParamControlFocusEverything, typeBoolean, sizeof focusEverything,
                      &focusEverything);
    sendToControl(m_control, event);
    ReleaseEvent(event);
}

void PlatformViewWidget::focusOutEvent(QFocusEvent* focus)
{
    QWidget::focusOutEvent(focus);
    if (m_destroying)
        return;
    EventRef event = makeControlEvent(m_control, kEventControlSetFocusPart);
    if (!event)
        return;
    const ControlPartCode part = kControlFocusNoPart;
    SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
    sendToControl(m_control, event);
    ReleaseEvent(event);
}

void PlatformViewWidget::keyPressEvent(QKeyEvent* key)
{
    const QString text = key->text();
    if (text.isEmpty()) {
        QWidget::keyPressEvent(key);
        return;
    }
    EventRef event = nullptr;
    if (CreateEvent(nullptr, kEventClassTextInput, kEventTextInputUnicodeForKeyEvent, 0,
                    kEventAttributeNone, &event) != noErr)
        return;
    const UInt32 modifiers = modifiersOf(key->modifiers());
    SetEventParameter(event, kEventParamTextInputSendText, typeUnicodeText,
                      ByteCount(text.size()) * sizeof(char16_t), text.utf16());
    SetEventParameter(event, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    const OSStatus status = sendToControl(m_control, event);
    ReleaseEvent(event);
    if (status == noErr)
        key->accept();
    else
        QWidget::keyPressEvent(key);
}

// ---------------------------------------------------------------------------
// Drag and drop.

void PlatformViewWidget::dragEnterEvent(QDragEnterEvent* drag)
{
    EventRef event = makeControlEvent(m_control, kEventControlDragEnter);
    if (!event)
        return;
    DragRef dragRef = drag;
    SetEventParameter(event, kEventParamDragRef, typeDragRef, sizeof dragRef, &dragRef);
    Boolean accept = false;
    if (sendToControl(m_control, event) == noErr)
        GetEventParameter(event, kEventParamControlWouldAcceptDrop, typeBoolean, nullptr,
                          sizeof accept, nullptr, &accept);
    ReleaseEvent(event);
    if (accept)
        drag->acceptProposedAction();
    else
        drag->ignore();
}

void PlatformViewWidget::dragMoveEvent(QDragMoveEvent* drag)
{
    EventRef event = makeControlEvent(m_control, kEventControlDragWithin);
    if (!event)
        return;
    DragRef dragRef = drag;
    SetEventParameter(event, kEventParamDragRef, typeDragRef, sizeof dragRef, &dragRef);
    sendToControl(m_control, event);
    ReleaseEvent(event);
    drag->acceptProposedAction();
}

void PlatformViewWidget::dragLeaveEvent(QDragLeaveEvent*)
{
    EventRef event = makeControlEvent(m_control, kEventControlDragLeave);
    if (!event)
        return;
    DragRef dragRef = nullptr;  // Qt gives no data with the leave
    SetEventParameter(event, kEventParamDragRef, typeDragRef, sizeof dragRef, &dragRef);
    sendToControl(m_control, event);
    ReleaseEvent(event);
}

void PlatformViewWidget::dropEvent(QDropEvent* drop)
{
    EventRef event = makeControlEvent(m_control, kEventControlDragReceive);
    if (!event)
        return;
    DragRef dragRef = drop;
    SetEventParameter(event, kEventParamDragRef, typeDragRef, sizeof dragRef, &dragRef);
    const OSStatus status = sendToControl(m_control, event);
    ReleaseEvent(event);
    if (status == noErr)
        drop->acceptProposedAction();
    else
        drop->ignore();
}
