#pragma once
// Commands. A menu item (QAction), push or tool button, or pop-up item that
// carries a command becomes a kEventCommandProcess event whose direct object
// is its HICommand. A control's command goes to the control, then its
// enclosing controls, its window and the application, for as long as the
// handlers answer eventNotHandledErr; a menu bar item goes to the front
// window (or the application when no window is visible).
//
// Widgets and actions carry their command in the dynamic property "command",
// a 4-character string with its trailing blanks ("ok  ", "ADD "). Items of a
// QComboBox carry theirs as item data under kCommandIDRole (an unsigned
// command ID), or, for items from a .ui file, in the combo box's dynamic
// property "itemCommands" (a list of 4-character strings, one per item).

#include "platform/types.h"

#include <Qt>

class QObject;
class QWidget;

// Sends a command-process event with the command to the target and returns
// the handlers' answer (eventNotHandledErr when nobody handled it).
OSStatus ProcessHICommand(const HICommand& command, EventTargetRef target);
