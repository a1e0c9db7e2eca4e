#pragma once
// The user's preferences: named 32-bit integers in the domain "com.Quillon.Tavi".

#include "platform/databrowser.h"
#include "platform/types.h"

#include <QString>

#include <vector>

bool getPrefValue(const QString& key, long& value);
bool getPrefValue(const QString& key, bool& value);
void setPrefValue(const QString& key, long value);
void setPrefValue(const QString& key, bool value);

// The entry list's character column; every other column is a field's code.
constexpr DataBrowserPropertyID kCharacterColumn = FOUR_CHAR_CODE("CHAR");

// The column and order the entry list is sorted by when no search is shown;
// saved with the preferences. No column: the order of the dictionary.
struct ListSort {
    DataBrowserPropertyID column = kDataBrowserItemNoProperty;
    UInt16 order = kDataBrowserOrderIncreasing;
};
extern ListSort listSort;

// Fills globals and the field flags from the store. A value that is not one
// the setting can take (a field number that names no field, a corner off the
// 16-bit screen, a code of no field of its kind) counts as missing.
void readPrefValues();
// Puts globals and the field flags into the store and removes every key that
// is not one of these. The windows' state must be in globals already.
void writePrefValues();

// A file that a save could not write, and why.
struct SaveFailure {
    QString path;
    QString reason;
};

OSStatus loadPrefs();
// Writes the preferences and the user's edits to the dictionary. ioErr when
// either could not be written (what was not written stays pending for the
// next save); each such file is added to `failures` when given.
OSStatus savePrefs(std::vector<SaveFailure>* failures = nullptr);
