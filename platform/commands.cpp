#include "platform/commands.h"

#include "platform/internal.h"

#include "platform/controls.h"
#include "platform/events.h"
#include "platform/windows.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPointer>
#include <QStringList>
#include <QWidget>

static OSStatus SendCommandFromControl(ControlRef control, UInt32 commandID);
// menu may be null; item is counted from 1.
static OSStatus SendCommandFromMenu(MenuRef menu, MenuItemIndex item, UInt32 commandID);

namespace {

const char* const kCommandProperty = "command";
const char* const kItemCommandsProperty = "itemCommands";
const char* const kConnectedProperty = "_taviCommandConnected";

bool markConnected(QObject* object)
{
    if (object->property(kConnectedProperty).toBool())
        return false;
    object->setProperty(kConnectedProperty, true);
    return true;
}

bool comboItemCommand(const QComboBox* box, int index, UInt32* outCommandID)
{
    const QVariant data = box->itemData(index, kCommandIDRole);
    if (data.isValid()) {
        bool ok = false;
        const uint command = data.toUInt(&ok);
        if (ok) {
            *outCommandID = command;
            return true;
        }
    }
    const QStringList commands = box->property(kItemCommandsProperty).toStringList();
    return index >= 0 && index < commands.size() &&
           fourCharCodeFromString(commands.at(index), outCommandID);
}

QMenu* menuOf(const QAction* action)
{
    for (QObject* object : action->associatedObjects()) {
        if (auto* menu = qobject_cast<QMenu*>(object))
            return menu;
    }
    return nullptr;
}

} // namespace

OSStatus ProcessHICommand(const HICommand& command, EventTargetRef target)
{
    if (!target)
        return paramErr;
    return ScopedEvent(kEventClassCommand, kEventCommandProcess, typeHICommand, command)
        .send(target);
}

static OSStatus SendCommandFromControl(ControlRef control, UInt32 commandID)
{
    if (!control)
        return paramErr;
    HICommand command{};
    command.attributes = kHICommandFromControl;
    command.commandID = commandID;
    return ProcessHICommand(command, GetControlEventTarget(control));
}

static OSStatus SendCommandFromMenu(MenuRef menu, MenuItemIndex item, UInt32 commandID)
{
    HICommand command{};
    command.attributes = kHICommandFromMenu;
    command.commandID = commandID;
    command.menu.menuRef = menu;
    command.menu.menuItemIndex = item;
    return ProcessHICommand(command, GetUserFocusEventTarget());
}

bool GetObjectCommand(const QObject* object, UInt32* outCommandID)
{
    if (!object || !outCommandID)
        return false;
    const QVariant value = object->property(kCommandProperty);
    return value.isValid() && fourCharCodeFromString(value.toString(), outCommandID);
}

void ConnectCommandSources(QWidget* root)
{
    if (!root)
        return;
    UInt32 command = 0;
    QList<QAbstractButton*> buttons = root->findChildren<QAbstractButton*>();
    if (auto* self = qobject_cast<QAbstractButton*>(root))
        buttons.prepend(self);
    for (QAbstractButton* button : buttons) {
        if (!GetObjectCommand(button, &command) || !markConnected(button))
            continue;
        QObject::connect(button, &QAbstractButton::clicked, button, [button] {
            UInt32 id = 0;
            if (GetObjectCommand(button, &id))
                SendCommandFromControl(GetControlFromWidget(button), id);
        });
    }
    for (QComboBox* box : root->findChildren<QComboBox*>()) {
        if (!markConnected(box))
            continue;
        QObject::connect(box, &QComboBox::activated, box, [box](int index) {
            UInt32 id = 0;
            if (comboItemCommand(box, index, &id))
                SendCommandFromControl(GetControlFromWidget(box), id);
        });
    }
    for (QAction* action : root->findChildren<QAction*>()) {
        if (!GetObjectCommand(action, &command) || !markConnected(action))
            continue;
        QPointer<QWidget> guardedRoot(root);
        QObject::connect(action, &QAction::triggered, action, [action, guardedRoot] {
            UInt32 id = 0;
            if (!GetObjectCommand(action, &id))
                return;
            QMenu* menu = menuOf(action);
            const auto item = MenuItemIndex(menu ? menu->actions().indexOf(action) + 1 : 0);
            WindowRef window = guardedRoot ? GetWindowFromWidget(guardedRoot) : nullptr;
            if (!window) {
                SendCommandFromMenu(menu, item, id);
                return;
            }
            HICommand hiCommand{};
            hiCommand.attributes = menu ? kHICommandFromMenu : kHICommandFromWindow;
            hiCommand.commandID = id;
            hiCommand.menu.menuRef = menu;
            hiCommand.menu.menuItemIndex = item;
            ProcessHICommand(hiCommand, GetWindowEventTarget(window));
        });
    }
}
