#include "platform/windowgroups.h"

#include "platform/internal.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <map>
#include <memory>

class WindowGroup {
public:
    WindowGroupAttributes attributes = 0;
    WindowGroup* parent = nullptr;
    WindowClass windowClass = 0; // the class whose group this is, or 0
    std::vector<WindowRef> windows;
};

namespace {

struct WindowInfo {
    WindowClass windowClass = kDocumentWindowClass;
    WindowAttributes attributes = kWindowNoAttributes;
    WindowGroupRef group = nullptr;
    QPoint lastPosition;
    bool positionKnown = false;
};

// A drawer's docking: its parent, edges, offsets and state. A child of the
// drawer's widget; it watches the parent's widget.
class DrawerController : public QObject {
public:
    DrawerController(WindowRef drawer, QWidget* drawerWidget)
        : QObject(drawerWidget), drawer(drawer), drawerWidget(drawerWidget)
    {
        all().push_back(this);
    }
    ~DrawerController() override
    {
        all().erase(std::remove(all().begin(), all().end(), this), all().end());
        if (closedHandler)
            RemoveEventHandler(closedHandler);
    }

    static std::vector<DrawerController*>& all()
    {
        static std::vector<DrawerController*> list;
        return list;
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

std::map<const PlatformWindow*, WindowInfo>& infos()
{
    static std::map<const PlatformWindow*, WindowInfo> map;
    return map;
}

QObject* registry()
{
    static auto* object = new QObject;
    return object;
}

std::vector<std::unique_ptr<WindowGroup>>& groups()
{
    static std::vector<std::unique_ptr<WindowGroup>> list;
    return list;
}

bool isGroup(WindowGroupRef group)
{
    return group && std::any_of(groups().begin(), groups().end(),
                                [group](const auto& g) { return g.get() == group; });
}

void leaveGroup(WindowRef window, WindowGroupRef group)
{
    if (!group)
        return;
    auto& list = group->windows;
    list.erase(std::remove(list.begin(), list.end(), window), list.end());
}

WindowInfo& infoOf(WindowRef window)
{
    auto [it, added] = infos().try_emplace(window);
    if (added) {
        QObject::connect(window, &QObject::destroyed, registry(), [window] {
            auto found = infos().find(window);
            if (found == infos().end())
                return;
            leaveGroup(window, found->second.group);
            infos().erase(found);
        });
    }
    return it->second;
}

const WindowInfo* findInfo(WindowRef window)
{
    auto found = infos().find(window);
    return found == infos().end() ? nullptr : &found->second;
}

DrawerController* controllerOf(WindowRef drawer)
{
    if (!drawer)
        return nullptr;
    for (DrawerController* c : DrawerController::all()) {
        if (c->drawer == drawer)
            return c;
    }
    return nullptr;
}

bool isDrawer(WindowRef window)
{
    return controllerOf(window) != nullptr;
}

// Utility windows, and the windows of groups under the utility class group.
bool floatsAsUtility(WindowRef window)
{
    const WindowInfo* info = findInfo(window);
    if (!info)
        return false;
    if (info->windowClass == kUtilityWindowClass)
        return true;
    for (WindowGroupRef g = info->group; g; g = g->parent) {
        if (g->windowClass == kUtilityWindowClass)
            return true;
    }
    return false;
}

void raiseWithDrawers(WindowRef window)
{
    QWidget* widget = GetWindowWidget(window);
    if (!widget || !widget->isVisible())
        return;
    widget->raise();
    for (DrawerController* c : DrawerController::all()) {
        if (c->parentWidget == widget && c->drawerWidget && c->drawerWidget->isVisible())
            c->drawerWidget->raise();
    }
}

// Watches every window of the program for activation and moves.
class LayerWatcher : public QObject {
public:
    static void ensure()
    {
        static LayerWatcher* watcher = nullptr;
        if (watcher || !QCoreApplication::instance())
            return;
        watcher = new LayerWatcher;
        watcher->setParent(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(watcher);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::WindowActivate && type != QEvent::Move)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || !widget->isWindow())
            return false;
        WindowRef window = GetWindowFromWidget(widget);
        if (!window)
            return false;
        if (type == QEvent::WindowActivate)
            activated(window);
        else
            moved(window, widget);
        return false;
    }

private:
    void activated(WindowRef window)
    {
        const WindowInfo* info = findInfo(window);
        if (info && info->group && (info->group->attributes & kWindowGroupAttrLayerTogether)) {
            for (WindowRef mate : info->group->windows) {
                if (mate != window)
                    raiseWithDrawers(mate);
            }
            raiseWithDrawers(window);
        }
        if (floatsAsUtility(window))
            return;
        for (const auto& [w, i] : infos()) {
            Q_UNUSED(i);
            auto* other = const_cast<PlatformWindow*>(w);
            if (!other->isDisposed() && floatsAsUtility(other))
                raiseWithDrawers(other);
        }
    }

    void moved(WindowRef window, QWidget* widget)
    {
        auto found = infos().find(window);
        if (found == infos().end())
            return;
        WindowInfo& info = found->second;
        const QPoint now = widget->pos();
        const QPoint delta = info.positionKnown ? now - info.lastPosition : QPoint();
        info.lastPosition = now;
        info.positionKnown = true;
        if (delta.isNull() || moving || !widget->isVisible() || isDrawer(window) || !info.group ||
            !(info.group->attributes & kWindowGroupAttrMoveTogether))
            return;
        moving = true;
        for (WindowRef mate : info.group->windows) {
            QWidget* mateWidget = GetWindowWidget(mate);
            if (mate == window || !mateWidget || !mateWidget->isVisible() || isDrawer(mate))
                continue;
            WindowInfo& mateInfo = infoOf(mate);
            const QPoint target = mateWidget->pos() + delta;
            // Recorded first, so the mate's own move event carries no delta back.
            mateInfo.lastPosition = target;
            mateInfo.positionKnown = true;
            mateWidget->move(target);
        }
        moving = false;
    }

    bool moving = false;
};

} // namespace

// ---------------------------------------------------------------------------
// Classes.

OSStatus HIWindowChangeClass(WindowRef window, WindowClass windowClass)
{
    QWidget* widget = GetWindowWidget(window);
    if (!widget)
        return errInvalidWindowRef;
    Qt::WindowFlags type;
    if (windowClass == kUtilityWindowClass)
        type = Qt::Tool;
    else if (windowClass == kDocumentWindowClass)
        type = Qt::Window;
    else
        return paramErr;
    const bool visible = widget->isVisible();
    const QRect geometry = widget->geometry();
    widget->setWindowFlags((widget->windowFlags() & ~Qt::WindowType_Mask) | type);
    widget->setGeometry(geometry);
    if (visible)
        widget->show();
    infoOf(window).windowClass = windowClass;
    LayerWatcher::ensure();
    return noErr;
}

// ---------------------------------------------------------------------------
// Attributes.

namespace {

void sendToolbarSwitchMode(WindowRef window)
{
    ScopedEvent(kEventClassWindow, kEventWindowToolbarSwitchMode, typeWindowRef, window)
        .send(GetWindowEventTarget(window));
}

} // namespace

OSStatus ChangeWindowAttributes(WindowRef window, WindowAttributes setThese,
                                WindowAttributes clearThese)
{
    QWidget* widget = GetWindowWidget(window);
    if (!widget)
        return errInvalidWindowRef;
    WindowInfo& info = infoOf(window);
    info.attributes = (info.attributes | setThese) & ~clearThese;
    const bool toolbar = info.attributes & kWindowToolbarButtonAttribute;
    for (QAbstractButton* button : widget->findChildren<QAbstractButton*>()) {
        if (!button->property("toolbarButton").toBool())
            continue;
        button->setVisible(toolbar);
        if (!toolbar || button->property("_taviToolbarConnected").toBool())
            continue;
        button->setProperty("_taviToolbarConnected", true);
        QPointer<PlatformWindow> guarded = window;
        QObject::connect(button, &QAbstractButton::clicked, button, [guarded] {
            const WindowInfo* current = guarded ? findInfo(guarded) : nullptr;
            if (current && (current->attributes & kWindowToolbarButtonAttribute))
                sendToolbarSwitchMode(guarded);
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
    groups().push_back(std::make_unique<WindowGroup>());
    groups().back()->attributes = attributes;
    *outGroup = groups().back().get();
    LayerWatcher::ensure();
    return noErr;
}

WindowGroupRef GetWindowGroupOfClass(WindowClass windowClass)
{
    if (windowClass != kUtilityWindowClass && windowClass != kDocumentWindowClass)
        return nullptr;
    for (const auto& g : groups()) {
        if (g->windowClass == windowClass)
            return g.get();
    }
    groups().push_back(std::make_unique<WindowGroup>());
    groups().back()->windowClass = windowClass;
    return groups().back().get();
}

OSStatus SetWindowGroupParent(WindowGroupRef group, WindowGroupRef parent)
{
    if (!isGroup(group) || (parent && !isGroup(parent)))
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
    if (group && !isGroup(group))
        return paramErr;
    WindowInfo& info = infoOf(window);
    if (info.group == group)
        return noErr;
    leaveGroup(window, info.group);
    info.group = group;
    if (QWidget* widget = GetWindowWidget(window)) {
        info.lastPosition = widget->pos();
        info.positionKnown = true;
    }
    if (group)
        group->windows.push_back(window);
    LayerWatcher::ensure();
    return noErr;
}

OSStatus ChangeWindowGroupAttributes(WindowGroupRef group, WindowGroupAttributes setThese,
                                     WindowGroupAttributes clearThese)
{
    if (!isGroup(group))
        return paramErr;
    group->attributes = (group->attributes | setThese) & ~clearThese;
    return noErr;
}

// ---------------------------------------------------------------------------
// Drawers.

void DrawerController::attach(WindowRef newParent)
{
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
    // A tool window that belongs to the parent: it stays in front of it and
    // goes with it.
    const QRect geometry = drawerWidget->geometry();
    const bool wasVisible = drawerWidget->isVisible();
    drawerWidget->setParent(parentWidget, Qt::Tool | Qt::FramelessWindowHint);
    drawerWidget->resize(geometry.size());
    if (wasVisible && isOpen)
        drawerWidget->show();
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

void DrawerController::place()
{
    if (!parentWidget || !drawerWidget)
        return;
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
}

bool DrawerController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != parentWidget || !drawerWidget || !isOpen)
        return false;
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
    DrawerController* controller = controllerOf(drawer);
    if (!controller)
        controller = new DrawerController(drawer, widget);
    if (controller->parentWindow != parent)
        controller->attach(parent);
    return noErr;
}

OSStatus SetDrawerOffsets(WindowRef drawer, float leadingOffset, float trailingOffset)
{
    DrawerController* controller = controllerOf(drawer);
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
    DrawerController* controller = controllerOf(drawer);
    if (!controller || !controller->parentWidget)
        return errInvalidWindowRef;
    controller->open();
    return noErr;
}

OSStatus ToggleDrawer(WindowRef drawer)
{
    DrawerController* controller = controllerOf(drawer);
    if (!controller || !controller->parentWidget)
        return errInvalidWindowRef;
    if (controller->isOpen)
        controller->close();
    else
        controller->open();
    return noErr;
}
