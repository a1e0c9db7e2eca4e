#pragma once
// Interface resources: a named folder of Qt Designer .ui files in the bundle
// resources (GetBundleResourcesFolder()/<name>/). Each window is the file
// <window name>.ui, loaded with QUiLoader; the menu bar is a .ui file whose
// top-level widget is a QMainWindow with a QMenuBar. Control identifiers and
// commands are dynamic properties of the widgets and actions (see controls.h
// and commands.h). A missing folder or file is a status, never a crash:
//   kIBCarbonRuntimeCantFindNibFile          the folder is missing
//   kIBCarbonRuntimeCantFindObject           the .ui file is missing
//   kIBCarbonRuntimeObjectNotOfRequestedType the file cannot be loaded, or a
//                                            menu bar file holds no QMainWindow

#include "platform/types.h"

#include <QString>

OSStatus CreateNibReference(const QString& name, IBNibRef* outNibRef);
void DisposeNibReference(IBNibRef nibRef);

// Makes a new, hidden window from <name>.ui. Its buttons, pop-ups and actions
// with commands are connected (ConnectCommandSources), and it shows the menu
// bar when WindowWantsMenuBar (menubar.h) says so.
OSStatus CreateWindowFromNib(IBNibRef nibRef, const QString& name, WindowRef* outWindow);

// Installs the menus of <name>.ui as the application's menu bar (menubar.h).
OSStatus SetMenuBarFromNib(IBNibRef nibRef, const QString& name);

class NibReference {
public:
    explicit NibReference(QString folder) : folder(std::move(folder)) {}
    const QString folder;
};
