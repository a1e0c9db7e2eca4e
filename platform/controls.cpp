#include "platform/controls.h"

#include "platform/internal.h"

#include "platform/controladapter.h"
#include "platform/windows.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QWidget>

#include <algorithm>
#include <cstring>
#include <vector>

static OSStatus SetControlTitleWithCFString(ControlRef control, const QString& title);
static OSStatus SetControlVisibility(ControlRef control, Boolean visible, Boolean draw);
static OSStatus CopyControlTitleAsCFString(ControlRef control, QString* outTitle);

namespace {

const char* const kSignatureProperty = "controlSignature";
const char* const kIdProperty = "controlID";

// Newest first.
std::vector<std::unique_ptr<ControlAdapter>>& adapters()
{
    static std::vector<std::unique_ptr<ControlAdapter>> list = [] {
        auto standard = tavi::platform::detail::makeStandardControlAdapters();
        std::reverse(standard.begin(), standard.end());
        return standard;
    }();
    return list;
}

QWidget* widgetOf(ControlRef control)
{
    return control ? control->widget() : nullptr;
}

// Calls f(adapter) for each adapter that applies to the widget until one
// answers true.
template <typename F>
bool askAdapters(const QWidget* widget, F f)
{
    for (const auto& adapter : adapters()) {
        if (adapter->appliesTo(widget) && f(*adapter))
            return true;
    }
    return false;
}

// Offers get/set data to the control's own handlers first.
OSStatus sendDataEvent(ControlRef control, EventKind kind, ControlPartCode part, ResType tag,
                       Size size, const void* buffer, Size* outActualSize)
{
    if (!control->target() || control->target()->handlerCount() == 0)
        return eventNotHandledErr;
    SInt32 size32 = SInt32(size);
    ScopedEvent event(kEventClassControl, kind, typeControlRef, control);
    event.set(kEventParamControlPart, typeControlPartCode, part)
        .set(kEventParamControlDataTag, typeEnumeration, tag)
        .set(kEventParamControlDataBuffer, typePtr, buffer)
        .set(kEventParamControlDataBufferSize, typeLongInteger, size32);
    const OSStatus status = event.send(control->target(), kEventTargetDontPropagate);
    if (status == noErr && outActualSize &&
        event.get(kEventParamControlDataBufferSize, typeLongInteger, &size32))
        *outActualSize = size32;
    return status;
}

OSStatus applyFontStyle(ControlRef control, const ControlFontStyleRec& style)
{
    QWidget* widget = widgetOf(control);
    control->fontStyle = style;
    if (style.flags == 0) {
        // No flag: back to the font the widget inherits.
        widget->setFont(QFont());
        return noErr;
    }
    QFont font = widget->font();
    if (style.flags & kControlUseSizeMask) {
        if (style.size > 0)
            font.setPixelSize(style.size);
        else
            font.setPixelSize(QFontInfo(QApplication::font()).pixelSize());
    }
    widget->setFont(font);
    if (style.flags & kControlUseJustMask)
        askAdapters(widget, [&](const ControlAdapter& a) {
            return a.setJustification(widget, style.just);
        });
    return noErr;
}

} // namespace

void RegisterControlAdapter(std::unique_ptr<ControlAdapter> adapter)
{
    if (adapter)
        adapters().insert(adapters().begin(), std::move(adapter));
}

// ---------------------------------------------------------------------------

PlatformControl::PlatformControl(QWidget* widget)
    : QObject(widget), m_widget(widget), m_target(EventTarget::create())
{
    setObjectName(QStringLiteral("tavi_control"));
    QPointer<QWidget> guarded(widget);
    m_target->setParentResolver([guarded]() -> EventTargetRef {
        if (!guarded)
            return GetApplicationEventTarget();
        for (QWidget* w = guarded->parentWidget(); w; w = w->parentWidget()) {
            if (auto* c = w->findChild<PlatformControl*>(QString(), Qt::FindDirectChildrenOnly))
                return c->target();
            if (w->isWindow())
                break;
        }
        WindowRef window = GetWindowFromWidget(guarded);
        return window ? GetWindowEventTarget(window) : GetApplicationEventTarget();
    });
}

