#pragma once
// Raw key events. In a window that asks for them, each key press becomes a
// {kEventClassKeyboard, kEventRawKeyDown} event sent to the window's target
// before any widget sees the key; a handler that answers noErr consumes the
// key, any other answer lets the window's widgets handle it as usual.
//
// Parameters of the event:
//   kEventParamKeyMacCharCodes  typeChar, 1 byte: the key's character code
//       (8 for Backspace and for Delete, 13 Return, 3 Enter, 9 Tab, 27
//       Escape, 28 to 31 the arrows left, right, up, down; else the typed
//       character when it is ASCII, and 0)
//   kEventParamKeyCode          typeUInt32: the Qt key number

#include "platform/windows.h"

OSStatus SetWindowSendsRawKeyEvents(WindowRef window, Boolean send);
