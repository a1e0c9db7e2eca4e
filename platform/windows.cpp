#include "platform/windows.h"

#include "platform/activation.h"
#include "platform/internal.h"

#include "platform/eventloop.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QLayout>
#include <QMargins>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <vector>

namespace {

constexpr UInt32 kWindowBoundsChangeUserDrag = 1u << 0;
constexpr UInt32 kWindowBoundsChangeUserResize = 1u << 1;

// Front to back. Disposed windows leave it at once.
std::vector<WindowRef>& windowList()
{
    static std::vector<WindowRef> list;
    return list;
}

bool quitWhenLastWindowCloses = true;

bool isUsable(WindowRef window)
{
    return window && !window->isDisposed() && window->widget();
}

void moveToFront(WindowRef window)
{
    auto& list = windowList();
    auto found = std::find(list.begin(), list.end(), window);
    if (found == list.end())
        return;
    list.erase(found);
    list.insert(list.begin(), window);
}

// Hidden windows wait behind all visible ones, so that walking the list from
// the front window finds every window.
void moveBehindVisible(WindowRef window)
{
    auto& list = windowList();
    auto found = std::find(list.begin(), list.end(), window);
    if (found == list.end())
        return;
    list.erase(found);
    auto firstHidden = std::find_if(list.begin(), list.end(), [](WindowRef w) {
        return !w->widget() || !w->widget()->isVisible();
    });
    list.insert(firstHidden, window);
}

SInt16 clamp16(int value)
{
    return SInt16(std::clamp(value, -32768, 32767));
}

Rect toRect(const QRect& r)
{
    Rect rect;
    SetRect(&rect, clamp16(r.left()), clamp16(r.top()), clamp16(r.left() + r.width()),
            clamp16(r.top() + r.height()));
    return rect;
}

// The content is what the program drew in: the client area below a menu bar
// that the layer attached (on the old platform the menu bar was no part of
// the window, and saved bounds and sizes mean the content alone).
QRect contentGeometry(const QWidget* widget)
{
    return widget->geometry().adjusted(0, WindowContentTopInset(widget), 0, 0);
}

Rect contentBounds(const QWidget* widget)
{
    return toRect(contentGeometry(widget));
}

bool sameRect(const Rect& a, const Rect& b)
{
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

void scheduleLastWindowCheck()
{
    if (!quitWhenLastWindowCloses || !IsApplicationEventLoopRunning() || !qApp)
        return;
    // Checked once the current event is done: a handler may close one window
    // and open another.
    QMetaObject::invokeMethod(
        qApp,
        [] {
            if (quitWhenLastWindowCloses && IsApplicationEventLoopRunning() && !FrontWindow())
                QuitApplicationEventLoop();
        },
        Qt::QueuedConnection);
}

} // namespace

PlatformWindow::PlatformWindow(QWidget* widget)
    : QObject(widget), m_widget(widget), m_target(EventTarget::create())
{
    setObjectName(QStringLiteral("tavi_window"));
    m_target->setParentResolver([] { return GetApplicationEventTarget(); });
    m_target->setStandardHandler([this](EventRef event) -> OSStatus {
        if (GetEventClass(event) == kEventClassWindow && GetEventKind(event) == kEventWindowClose) {
            DisposeWindow(this);
            return noErr;
        }
        return eventNotHandledErr;
    });
    m_lastBounds = contentBounds(widget);
    widget->installEventFilter(this);
    // A dialog that finishes (Escape, accept, reject) hides itself without a
    // close event; treat that as closing the window.
    if (auto* dialog = qobject_cast<QDialog*>(widget)) {
        connect(dialog, &QDialog::finished, this, [this] {
            if (!m_disposed)
                sendSimpleEvent(kEventWindowClose);
        });
    }
}

QWidget* PlatformWindow::widget() const
{
    return m_widget.data();
}

PlatformWindow::~PlatformWindow()
{
    // Also reached when the widget is deleted without DisposeWindow.
    auto& list = windowList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    m_target->invalidate();
}

OSStatus PlatformWindow::sendSimpleEvent(EventKind kind)
{
    return ScopedEvent(kEventClassWindow, kind, typeWindowRef, WindowRef(this))
        .send(m_target.get());
}

void PlatformWindow::sendBoundsChanged(bool byUser)
{
    const Rect previous = m_lastBounds;
    const Rect current = contentBounds(m_widget);
    if (sameRect(previous, current))
        return;
    m_lastBounds = current;
    UInt32 attributes = 0;
    const bool sizeChanged = (previous.right - previous.left != current.right - current.left) ||
                             (previous.bottom - previous.top != current.bottom - current.top);
    if (sizeChanged)
        attributes |= kWindowBoundsChangeSizeChanged | (byUser ? kWindowBoundsChangeUserResize : 0);
    if (previous.left != current.left || previous.top != current.top)
        attributes |= kWindowBoundsChangeOriginChanged | (byUser ? kWindowBoundsChangeUserDrag : 0);
    ScopedEvent(kEventClassWindow, kEventWindowBoundsChanged, typeWindowRef, WindowRef(this))
        .set(kEventParamAttributes, typeUInt32, attributes)
        .set(kEventParamOriginalBounds, typeQDRectangle, previous)
        .set(kEventParamCurrentBounds, typeQDRectangle, current)
        .send(m_target.get());
}

bool PlatformWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_widget)
        return false;
    if (m_disposed) {
        if (event->type() == QEvent::Close) {
            event->accept();
            return false;
        }
        return false;
    }
    switch (event->type()) {
    case QEvent::Close:
        // The window's handlers decide; the standard handler disposes of it.
        event->ignore();
        sendSimpleEvent(kEventWindowClose);
        return true;
    case QEvent::Show:
        moveToFront(this);
        sendBoundsChanged(false);
        break;
    case QEvent::Hide:
        moveBehindVisible(this);
        scheduleLastWindowCheck();
        break;
    case QEvent::WindowActivate:
        moveToFront(this);
        sendSimpleEvent(kEventWindowActivated);
        break;
    case QEvent::Move:
    case QEvent::Resize:
        sendBoundsChanged(event->spontaneous());
        break;
    default:
        break;
    }
    return false;
}

