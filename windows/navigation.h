#pragma once
// What the windows ask of one another: showing an entry in the floating
// window or the dictionary window, recording a look-up in the history, and
// the little state they share. A window's folder includes only this header,
// the shared headers beside it and its own; windows/navigation.cpp joins the
// folders.

#include <QString>

#include <cstdint>

// The floating window.

// Opens the floating window (bringing it forward and expanding it when it is
// open) and shows `ref`: an entry index, or a word from kWordRefBase
// (windows/wordentry.h); -1 shows the one shown last.
void showInFloatingWindow(int64_t ref);
// Shows `ref` in the floating window and brings it forward when it is open;
// nothing otherwise.
void showInOpenFloatingWindow(int64_t ref);
// Opens the floating window, or brings it forward and expands it.
void openFloatingWindow();

// The fields that the floating window and the history export show, as field
// numbers; -1 for a field that is missing.
struct FloatingFields {
    int character = -1;
    int romanization = -1;
    int definition = -1;
};
FloatingFields chooseFloatingFields();

// The dictionary window.

// Opens the dictionary window, or brings it forward, with the text in its
// search field, and lists what a search of every field for it finds, with no
// filter.
void searchDictionary(const QString& text);
// Opens the dictionary window, or brings it forward, and selects the entry
// in its list, scrolled into view; when the list's filter hides the entry,
// the list first shows a search for its character.
void showEntryInDictionary(int32_t entry);
// Saves the user's edits to the user dictionary now. When they cannot be
// written, says so once (until a save works again); they stay pending and
// the next edit and the quit try again.
void saveUserEdits();
// Copies the dictionary and floating windows' state (bounds, divider, list
// sort, whether they are open) into globals before the preferences are saved.
void updateWindowPrefValues();

// The history of quick look-ups.

// Makes `ref` the newest look-up and refreshes the drawer's list.
void recordLookup(int64_t ref);
// The newest look-up, or -1 when the history is empty.
int64_t newestLookup();
