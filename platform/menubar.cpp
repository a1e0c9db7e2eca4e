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
#include <QStyleOptionMenuItem>
#include <QSystemTrayIcon>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

constexpr OSStatus resNotFound = -192;

const QString kAttachedMenuBarName = QStringLiteral("tavi_menubar");

// A menu bar that keeps its window wide enough for every menu. A plain one
// makes do with the width it gets and moves the menus that do not fit behind
// an extension button: in a narrow window (the floating window) a large font
// then hid the last menus. A layout does not count a menu bar's width, so
// the bar raises its window's minimum width itself, whenever the window's
// layout is redone (a font change redoes it).
class WholeMenuBar final : public QMenuBar {
public:
    explicit WholeMenuBar(QWidget* window)
        : QMenuBar(window), designedMinimum(window->minimumWidth())
    {
        window->installEventFilter(this);
    }

    // The width that shows every menu.
    int wholeWidth() const
    {
        const QStyle* s = style();
        const int spacing = s->pixelMetric(QStyle::PM_MenuBarItemSpacing, nullptr, this);
        int width = 2 * (s->pixelMetric(QStyle::PM_MenuBarPanelWidth, nullptr, this) +
                         s->pixelMetric(QStyle::PM_MenuBarHMargin, nullptr, this));
        for (QAction* action : actions()) {
            if (!action->isVisible())
                continue;
            QStyleOptionMenuItem option;
            initStyleOption(&option, action);
            const QSize text = fontMetrics().size(Qt::TextShowMnemonic, action->text());
            width +=
                s->sizeFromContents(QStyle::CT_MenuBarItem, &option, text, this).width() + spacing;
        }
        return width;
    }

    void keepWindowWide() const
    {
        QWidget* window = parentWidget();
        if (!window || !window->layout())
            return;
        const int least =
            std::max({designedMinimum, window->layout()->totalMinimumSize().width(), wholeWidth()});
        if (window->minimumWidth() != least)
            window->setMinimumWidth(least);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == parentWidget() && event->type() == QEvent::LayoutRequest)
            keepWindowWide();
        return QMenuBar::eventFilter(watched, event);
    }

private:
    int designedMinimum; // the window's own, which the bar only raises
};

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
    QMenuBar* bar = nullptr;
    if (mainWindow) {
        bar = new QMenuBar(widget);
        fillWithMenus(bar, [bar](QMenu* menu) { bar->addMenu(menu); });
        mainWindow->setMenuBar(bar);
    } else {
        auto* whole = new WholeMenuBar(widget);
        fillWithMenus(whole, [whole](QMenu* menu) { whole->addMenu(menu); });
        if (existing)
            delete existing;
        layout->setMenuBar(whole);
        whole->keepWindowWide();
        bar = whole;
    }
    bar->setObjectName(kAttachedMenuBarName);
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
