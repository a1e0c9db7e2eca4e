#include "platform/windowgroups.h"

#include "platform/internal.h"

#include <QAbstractButton>
#include <QEvent>
#include <QLayout>
#include <QPointer>
#include <QWidget>

#include <algorithm>

class WindowGroup {
public:
    WindowGroupAttributes attributes = 0;
    WindowGroup* parent = nullptr;
    WindowClass windowClass = 0; // the class whose group this is, or 0
    std::vector<QPointer<PlatformWindow>> windows;
};

namespace {

// A drawer's docking: its parent, offsets and state. A child of the drawer's
// widget; it watches the parent's widget only.
class DrawerController : public QObject {
public:
    DrawerController(WindowRef drawer, QWidget* drawerWidget)
        : QObject(drawerWidget), drawer(drawer), drawerWidget(drawerWidget)
    {
    }
    ~DrawerController() override
    {
        if (closedHandler)
            RemoveEventHandler(closedHandler);
    }

    static DrawerController* of(WindowRef drawer)
    {
        QWidget* widget = GetWindowWidget(drawer);
        if (!widget)
            return nullptr;
        for (QObject* child : widget->children()) {
            if (auto* controller = dynamic_cast<DrawerController*>(child))
                return controller;
        }
        return nullptr;
    }

    void attach(WindowRef newParent);
    void place();
    void open();
    void close();