QWidget* PlatformControl::widget() const
{
    return m_widget.data();
}

PlatformControl::~PlatformControl()
{
    m_target->invalidate();
}

ControlRef GetControlFromWidget(QWidget* widget)
{
    if (!widget)
        return nullptr;
    if (auto* control = widget->findChild<PlatformControl*>(QString(), Qt::FindDirectChildrenOnly))
        return control;
    return new PlatformControl(widget);
}

QWidget* GetControlWidget(ControlRef control)
{
    return widgetOf(control);
}

OSStatus GetControlByID(WindowRef window, const ControlID* id, ControlRef* outControl)
{
    if (!id || !outControl)
        return paramErr;
    QWidget* top = GetWindowWidget(window);
    if (!top)
        return errInvalidWindowRef;
    const QString signature = fourCharCodeQString(id->signature);
    QList<QWidget*> candidates = top->findChildren<QWidget*>();
    candidates.prepend(top);
    for (QWidget* widget : candidates) {
        const QVariant sig = widget->property(kSignatureProperty);
        if (!sig.isValid() || sig.toString() != signature)
            continue;
        bool ok = false;
        const int number = widget->property(kIdProperty).toInt(&ok);
        if (ok && number == id->id) {
            *outControl = GetControlFromWidget(widget);
            return noErr;
        }
    }
    *outControl = nullptr;
    return errUnknownControl;
}

OSStatus SetControlID(ControlRef control, const ControlID* id)
{
    QWidget* widget = widgetOf(control);
    if (!widget || !id)
        return paramErr;
    widget->setProperty(kSignatureProperty, fourCharCodeQString(id->signature));
    widget->setProperty(kIdProperty, int(id->id));
    return noErr;
}

EventTargetRef GetControlEventTarget(ControlRef control)
{
    return control ? control->target() : nullptr;
}

void ShowControl(ControlRef control)
{
    SetControlVisibility(control, true, true);
}

void HideControl(ControlRef control)
{
    SetControlVisibility(control, false, true);
}

OSStatus SetKeyboardFocus(WindowRef window, ControlRef control, ControlFocusPart part)
{
    QWidget* top = GetWindowWidget(window);
    if (!top)
        return errInvalidWindowRef;
    if (part == kControlFocusNoPart) {
        if (QWidget* focus = top->focusWidget())
            focus->clearFocus();
        return noErr;
    }
    QWidget* widget = widgetOf(control);
    if (!widget || widget->window() != top)
        return errUnknownControl;
    widget->setFocus(Qt::OtherFocusReason);
    return noErr;
}

static OSStatus SetControlVisibility(ControlRef control, Boolean visible, Boolean)
{
    QWidget* widget = widgetOf(control);
    if (!widget)
        return paramErr;
    if (widget->isHidden() == bool(visible))
        widget->setVisible(visible);
    return noErr;
}

OSStatus HIViewSetVisible(HIViewRef view, Boolean visible)
{
    return SetControlVisibility(view, visible, true);
}

Boolean IsControlEnabled(ControlRef control)
{
    QWidget* widget = widgetOf(control);
    return widget && widget->isEnabled();
}

Boolean IsControlActive(ControlRef control)
{
    QWidget* widget = widgetOf(control);
    return widget && widget->isActiveWindow();
}

// ---------------------------------------------------------------------------
// Values.

SInt32 GetControl32BitMaximum(ControlRef control)
{
    QWidget* widget = widgetOf(control);
    if (!widget)
        return 0;
    SInt32 result = control->maximum;
    askAdapters(widget, [&](const ControlAdapter& a) { return a.maximum(widget, &result); });
    return result;
}

