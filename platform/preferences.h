#pragma once
// The per-user preference store: named 32-bit integers per domain. A domain
// "com.Quillon.Tavi" is the INI file com.Quillon.Tavi.ini in the user's
// preferences folder (the XDG config home, see folders.h), one "key=value"
// line per key in the [General] section. Keys may hold any characters; '/'
// and '\' do not make groups.
//
// Changes are kept in memory until CFPreferencesAppSynchronize writes the
// file, which is replaced whole (durablefile.h), so a failed write leaves the
// previous file intact.

#include "platform/types.h"

#include <QSet>
#include <QString>
#include <QVariant>

extern const QString kCFPreferencesCurrentApplication;

// The file that holds a domain.
QString PreferencesFilePath(const QString& applicationID);

// The stored integer, and whether the key exists and holds a base-10 integer
// that fits in 32 bits; 0 otherwise.
CFIndex CFPreferencesGetAppIntegerValue(const QString& key, const QString& applicationID,
                                        Boolean* keyExistsAndHasValidFormat);
// Sets an integer (an int, a bool as 0 or 1, or any integer type within 32
// bits); a null QVariant removes the key. Anything else is refused with a
// diagnostic line.
void CFPreferencesSetAppValue(const QString& key, const QVariant& value,
                              const QString& applicationID);
// Removes every key of the domain that is not in `keep`.
void RemovePreferenceKeysExcept(const QSet<QString>& keep, const QString& applicationID);
// For the fuzz target, which writes the file itself: forgets the domain's
// open store without writing it, so that the next read reads the file afresh.
void DiscardUnsavedPreferences(const QString& applicationID);
// Writes the domain's file. false (with a diagnostic line) when it cannot;
// outWhy, when given, then says why. The changes stay pending for the next
// call.
Boolean CFPreferencesAppSynchronize(const QString& applicationID);
Boolean CFPreferencesAppSynchronize(const QString& applicationID, QString* outWhy);
