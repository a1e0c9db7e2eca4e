#pragma once
// The application event loop. RunApplicationEventLoop runs QApplication's
// loop until QuitApplicationEventLoop, the 'quit' command, SIGINT, SIGTERM or SIGHUP
// ends it, and then returns normally, so that the code after it (releasing
// resources, saving preferences) always runs.

#include "platform/types.h"

// Runs the loop; returns at once when a quit was asked for before it started.
// Needs a QApplication. Installs the signal handling on first use.
void RunApplicationEventLoop();
// Ends the running loop (and any modal loop inside it). Called before the
// loop runs, it makes the next RunApplicationEventLoop return at once.
void QuitApplicationEventLoop();

// SIGINT, SIGTERM and SIGHUP become a quit of the loop: the signal handler
// writes to a pipe that the loop reads. SIGPIPE is ignored. Safe to call more
// than once. Returns false (and prints why) when the pipe or the handlers
// cannot be set up.
bool InstallTerminationSignalHandlers();
// True once a signal has ended (or asked to end) the run: no one may be there
// to answer an alert.
bool WasApplicationQuitBySignal();