void SetControl32BitValue(ControlRef control, SInt32 value)
{
    QWidget* widget = widgetOf(control);
    if (!widget)
        return;
    if (askAdapters(widget, [&](const ControlAdapter& a) { return a.setValue(widget, value); }))
        return;
    const SInt32 clamped =
        std::clamp(value, control->minimum, std::max(control->minimum, control->maximum));
    control->value = clamped;
}

void SetControl32BitMaximum(ControlRef control, SInt32 maximum)
{
    QWidget* widget = widgetOf(control);
    if (!widget)
        return;
    if (askAdapters(widget, [&](const ControlAdapter& a) { return a.setMaximum(widget, maximum); }))
        return;
    control->maximum = maximum;
    control->minimum = std::min(control->minimum, maximum);
    control->value = std::clamp(control->value, control->minimum, control->maximum);
}

void HiliteControl(ControlRef control, ControlPartCode part)
{
    if (!control || control->hilite == part)
        return;
    control->hilite = part;
    ScopedEvent(kEventClassControl, kEventControlHiliteChanged, typeControlRef, control)
        .send(control->target(), kEventTargetDontPropagate);
}

// ---------------------------------------------------------------------------
// Data.

OSStatus SetControlData(ControlRef control, ControlPartCode part, ResType tag, Size size,
                        const void* data)
{
    QWidget* widget = widgetOf(control);
    if (!widget || size < 0 || (size > 0 && !data))
        return paramErr;
    OSStatus status = sendDataEvent(control, kEventControlSetData, part, tag, size, data, nullptr);
    if (status != eventNotHandledErr)
        return status;
    for (const auto& adapter : adapters()) {
        if (!adapter->appliesTo(widget))
            continue;
        status = adapter->setData(control, part, tag, size, data);
        if (status != eventNotHandledErr)
            return status;
    }
    if (tag == kControlEditTextCFStringTag) {
        if (size != Size(sizeof(QString)))
            return errDataSizeMismatch;
        return SetControlTitleWithCFString(control, *static_cast<const QString*>(data));
    }
    if (tag == kControlFontStyleTag) {
        if (size != Size(sizeof(ControlFontStyleRec)))
            return errDataSizeMismatch;
        return applyFontStyle(control, *static_cast<const ControlFontStyleRec*>(data));
    }
    return errDataNotSupported;
}

OSStatus GetControlData(ControlRef control, ControlPartCode part, ResType tag, Size bufferSize,
                        void* buffer, Size* outActualSize)
{
    QWidget* widget = widgetOf(control);
    if (!widget || bufferSize < 0)
        return paramErr;
    OSStatus status =
        sendDataEvent(control, kEventControlGetData, part, tag, bufferSize, buffer, outActualSize);
    if (status != eventNotHandledErr)
        return status;
    for (const auto& adapter : adapters()) {
        if (!adapter->appliesTo(widget))
            continue;
        status = adapter->getData(control, part, tag, bufferSize, buffer, outActualSize);
        if (status != eventNotHandledErr)
            return status;
    }
    auto answer = [&](const void* value, Size size) -> OSStatus {
        if (outActualSize)
            *outActualSize = size;
        if (!buffer)
            return noErr;
        if (bufferSize < size)
            return errDataSizeMismatch;
        std::memcpy(buffer, value, size_t(size));
        return noErr;
    };
    if (tag == kControlEditTextCFStringTag) {
        QString text;
        status = CopyControlTitleAsCFString(control, &text);
        if (status != noErr)
            return status;
        if (outActualSize)
            *outActualSize = sizeof(QString);
        if (!buffer)
            return noErr;
        if (bufferSize != Size(sizeof(QString)))
            return errDataSizeMismatch;
        *static_cast<QString*>(buffer) = text;
        return noErr;
    }
    if (tag == kControlFontStyleTag)
        return answer(&control->fontStyle, sizeof(ControlFontStyleRec));
    return errDataNotSupported;
}

