#pragma once
// Linux has no global menu bar, so each of Tavi's main windows -- the
// dictionary window and the floating window -- shows the installed menu bar
// (the same actions, so shortcuts work from either window).

#include "platform/types.h"

// From now on, a main window that has no menu bar of its own gets the
// installed one when it is shown. Safe to call more than once.
void showMenuBarInMainWindows();
// Whether the window carries the tag of a main window.
bool isMainWindow(WindowRef window);
