#pragma once
// The application's menu bar. Linux has no global menu bar, so each main
// window shows a menu bar made of the installed menus (the same QActions, so
// a command and its shortcut work from every window). When the desktop has a
// system tray, a tray icon offers the same menus, so that with every window
// closed the user can still reopen one or quit; then closing the last window
// does not end the program. Without a tray it does (windows.h).

#include "platform/types.h"

#include <QList>

class QMainWindow;
class QSystemTrayIcon;

// Shows the installed menu bar in the window: a QMainWindow's own menu bar,
// or the menu bar of the top-level layout of another widget. paramErr for a
// widget without a layout; resNotFound when no menu bar is installed.
OSStatus AttachMenuBarToWindow(WindowRef window);
// A QMainWindow, a window whose dynamic property windowKind is "document" or
// "utility", or any window with showsMenuBar=true; showsMenuBar=false keeps
// the menu bar away.
bool WindowWantsMenuBar(WindowRef window);

QList<QMenu*> GetMenuBarMenus();
QSystemTrayIcon* GetMenuBarStatusIcon();
