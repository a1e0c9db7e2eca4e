#pragma once
// The history file and the history export.
//
// The history file "TaviDictionaryHistory" in the user's preferences folder
// keeps the looked-up characters from one run to the next, one line per
// history element, oldest first: the letter U, then "+" and the uppercase
// hexadecimal code point of each character of the entry's key.
//
// The export writes the history, newest first, as lines of three
// tab-separated columns (character, reading, definition, as the floating
// window shows them), every piece as big-endian UTF-16 behind its own
// byte-order mark.

#include "app/prefs.h"
#include "platform/types.h"
#include "store/readresult.h"

#include <QUrl>

#include <string>
#include <vector>

class QString;
class WriteStream;

// The history file's path; empty when there is no preferences folder.
std::string getHistoryLocation();
// Writes the history file. The new file replaces the old one only once it is
// completely on disk. False when it could not be written; the file and the
// reason are then added to `failures` when given.
bool saveHistory(std::vector<SaveFailure>* failures = nullptr);
// Reads the history file into the history; with nothing read, looks up 歡迎.
// Says why when the file exists but cannot be read; such a file is then
// left as it is, and saveHistory does not replace it in this run.
ReadResult loadHistory();
// Saves the history a moment from now, once for a burst of changes; needs
// the event loop (the save at quit writes it in any case).
void scheduleHistorySave();
constexpr int kHistorySaveDelayMs = 500;
// Removes the temporary files that saves of the history and the preferences
// left when they were killed part way.
void removeStaleSaveFiles();
// Asks for a file and exports the history into it.
void writeOutHistory();
// Writes the text's UTF-16 external representation (mark, then units).
void addCFSTRtoFile(WriteStream* stream, const QString& text);
// Runs the save dialog; an empty URL when the user cancels.
QUrl getHistorySaveLocation();
QUrl getSaveLocation(const QString& fileName, const QString& message, WindowRef parent);

// The history as flashcards for a flashcard program's plain-text import:
// UTF-8 without a byte-order mark, oldest first, one line per entry of
// character, tone-marked Mandarin reading and definition, tab-separated;
// a fourth column of Cantonese readings when any entry has one.
std::string flashcardText();
// Asks for a file and writes the flashcards into it; a failure leaves any
// old file as it was and alerts.
void writeOutFlashcards();

// At most this many characters are looked up together from one line.
constexpr std::size_t kHistoryLookupLimit = 32;