    QPointer<PlatformWindow> drawer;
    QPointer<QWidget> drawerWidget;
    QPointer<PlatformWindow> parentWindow;
    QPointer<QWidget> parentWidget;
    EventHandlerRef closedHandler = nullptr;
    float leadingOffset = 0;
    float trailingOffset = 0;
    bool isOpen = false;
    // Where windows cannot be placed (Wayland), the drawer is a panel inside
    // its parent's left edge: the parent widens by the panel while it is open.
    bool asPanel = false;
    int widenedBy = 0;

private:
    void widenParent(bool open);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Utility windows, and the windows of groups under the utility class group.
bool floatsAsUtility(WindowRef window)
{
    if (window->windowClass == kUtilityWindowClass)
        return true;
    for (WindowGroupRef g = window->group; g; g = g->parent) {
        if (g->windowClass == kUtilityWindowClass)
            return true;
    }
    return false;
}

// Raises the window, then its open drawers above it.
void raiseWithDrawers(WindowRef window)
{
    QWidget* widget = GetWindowWidget(window);
    if (!widget || !widget->isVisible())
        return;
    widget->raise();
    for (QWidget* child : widget->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        DrawerController* c = DrawerController::of(GetWindowFromWidget(child));
        if (c && child->isWindow() && c->parentWidget == widget && child->isVisible())
            child->raise();
    }
}

// When a window of the program comes forward, the other windows of its group
// come with it (layer together), and the floating windows go back above it.
OSStatus windowActivated(EventRef event)
{
    WindowRef window = nullptr;
    GetEventParameter(event, kEventParamDirectObject, typeWindowRef, nullptr, sizeof window,
                      nullptr, &window);
    if (!GetWindowWidget(window))
        return eventNotHandledErr;
    if (window->group && (window->group->attributes & kWindowGroupAttrLayerTogether)) {
        for (WindowRef mate : window->group->windows) {
            if (mate && mate != window)
                raiseWithDrawers(mate);
        }
        raiseWithDrawers(window);
    }
    if (!floatsAsUtility(window)) {
        for (WindowRef other : GetWindowList()) {
            if (floatsAsUtility(other))
                raiseWithDrawers(other);
        }
    }
    return eventNotHandledErr;
}

// Every window's activation passes on to the application target.
void watchActivation()
{
    static bool installed = false;
    if (installed)
        return;
    static constexpr EventTypeSpec kActivated{kEventClassWindow, kEventWindowActivated};
    installed = InstallEventHandlerFunction(
                    GetApplicationEventTarget(),
                    [](EventHandlerCallRef, EventRef event) { return windowActivated(event); }, 1,
                    &kActivated, nullptr) == noErr;
}

} // namespace

// ---------------------------------------------------------------------------
// Classes.

OSStatus HIWindowChangeClass(WindowRef window, WindowClass windowClass)
{
    QWidget* widget = GetWindowWidget(window);
    if (!widget)
        return errInvalidWindowRef;
    if (windowClass != kUtilityWindowClass)
        return paramErr;
    const bool visible = widget->isVisible();
    const QRect geometry = widget->geometry();
    widget->setWindowFlags((widget->windowFlags() & ~Qt::WindowType_Mask) | Qt::Tool);
    widget->setGeometry(geometry);
    if (visible)
        widget->show();
    window->windowClass = windowClass;
    watchActivation();
    return noErr;
}

// ---------------------------------------------------------------------------
// Attributes.

OSStatus ChangeWindowAttributes(WindowRef window, WindowAttributes setThese,
                                WindowAttributes clearThese)
{
    QWidget* widget = GetWindowWidget(window);
    if (!widget)
        return errInvalidWindowRef;
    window->attributes = (window->attributes | setThese) & ~clearThese;
    const bool toolbar = window->attributes & kWindowToolbarButtonAttribute;
    for (QAbstractButton* button : widget->findChildren<QAbstractButton*>()) {
        if (!button->property("toolbarButton").toBool())
            continue;
        button->setVisible(toolbar);
        if (!toolbar || button->property("_taviToolbarConnected").toBool())
            continue;
        button->setProperty("_taviToolbarConnected", true);
        QPointer<PlatformWindow> guarded = window;
        QObject::connect(button, &QAbstractButton::clicked, button, [guarded] {
            if (guarded && !guarded->isDisposed() &&
                (guarded->attributes & kWindowToolbarButtonAttribute))
                ScopedEvent(kEventClassWindow, kEventWindowToolbarSwitchMode, typeWindowRef,
                            WindowRef(guarded))
                    .send(GetWindowEventTarget(guarded));
        });
    }
    return noErr;
}

// ---------------------------------------------------------------------------
// Groups.

OSStatus CreateWindowGroup(WindowGroupAttributes attributes, WindowGroupRef* outGroup)
{
    if (!outGroup)
        return paramErr;
    *outGroup = new WindowGroup;
    (*outGroup)->attributes = attributes;
    return noErr;
}

WindowGroupRef GetWindowGroupOfClass(WindowClass windowClass)
{
    static WindowGroup utility{0, nullptr, kUtilityWindowClass, {}};
    return windowClass == kUtilityWindowClass ? &utility : nullptr;
}

OSStatus SetWindowGroupParent(WindowGroupRef group, WindowGroupRef parent)
{
    if (!group)
        return paramErr;
    for (WindowGroupRef g = parent; g; g = g->parent) {
        if (g == group)
            return paramErr; // a group cannot be its own ancestor
    }
    group->parent = parent;
    return noErr;
}

OSStatus SetWindowGroup(WindowRef window, WindowGroupRef group)
{
    if (!GetWindowWidget(window))
        return errInvalidWindowRef;
    if (window->group == group)
        return noErr;
    if (WindowGroupRef old = window->group)
        std::erase_if(old->windows, [window](const auto& w) { return !w || w == window; });
    window->group = group;
    if (group) {
        std::erase_if(group->windows, [](const auto& w) { return !w; });
        group->windows.emplace_back(window);
    }
    watchActivation();
    return noErr;
}

OSStatus ChangeWindowGroupAttributes(WindowGroupRef group, WindowGroupAttributes setThese,
                                     WindowGroupAttributes clearThese)
{
    if (!group)
        return paramErr;
    group->attributes = (group->attributes | setThese) & ~clearThese;
    return noErr;
}

// ---------------------------------------------------------------------------
// Drawers.

void DrawerController::attach(WindowRef newParent)
{
    widenParent(false);
    if (parentWidget)
        parentWidget->removeEventFilter(this);
    if (closedHandler) {
        RemoveEventHandler(closedHandler);
        closedHandler = nullptr;
    }
    parentWindow = newParent;
    parentWidget = GetWindowWidget(newParent);
    if (!parentWidget)
        return;
    const QRect geometry = drawerWidget->geometry();
    const bool wasVisible = drawerWidget->isVisible();
    asPanel = WindowPositionsAreHidden();
    if (asPanel) {
        drawerWidget->setParent(parentWidget, Qt::Widget);
        drawerWidget->setAutoFillBackground(true);
    } else {
        // A tool window that belongs to the parent: it stays in front of it
        // and goes with it.
        drawerWidget->setParent(parentWidget, Qt::Tool | Qt::FramelessWindowHint);
    }
    drawerWidget->resize(geometry.size());
    if (wasVisible && isOpen) {
        widenParent(true);
        drawerWidget->show();
    }
    parentWidget->installEventFilter(this);
    static constexpr EventTypeSpec kClosed{kEventClassWindow, kEventWindowClosed};
    QPointer<PlatformWindow> guarded = drawer;
    InstallEventHandlerFunction(
        GetWindowEventTarget(newParent),
        [guarded](EventHandlerCallRef, EventRef) {
            if (guarded)
                DisposeWindow(guarded);
            return eventNotHandledErr;
        },
        1, &kClosed, &closedHandler);
    if (isOpen)
        place();
}

void DrawerController::widenParent(bool open)
{
    const int by = open && drawerWidget ? drawerWidget->width() : 0;
    if (!parentWidget || by == widenedBy)
        return;
    // The parent's contents move over by the panel, at the size they had.
    if (QLayout* layout = parentWidget->layout()) {
        QMargins margins = layout->contentsMargins();
        margins.setLeft(margins.left() - widenedBy + by);
        layout->setContentsMargins(margins);
        layout->activate(); // the minimum width follows now, not later
    }
    parentWidget->resize(parentWidget->width() - widenedBy + by, parentWidget->height());
    widenedBy = by;
}

void DrawerController::place()
{
    if (!parentWidget || !drawerWidget)
        return;
    if (asPanel) {
        const int top = WindowContentTopInset(parentWidget) + qRound(leadingOffset);
        drawerWidget->setGeometry(
            0, top, drawerWidget->width(),
            std::max(0, parentWidget->height() - top - qRound(trailingOffset)));
        return;
    }
    const QRect frame = parentWidget->frameGeometry();
    const QRect content = parentWidget->geometry();
    const int leading = qRound(leadingOffset);
    const int trailing = qRound(trailingOffset);
    const int width = drawerWidget->width();
    drawerWidget->setGeometry(frame.left() - width, content.top() + leading, width,
                              std::max(0, content.height() - leading - trailing));
}

void DrawerController::open()
{
    isOpen = true;
    if (asPanel)
        widenParent(true);
    place();
    if (parentWidget && parentWidget->isVisible()) {
        ShowWindow(drawer);
        drawerWidget->raise();
    }
}

void DrawerController::close()
{
    isOpen = false;
    if (drawerWidget)
        drawerWidget->hide();
    widenParent(false);
}

bool DrawerController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != parentWidget || !drawerWidget || !isOpen)
        return false;
    if (asPanel) {
        if (event->type() == QEvent::Resize)
            place();
        return false; // a panel is shown and hidden with its parent
    }
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
        place();
        break;
    case QEvent::Show:
        place();
        drawerWidget->show();
        break;
    case QEvent::Hide:
        drawerWidget->hide();
        break;
    default:
        break;
    }
    return false;
}