OSStatus CreateWindowFromWidget(QWidget* widget, WindowRef* outWindow)
{
    if (!widget || !outWindow)
        return paramErr;
    if (WindowRef existing = GetWindowFromWidget(widget);
        existing && existing->widget() == widget) {
        *outWindow = existing;
        return noErr;
    }
    if (widget->parentWidget())
        widget->setParent(nullptr);
    if (!widget->isWindow())
        widget->setWindowFlags(widget->windowFlags() | Qt::Window);
    auto* window = new PlatformWindow(widget);
    if (widget->isVisible())
        windowList().insert(windowList().begin(), window);
    else
        windowList().push_back(window);
    *outWindow = window;
    return noErr;
}

int WindowContentTopInset(const QWidget* windowWidget)
{
    if (!windowWidget)
        return 0;
    auto* bar = windowWidget->findChild<QWidget*>(QStringLiteral("tavi_menubar"),
                                                  Qt::FindDirectChildrenOnly);
    if (!bar || !bar->isVisibleTo(windowWidget))
        return 0;
    const int height = bar->heightForWidth(windowWidget->width());
    return height > 0 ? height : bar->sizeHint().height();
}

WindowRef GetWindowFromWidget(const QWidget* widget)
{
    if (!widget)
        return nullptr;
    const QWidget* top = widget->window();
    auto* window = top->findChild<PlatformWindow*>(QString(), Qt::FindDirectChildrenOnly);
    return window && !window->isDisposed() ? window : nullptr;
}

QWidget* GetWindowWidget(WindowRef window)
{
    return isUsable(window) ? window->widget() : nullptr;
}

void SetWRefCon(WindowRef window, SRefCon data)
{
    if (window)
        window->refCon = data;
}

SRefCon GetWRefCon(WindowRef window)
{
    return window ? window->refCon : 0;
}

OSStatus GetWindowBounds(WindowRef window, WindowRegionCode region, Rect* outBounds)
{
    if (!outBounds)
        return paramErr;
    if (!isUsable(window))
        return errInvalidWindowRef;
    const QWidget* widget = window->widget();
    switch (region) {
    case kWindowContentRgn:
    case kWindowGlobalPortRgn:
        *outBounds = contentBounds(widget);
        return noErr;
    case kWindowStructureRgn:
        *outBounds = toRect(widget->frameGeometry());
        return noErr;
    default:
        return paramErr;
    }
}

