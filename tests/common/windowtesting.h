#pragma once

// Helpers shared by the window tests: disposing every window between tests,
// recorded alerts as "message / explanation" lines, menu items and whole files.

#include "platform/controls.h"
#include "platform/menubar.h"
#include "platform/menus.h"
#include "platform/windows.h"
#include "tests/common/testdoubles.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QStringList>

namespace wtest {

inline void disposeAllWindows()
{
    for (WindowRef window : GetWindowList())
        DisposeWindow(window);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

inline QStringList alertTexts(const RecordingAlertPresenter* alerts)
{
    QStringList texts;
    for (const AlertRequest& request : alerts->requests)
        texts << request.message + QStringLiteral(" / ") + request.explanation;
    return texts;
}

// A control's text, as the program reads it.
inline QString controlText(ControlRef control)
{
    QString text;
    GetControlData(control, kControlEntireControl, kControlStaticTextCFStringTag, sizeof text,
                   &text, nullptr);
    return text;
}

// The menu bar's item that issues `command` (null for none); `menu` gets
// the menu that holds it.
inline QAction* menuItem(MenuCommand command, QMenu** menu = nullptr)
{
    for (QMenu* holder : GetMenuBarMenus()) {
        for (QAction* action : holder->actions()) {
            MenuCommand issued = 0;
            if (GetMenuActionCommand(action, &issued) && issued == command) {
                if (menu)
                    *menu = holder;
                return action;
            }
        }
    }
    return nullptr;
}

// The file's bytes; empty when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace wtest
