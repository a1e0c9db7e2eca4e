#pragma once
// The user's preferences: named 32-bit integers in the domain "com.Quillon.Tavi".

#include "platform/types.h"

class QString;

bool getPrefValue(const QString& key, long& value);
bool getPrefValue(const QString& key, bool& value);
void setPrefValue(const QString& key, long value);
void setPrefValue(const QString& key, bool value);

// Copies the dictionary and floating windows' state into globals.
void updateWindowPrefValues();

// Fills globals and the field flags from the store. A value that is not one
// the setting can take (a field number that names no field, a corner off the
// 16-bit screen, a code of no field of its kind) counts as missing.
void readPrefValues();
// Puts globals, the field flags and the windows' state into the store and
// removes every key that is not one of these.
void writePrefValues();

OSStatus loadPrefs();
OSStatus savePrefs();
