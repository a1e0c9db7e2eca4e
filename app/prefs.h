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

OSStatus loadPrefs();
OSStatus savePrefs();
