#pragma once
// Folders the program reads and writes.
//
//  - user data folder: the XDG data home ($XDG_DATA_HOME, else ~/.local/share),
//    in place of the user's Application Support folder;
//  - user preferences folder: the XDG config home ($XDG_CONFIG_HOME, else
//    ~/.config);
//  - bundle resources: <folder of the executable>/../share/tavi, normalised.
//    The build tree has bin/ beside share/tavi/ like the installed tree, so
//    the program runs uninstalled. Tests may point it elsewhere.

#include "platform/types.h"

#include <QString>

QString GetBundleResourcesFolder();
// For tests, which bring their own resources; an empty path goes back to the
// folder found from the executable.
void SetBundleResourcesFolderOverride(const QString& path);

// Folder look-up by type: kPreferencesFolderType is the preferences folder
// (the layer also knows the user data folder's type). With createFolder
// the folder is made when missing. fnfErr when it is missing (and not made),
// ioErr when it cannot be made.
constexpr OSType kPreferencesFolderType = FOUR_CHAR_CODE("pref");
constexpr SInt16 kUserDomain = -32763;
constexpr Boolean kCreateFolder = true;

OSStatus FSFindFolder(SInt16 domain, OSType folderType, Boolean createFolder, QString* outPath);
