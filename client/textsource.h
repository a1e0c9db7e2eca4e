#pragma once
// Where tavi-service takes the text to send from: its arguments; else
// standard input when that is a pipe or a file; else the text the user has
// selected (the primary selection), falling back to the clipboard.

#include "app/servicenames.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// A text, or why there is none.
struct TextSource {
    QString text;
    QString error;         // not empty on failure
    bool badBytes = false; // UTF-8 input had bytes that became U+FFFD
};

// The largest text that is sent, in UTF-16 units: the most Tavi takes.
constexpr qsizetype kMaxTextUnits = tavi_dbus::maxTextUnits;

// The words joined by blanks, as they are.
TextSource textFromArguments(const QStringList& words);

// True when standard input is a pipe or a regular file. A terminal is left
// alone, and so is /dev/null or a socket, which is what a keyboard shortcut
// of the desktop usually gives: then the selection is used.
bool standardInputHoldsText();
// All of standard input as UTF-8, blanks and line breaks around it removed.
// A text that holds a NUL is refused: the bus cannot carry it.
TextSource textFromStandardInput();
// The same for bytes already read. More than kMaxTextUnits * 3 bytes before
// a final line break are refused unread: no UTF-8 text of kMaxTextUnits
// units is longer.
TextSource textFromBytes(const QByteArray& bytes);

// The same for the bytes of a selection read from the Wayland compositor.
TextSource textFromSelectionBytes(const QByteArray& bytes);
// The most bytes a selection is read to: no UTF-8 text of kMaxTextUnits
// units is longer.
constexpr qsizetype kMaxSelectionBytes = kMaxTextUnits * 3;

// True when a display can be reached for the selection.
bool selectionAvailable();
// The primary selection, else the clipboard, blanks around it removed.
// Needs a QGuiApplication.
TextSource textFromSelection();
