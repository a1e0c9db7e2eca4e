#pragma once

#include "store/readresult.h"

#include <string>

class dictionary;
class LoadProgress;

// The installed (or build-tree) resource folder: the running executable's
// folder + "/../share/tavi", normalised. Empty when the executable's location
// is unknown.
std::string bundleResourcesPath();

// How reading the three files went. A shipped file that cannot be read, or
// holds nothing, is a damaged installation; a user dictionary that does not
// exist yet is the normal first run.
struct DictionaryLoadReport {
    ReadResult index;
    ReadResult shipped;
    ReadResult user;

    bool shippedReadable() const { return index.ok() && shipped.ok(); }
    // The first failure of the two shipped files.
    const ReadResult& shippedFailure() const { return index.ok() ? shipped : index; }
};

// Reads the field index, the main dictionary and then the user dictionary into
// `d`, so that the user's values replace the shipped ones. Goes on past a
// file that cannot be read.
DictionaryLoadReport loadDictionaries(dictionary* d, LoadProgress* progress);
// The same with the shipped files in `resources` (empty: unknown).
DictionaryLoadReport loadDictionaries(dictionary* d, LoadProgress* progress,
                                      const std::string& resources);

// The user dictionary's path, "Tavi Dictionaries/UserDictionary.txt" in the
// user's data folder (the XDG data home); makes the folder when it is missing.
// Empty when there is no usable data folder.
std::string getCustomDictLocation();

// Appends every modified value of `dict` to the user dictionary and clears
// its flag once the lines are safely on disk. False when they could not be
// written: they stay modified, for the next save.
bool saveCustomDictionary();
// The same for another store (used by tests and tools); `why`, when given,
// gets the reason of a failure.
bool saveCustomDictionary(dictionary* d, std::string* why = nullptr);