OSStatus SetControlFontStyle(ControlRef control, const ControlFontStyleRec* style)
{
    if (!widgetOf(control) || !style)
        return paramErr;
    return SetControlData(control, kControlEntireControl, kControlFontStyleTag, sizeof *style,
                          style);
}

static OSStatus SetControlTitleWithCFString(ControlRef control, const QString& title)
{
    QWidget* widget = widgetOf(control);
    if (!widget)
        return paramErr;
    if (!askAdapters(widget, [&](const ControlAdapter& a) { return a.setText(widget, title); }))
        return errDataNotSupported;
    return noErr;
}

static OSStatus CopyControlTitleAsCFString(ControlRef control, QString* outTitle)
{
    QWidget* widget = widgetOf(control);
    if (!widget || !outTitle)
        return paramErr;
    if (!askAdapters(widget, [&](const ControlAdapter& a) { return a.text(widget, outTitle); }))
        return errDataNotSupported;
    return noErr;
}

// ---------------------------------------------------------------------------
// Drawing and geometry.

void Draw1Control(ControlRef control)
{
    QWidget* widget = widgetOf(control);
    if (widget && widget->isVisible())
        widget->repaint();
}

OSStatus HIViewSetNeedsDisplay(HIViewRef view, Boolean needsDisplay)
{
    QWidget* widget = widgetOf(view);
    if (!widget)
        return paramErr;
    if (needsDisplay)
        widget->update();
    return noErr;
}

OSStatus HIViewGetFrame(HIViewRef view, HIRect* outFrame)
{
    QWidget* widget = widgetOf(view);
    if (!widget || !outFrame)
        return paramErr;
    const QRect g = widget->geometry();
    const int inset = widget->isWindow() ? 0 : WindowContentTopInset(widget->parentWidget());
    *outFrame = HIRect{{float(g.x()), float(g.y() - inset)}, {float(g.width()), float(g.height())}};
    return noErr;
}

OSStatus HIViewSetFrame(HIViewRef view, const HIRect* frame)
{
    QWidget* widget = widgetOf(view);
    if (!widget || !frame || frame->size.width < 0 || frame->size.height < 0)
        return paramErr;
    const int inset = widget->isWindow() ? 0 : WindowContentTopInset(widget->parentWidget());
    widget->setGeometry(int(frame->origin.x), int(frame->origin.y) + inset, int(frame->size.width),
                        int(frame->size.height));
    return noErr;
}

OSStatus HIViewGetBounds(HIViewRef view, HIRect* outBounds)
{
    QWidget* widget = widgetOf(view);
    if (!widget || !outBounds)
        return paramErr;
    *outBounds = HIRect{{0, 0}, {float(widget->width()), float(widget->height())}};
    return noErr;
}

OSStatus HIViewAddSubview(HIViewRef parent, HIViewRef child)
{
    QWidget* parentWidget = widgetOf(parent);
    QWidget* childWidget = widgetOf(child);
    if (!parentWidget || !childWidget || parentWidget == childWidget)
        return paramErr;
    const bool hidden = childWidget->isHidden();
    childWidget->setParent(parentWidget);
    childWidget->setVisible(!hidden);
    return noErr;
}

namespace {

class FirstDrawWatch final : public QObject {
public:
    FirstDrawWatch(QWidget* watched, std::function<void()> action)
        : QObject(watched), m_action(std::move(action))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint || m_drawn)
            return false;
        m_drawn = true;
        watched->removeEventFilter(this);
        // Queued, so that it runs once this paint has been handled and shown.
        QMetaObject::invokeMethod(
            this,
            [this] {
                const std::function<void()> action = std::move(m_action);
                deleteLater();
                action();
            },
            Qt::QueuedConnection);
        return false;
    }

private:
    std::function<void()> m_action;
    bool m_drawn = false;
};

} // namespace

void CallAfterFirstDraw(ControlRef control, std::function<void()> action)
{
    QWidget* widget = GetControlWidget(control);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget))
        widget = area->viewport();
    if (widget != nullptr && action)
        new FirstDrawWatch(widget, std::move(action));
}