OSStatus SetWindowBounds(WindowRef window, WindowRegionCode region, const Rect* bounds)
{
    if (!bounds || bounds->right < bounds->left || bounds->bottom < bounds->top)
        return paramErr;
    if (!isUsable(window))
        return errInvalidWindowRef;
    QWidget* widget = window->widget();
    QRect wanted(bounds->left, bounds->top, bounds->right - bounds->left,
                 bounds->bottom - bounds->top);
    switch (region) {
    case kWindowContentRgn:
    case kWindowGlobalPortRgn:
        widget->setGeometry(wanted.adjusted(0, -WindowContentTopInset(widget), 0, 0));
        return noErr;
    case kWindowStructureRgn: {
        const QRect frame = widget->frameGeometry();
        const QRect content = widget->geometry();
        wanted.adjust(content.left() - frame.left(), content.top() - frame.top(),
                      content.right() - frame.right(), content.bottom() - frame.bottom());
        widget->setGeometry(wanted);
        return noErr;
    }
    default:
        return paramErr;
    }
}

OSStatus GetWindowStructureWidths(WindowRef window, Rect* outWidths)
{
    if (!outWidths)
        return paramErr;
    if (!isUsable(window))
        return errInvalidWindowRef;
    // What the window system adds round a widget.
    auto decoration = [](const QWidget* widget) {
        const QRect frame = widget->frameGeometry();
        const QRect client = widget->geometry();
        Rect widths;
        SetRect(&widths, clamp16(client.left() - frame.left()), clamp16(client.top() - frame.top()),
                clamp16(frame.right() - client.right()), clamp16(frame.bottom() - client.bottom()));
        return widths;
    };
    QWidget* widget = window->widget();
    Rect widths = decoration(widget);
    if (!widget->isVisible()) {
        // Until some window is framed, a usual title bar and border.
        if (QGuiApplication::platformName() != u"offscreen")
            SetRect(&widths, 8, 32, 8, 8);
        for (WindowRef other : windowList()) {
            if (!isUsable(other) || !other->widget()->isVisible())
                continue;
            const Rect more = decoration(other->widget());
            widths.left = std::max(widths.left, more.left);
            widths.top = std::max(widths.top, more.top);
            widths.right = std::max(widths.right, more.right);
            widths.bottom = std::max(widths.bottom, more.bottom);
        }
    }
    // A menu bar in the window lies outside its content too.
    widths.top = clamp16(widths.top + WindowContentTopInset(widget));
    *outWidths = widths;
    return noErr;
}

bool WindowPositionsAreHidden()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

OSStatus SetWindowParentWindow(WindowRef window, WindowRef parent)
{
    QWidget* widget = GetWindowWidget(window);
    QWidget* parentWidget = GetWindowWidget(parent);
    if (!widget || !parentWidget || widget == parentWidget)
        return errInvalidWindowRef;
    if (!WindowPositionsAreHidden())
        return noErr;
    widget->winId(); // the native window, which the parent is set on
    parentWidget->winId();
    if (QWindow* handle = widget->windowHandle())
        handle->setTransientParent(parentWidget->windowHandle());
    return noErr;
}

Boolean GetAvailableWindowPositioningBounds(const Rect* area, Rect* outBounds)
{
    const QScreen* chosen = QGuiApplication::primaryScreen();
    bool onScreen = false;
    if (area) {
        const QRect wanted(area->left, area->top, area->right - area->left,
                           area->bottom - area->top);
        qint64 most = 0;
        for (const QScreen* screen : QGuiApplication::screens()) {
            const QRect shared = screen->geometry().intersected(wanted);
            const qint64 size = qint64(shared.width()) * shared.height();
            if (!shared.isEmpty() && size > most) {
                most = size;
                chosen = screen;
                onScreen = true;
            }
        }
    }
    if (outBounds)
        *outBounds = chosen ? toRect(chosen->availableGeometry()) : Rect{};
    return onScreen;
}