OSStatus SetDrawerParent(WindowRef drawer, WindowRef parent)
{
    QWidget* widget = GetWindowWidget(drawer);
    if (!widget || !GetWindowWidget(parent) || drawer == parent)
        return errInvalidWindowRef;
    DrawerController* controller = DrawerController::of(drawer);
    if (!controller)
        controller = new DrawerController(drawer, widget);
    if (controller->parentWindow != parent)
        controller->attach(parent);
    return noErr;
}

OSStatus SetDrawerOffsets(WindowRef drawer, float leadingOffset, float trailingOffset)
{
    DrawerController* controller = DrawerController::of(drawer);
    if (!controller)
        return errInvalidWindowRef;
    if (leadingOffset < 0 || trailingOffset < 0)
        return paramErr;
    controller->leadingOffset = leadingOffset;
    controller->trailingOffset = trailingOffset;
    if (controller->isOpen)
        controller->place();
    return noErr;
}

OSStatus OpenDrawer(WindowRef drawer)
{
    DrawerController* controller = DrawerController::of(drawer);
    if (!controller || !controller->parentWidget)
        return errInvalidWindowRef;
    controller->open();
    return noErr;
}

OSStatus ToggleDrawer(WindowRef drawer)
{
    DrawerController* controller = DrawerController::of(drawer);
    if (!controller || !controller->parentWidget)
        return errInvalidWindowRef;
    if (controller->isOpen)
        controller->close();
    else
        controller->open();
    return noErr;
}
