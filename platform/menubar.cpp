#include "platform/menubar.h"

#include "platform/internal.h"

#include "platform/commands.h"
#include "platform/windows.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStyle>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

namespace {

constexpr OSStatus resNotFound = -192;

const QString kAttachedMenuBarName = QStringLiteral("tavi_menubar");

struct MenuBarState {
    std::unique_ptr<QMainWindow> source;
    QList<QPointer<QMenu>> menus;
    std::unique_ptr<QSystemTrayIcon> trayIcon;
    std::unique_ptr<QMenu> trayMenu;
};

// Never destroyed: widgets must not outlive the QApplication, and the menu
// bar lives for the whole run.
MenuBarState& state()
{
    static auto* s = new MenuBarState;
    return *s;
}

// A menu showing the installed menus, each a copy holding the same actions.
void fillWithMenus(QWidget* owner, const std::function<void(QMenu*)>& add)
{
    for (const QPointer<QMenu>& menu : state().menus) {
        if (!menu)
            continue;
        auto* copy = new QMenu(menu->title(), owner);
        copy->setToolTipsVisible(menu->toolTipsVisible());
        copy->addActions(menu->actions());
        add(copy);
    }
}

QIcon trayIconImage()
{
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(QStyle::SP_ComputerIcon);
    return icon;
}

} // namespace

OSStatus InstallMenuBar(QMainWindow* source)
{
    if (!source)
        return paramErr;
    QList<QMenu*> menus;
    if (QMenuBar* bar = source->menuBar()) {
        for (QAction* action : bar->actions()) {
            if (QMenu* menu = action->menu())
                menus.append(menu);
        }
    }
    if (menus.isEmpty()) {
        delete source;
        return kIBCarbonRuntimeObjectNotOfRequestedType;
    }
    MenuBarState& s = state();
    s.trayIcon.reset();
    s.trayMenu.reset();
    s.source.reset(source);
    source->hide();
    s.menus.clear();
    for (QMenu* menu : menus)
        s.menus.append(menu);

    ConnectCommandSources(source);
    UInt32 command = 0;
    for (QAction* action : source->findChildren<QAction*>()) {
        if (GetObjectCommand(action, &command) && command == kHICommandQuit &&
            action->shortcut().isEmpty())
            action->setShortcut(QKeySequence::Quit);
    }

    for (WindowRef window : GetWindowList()) {
        if (WindowWantsMenuBar(window))
            AttachMenuBarToWindow(window);
    }

    const bool haveTray = QSystemTrayIcon::isSystemTrayAvailable();
    if (haveTray) {
        s.trayMenu = std::make_unique<QMenu>();
        fillWithMenus(s.trayMenu.get(), [&](QMenu* menu) { s.trayMenu->addMenu(menu); });
        s.trayIcon = std::make_unique<QSystemTrayIcon>(trayIconImage());
        s.trayIcon->setToolTip(QApplication::applicationDisplayName());
        s.trayIcon->setContextMenu(s.trayMenu.get());
        QObject::connect(s.trayIcon.get(), &QSystemTrayIcon::activated, s.trayIcon.get(),
                         [](QSystemTrayIcon::ActivationReason reason) {
                             if (reason == QSystemTrayIcon::Trigger && state().trayMenu)
                                 state().trayMenu->popup(QCursor::pos());
                         });
        s.trayIcon->show();
    }
    SetQuitWhenLastWindowCloses(!haveTray);
    return noErr;
}

bool WindowWantsMenuBar(WindowRef window)
{
    QWidget* widget = GetWindowWidget(window);
    if (!widget)
        return false;
    const QVariant wanted = widget->property("showsMenuBar");
    if (wanted.isValid())
        return wanted.toBool();
    // The program's main windows: documents and the utility (floating)
    // window, from which the user must reach the menus when it is alone.
    const QString kind = widget->property("windowKind").toString();
    return qobject_cast<QMainWindow*>(widget) != nullptr || kind == u"document" ||
           kind == u"utility";
}

OSStatus AttachMenuBarToWindow(WindowRef window)
{
    QWidget* widget = GetWindowWidget(window);
    if (!widget)
        return errInvalidWindowRef;
    if (state().menus.isEmpty())
        return resNotFound;
    auto* mainWindow = qobject_cast<QMainWindow*>(widget);
    QLayout* layout = mainWindow ? nullptr : widget->layout();
    if (!mainWindow && !layout)
        return paramErr;
    // A menu bar of the window's own (one with items) is left alone.
    QWidget* existing = mainWindow ? mainWindow->menuWidget() : layout->menuBar();
    if (existing && existing->objectName() != kAttachedMenuBarName) {
        auto* bar = qobject_cast<QMenuBar*>(existing);
        if (!bar || !bar->actions().isEmpty())
            return noErr;
    }
    const bool replacing = existing && existing->objectName() == kAttachedMenuBarName;
    auto* bar = new QMenuBar(widget);
    bar->setObjectName(kAttachedMenuBarName);
    fillWithMenus(bar, [bar](QMenu* menu) { bar->addMenu(menu); });
    if (mainWindow) {
        mainWindow->setMenuBar(bar);
    } else {
        if (existing)
            delete existing;
        layout->setMenuBar(bar);
    }
    // The window grows by the menu bar, so its content keeps its size.
    if (!replacing)
        widget->resize(widget->width(), widget->height() + WindowContentTopInset(widget));
    return noErr;
}

QList<QMenu*> GetMenuBarMenus()
{
    QList<QMenu*> menus;
    for (const QPointer<QMenu>& menu : state().menus) {
        if (menu)
            menus.append(menu);
    }
    return menus;
}

QSystemTrayIcon* GetMenuBarStatusIcon()
{
    return state().trayIcon.get();
}
