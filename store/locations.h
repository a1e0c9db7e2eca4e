#pragma once

#include <string>

class dictionary;
class LoadProgress;

// The installed (or build-tree) resource folder: the running executable's
// folder + "/../share/tavi", normalised. Empty when the executable's location
// is unknown.
std::string bundleResourcesPath();

// Reads the field index, the main dictionary and then the user dictionary into
// `d`, so that the user's values replace the shipped ones.
void loadDictionaries(dictionary* d, LoadProgress* progress);

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
