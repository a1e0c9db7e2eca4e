#pragma once
// Start-up, the run and shutdown of the application.

#include "platform/types.h"

#include "store/locations.h"

class dictionary;
class LoadProgress;

using DictionaryLoader = DictionaryLoadReport (*)(dictionary*, LoadProgress*);

// Opens the interface resources, installs the menu bar, loads the
// dictionaries behind the loading window (with `loader`; tests hand in their
// own) and alerts once when the shipped dictionary or its index could not be
// read (the run goes on with what was read), loads the preferences, opens
// the windows they ask for, installs the application handler and runs the
// event loop. When the loop ends (Quit from the menu or the tray, SIGINT,
// SIGTERM, SIGHUP, or the last window closed without a tray) it releases the
// interface resources and saves the preferences, the history and the user's
// edits; a file that cannot be written is shown in an alert that offers to
// try again or to quit without saving (after a signal, it is printed on
// standard error instead). Needs a QApplication. 0 after a normal run; the
// status of the failed step when the interface resources or the menu bar
// cannot be loaded.
OSStatus runTavi(DictionaryLoader loader);
OSStatus runTavi();

// Names the program after its desktop entry, com.Quillon.Tavi, for the
// windows it opens from here on (runTavi does this first).
void setDesktopIdentity();

// The process exit status for a result of runTavi: 0 for 0, and never 0 for
// a failure (only the low 8 bits of an exit status survive).
int exitStatusFor(OSStatus status);
