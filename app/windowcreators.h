#pragma once
// The windows that start-up and the application commands open.

#include "windows/dictionary/dictionarywindow.h" // createDictionaryWindow
#include "windows/floating/floatingwindow.h"     // createFloatingWindow

// Opens the dictionary window, or brings the open one forward.
bool openDictionaryWindow();
// Opens the floating window, or brings it forward.
bool openFloatingWindow();