OSStatus ConstrainWindowToScreen(WindowRef window, WindowRegionCode regionCode,
                                 WindowConstrainOptions options, const Rect* screenRect,
                                 Rect* outStructure)
{
    if (regionCode != kWindowStructureRgn)
        return paramErr;
    if (!isUsable(window))
        return errInvalidWindowRef;
    QWidget* widget = window->widget();
    Rect widths{};
    GetWindowStructureWidths(window, &widths);
    // The widths count an attached menu bar as frame; here it is widget.
    const int inset = WindowContentTopInset(widget);
    const QMargins frame(widths.left, widths.top - inset, widths.right, widths.bottom);
    QRect client = widget->geometry();

    Rect available{};
    if (screenRect) {
        available = *screenRect;
    } else {
        const Rect structure = toRect(client.marginsAdded(frame));
        GetAvailableWindowPositioningBounds(&structure, &available);
    }
    const QRect area(available.left, available.top, available.right - available.left,
                     available.bottom - available.top);
    if (area.isEmpty())
        return paramErr;

    if (options & kWindowConstrainMayResize) {
        QSize minimum = widget->minimumSize();
        if (const QLayout* layout = widget->layout())
            minimum = minimum.expandedTo(layout->totalMinimumSize());
        const int roomX = area.width() - frame.left() - frame.right();
        const int roomY = area.height() - frame.top() - frame.bottom();
        client.setWidth(std::max(std::min(client.width(), roomX), minimum.width()));
        client.setHeight(std::max(std::min(client.height(), roomY), minimum.height()));
    }
    QRect structure = client.marginsAdded(frame);
    const bool fits = structure.width() <= area.width() && structure.height() <= area.height();
    if (fits || (options & kWindowConstrainMoveRegardlessOfFit)) {
        // Too large a window keeps its top-left corner, and so its title
        // bar, on the screen.
        const int left =
            std::clamp(structure.left(), area.left(),
                       std::max(area.left(), area.left() + area.width() - structure.width()));
        const int top =
            std::clamp(structure.top(), area.top(),
                       std::max(area.top(), area.top() + area.height() - structure.height()));
        structure.moveTo(left, top);
        client.moveTo(left + frame.left(), top + frame.top());
    }
    if (client != widget->geometry())
        widget->setGeometry(client);
    if (outStructure)
        *outStructure = toRect(structure);
    return noErr;
}

void SizeWindow(WindowRef window, short width, short height, Boolean update)
{
    if (!isUsable(window) || width < 0 || height < 0)
        return;
    window->widget()->resize(width, height + WindowContentTopInset(window->widget()));
    if (update)
        window->widget()->update();
}

namespace {

// A window about to be shown is made to fit the available area of its
// screen, frame and all: saved sizes and a large font or scale factor can
// ask for more than a small screen has. A window so shrunk, or grown past
// the size it was given by what its contents need (a large font widens a
// narrow window's menu bar), that the program placed is then moved in as far
// as needed; one the window system places is left to it, and so is any
// window that fitted as it was.
// The available area of the window's screen, and the frame round its
// widget; false without a screen.
bool screenRoom(WindowRef window, QRect* area, Rect* frame)
{
    const QWidget* widget = window->widget();
    const QScreen* screen = widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return false;
    *area = screen->availableGeometry();
    GetWindowStructureWidths(window, frame);
    frame->top = short(frame->top - WindowContentTopInset(widget)); // the menu bar is widget here
    return true;
}

void fitToScreen(WindowRef window)
{
    QWidget* widget = window->widget();
    QRect area;
    Rect frame{};
    if (!widget->isWindow() || widget->isVisible() || !screenRoom(window, &area, &frame))
        return;
    const QSize given = widget->size();
    if (QLayout* layout = widget->layout())
        layout->activate(); // the size it will show at, its contents' minimum
    const bool grown = widget->width() > given.width() || widget->height() > given.height();
    const QSize most = GetWindowAvailableSize(window);
    const bool fits = widget->width() <= most.width() && widget->height() <= most.height();
    if (fits && !grown)
        return;
    if (!fits)
        widget->resize(widget->size().boundedTo(most));
    if (WindowPositionsAreHidden() || !widget->testAttribute(Qt::WA_Moved))
        return;
    const QRect content = widget->geometry();
    const int left = std::clamp(
        content.left(), area.left() + frame.left,
        std::max(area.left() + frame.left, area.right() + 1 - frame.right - content.width()));
    const int top = std::clamp(
        content.top(), area.top() + frame.top,
        std::max(area.top() + frame.top, area.bottom() + 1 - frame.bottom - content.height()));
    if (QPoint(left, top) == content.topLeft())
        return;
    // Until the window is framed, a move places its frame; after, the
    // frame keeps its offset from the contents.
    if (widget->frameGeometry() == content)
        widget->move(left - frame.left, top - frame.top);
    else
        widget->move(widget->pos() + QPoint(left, top) - content.topLeft());
}

} // namespace

