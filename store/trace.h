#pragma once
// The trace lines: what the program is doing step by step ("Filter db for
// items with the field 3"), for whoever runs it with --verbose. They go
// through the logging category "tavi.trace", which is off unless turned on,
// and come out on standard output as UTF-8. What the user must know (a file
// that cannot be read, lines that were skipped) goes to standard error
// instead, always.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(taviTrace)

// Prints the trace lines on standard output from now on (or stops).
void showTraceLines(bool on);
