#pragma once
// Menus of controls: the menu of a pop-up button and the search menu of a
// search field are QMenus whose actions are the items, counted from 1. An
// item's command is the action's dynamic property "commandID" (an unsigned
// 32-bit number), or else its "command" property (a 4-character string).
//
// A pop-up button is a QComboBox. Its menu (GetControlData with
// kControlPopupButtonMenuHandleTag) starts with the combo box's own items and
// their commands; the combo box then shows exactly the menu's items, so that
// adding, removing or renaming items of the menu changes the pop-up, and
// choosing an item sends its command from the pop-up (commands.h).

#include "platform/types.h"

#include <QString>

class QAction;

using MenuItemAttributes = UInt32;

UInt16 CountMenuItems(MenuRef menu);
// Removes one item; nothing when there is no such item.
void DeleteMenuItem(MenuRef menu, MenuItemIndex item);
OSStatus AppendMenuItemTextWithCFString(MenuRef menu, const QString& text,
                                        MenuItemAttributes attributes, MenuCommand commandID,
                                        MenuItemIndex* outNewItem);
OSStatus GetMenuItemCommandID(MenuRef menu, MenuItemIndex item, MenuCommand* outCommandID);
void CheckMenuItem(MenuRef menu, MenuItemIndex item, Boolean checked);

// The command of an item's action; false when it has none.
bool GetMenuActionCommand(const QAction* action, MenuCommand* outCommandID);