QSize GetWindowAvailableSize(WindowRef window)
{
    QRect area;
    Rect frame{};
    if (!isUsable(window) || !screenRoom(window, &area, &frame))
        return QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    return QSize(std::max(1, area.width() - frame.left - frame.right),
                 std::max(1, area.height() - frame.top - frame.bottom));
}

void ShowWindow(WindowRef window)
{
    if (!isUsable(window))
        return;
    fitToScreen(window);
    window->widget()->show();
}

void SelectWindow(WindowRef window)
{
    if (!isUsable(window))
        return;
    moveToFront(window);
    QWidget* widget = window->widget();
    widget->raise();
    // The focus moves only among the program's own windows: a program the
    // user is working in keeps it. A window whose own tool window (a drawer)
    // has the focus is active already.
    const QWidget* active = QApplication::activeWindow();
    if (!active || active == widget || active->parentWidget() == widget)
        return;
    ActivateWindowWidget(widget);
}

OSStatus CollapseWindow(WindowRef window, Boolean collapse)
{
    if (!isUsable(window))
        return errInvalidWindowRef;
    QWidget* widget = window->widget();
    const Qt::WindowStates state = widget->windowState();
    widget->setWindowState(collapse ? state | Qt::WindowMinimized : state & ~Qt::WindowMinimized);
    return noErr;
}

Boolean IsWindowCollapsed(WindowRef window)
{
    return isUsable(window) && window->widget()->isMinimized();
}

void DisposeWindow(WindowRef window)
{
    if (!window || window->m_disposed)
        return;
    window->m_disposed = true;
    auto& list = windowList();
    list.erase(std::remove(list.begin(), list.end(), window), list.end());
    window->sendSimpleEvent(kEventWindowClosed);
    window->m_target->invalidate();
    if (QWidget* widget = window->widget()) {
        const bool wasVisible = widget->isVisible();
        widget->hide();
        // The widget (and with it this object) goes when control is back in
        // the loop: the caller may be one of its own event handlers.
        widget->deleteLater();
        if (wasVisible)
            scheduleLastWindowCheck();
    }
}

EventTargetRef GetWindowEventTarget(WindowRef window)
{
    return window ? window->target() : nullptr;
}

OSStatus InstallWindowEventHandler(WindowRef window, EventHandlerUPP handler, ItemCount numTypes,
                                   const EventTypeSpec* typeList, void* userData,
                                   EventHandlerRef* outRef)
{
    return InstallEventHandler(GetWindowEventTarget(window), handler, numTypes, typeList, userData,
                               outRef);
}

WindowRef FrontWindow()
{
    for (WindowRef window : windowList()) {
        if (isUsable(window) && window->widget()->isVisible())
            return window;
    }
    return nullptr;
}

WindowRef GetNextWindow(WindowRef window)
{
    const auto& list = windowList();
    auto found = std::find(list.begin(), list.end(), window);
    if (found == list.end() || ++found == list.end())
        return nullptr;
    return *found;
}

std::vector<WindowRef> GetWindowList()
{
    return windowList();
}

EventTargetRef GetUserFocusEventTarget()
{
    WindowRef front = FrontWindow();
    return front ? front->target() : GetApplicationEventTarget();
}

void QDFlushPortBuffer(CGrafPtr port, RgnHandle)
{
    if (!isUsable(port) || !port->widget()->isVisible())
        return;
    port->widget()->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                    QEventLoop::ExcludeSocketNotifiers);
}

void SetQuitWhenLastWindowCloses(bool quit)
{
    quitWhenLastWindowCloses = quit;
}
