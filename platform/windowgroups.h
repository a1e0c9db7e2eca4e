#pragma once
// Window classes, window groups and drawers.
//
// Class. A utility window (kUtilityWindowClass) is a tool window that floats
// above the program's other windows: whenever another window of the program
// comes forward, the utility windows are raised above it again (without
// taking the focus). Windows of other programs are not affected.
//
// Groups. A window group holds windows that layer together
// (kWindowGroupAttrLayerTogether: bringing one forward brings the others
// with it). A group whose parent is the group of the utility class floats
// like utility windows do. The program groups a window only with its drawer,
// which follows its parent by itself, so kWindowGroupAttrMoveTogether is
// kept as set and needs no work of its own.
//
// Drawers. A drawer is a tool window docked at the left edge of its parent
// window. While open it lies against that edge, as long as the
// edge minus the offsets at its two ends, and follows the parent when it
// moves, is resized, hidden or shown; it closes (hides) without being
// disposed, and is disposed of with its parent.

#include "platform/windows.h"

using WindowClass = UInt32;
constexpr WindowClass kUtilityWindowClass = 8;

// Makes a window that is not shown yet a utility window (a tool window);
// paramErr for another class. A drawer is made by SetDrawerParent instead.
OSStatus HIWindowChangeClass(WindowRef window, WindowClass windowClass);

// Attributes. The toolbar button: the window's widget marked with the
// dynamic property toolbarButton=true (a tool button) sends
// kEventWindowToolbarSwitchMode to the window when clicked.
using WindowAttributes = UInt32;
constexpr WindowAttributes kWindowNoAttributes = 0;
constexpr WindowAttributes kWindowToolbarButtonAttribute = 1u << 6;
OSStatus ChangeWindowAttributes(WindowRef window, WindowAttributes setTheseAttributes,
                                WindowAttributes clearTheseAttributes);

// ---------------------------------------------------------------------------
// Window groups.

class WindowGroup;
using WindowGroupRef = WindowGroup*;
using WindowGroupAttributes = UInt32;
constexpr WindowGroupAttributes kWindowGroupAttrMoveTogether = 1u << 1;
constexpr WindowGroupAttributes kWindowGroupAttrLayerTogether = 1u << 2;

// Groups live for the rest of the run.
OSStatus CreateWindowGroup(WindowGroupAttributes attributes, WindowGroupRef* outGroup);
// The group of the windows of a class (kUtilityWindowClass); null for a class
// without one.
WindowGroupRef GetWindowGroupOfClass(WindowClass windowClass);
OSStatus SetWindowGroupParent(WindowGroupRef group, WindowGroupRef parent);
// Puts the window into the group, out of the group it was in.
OSStatus SetWindowGroup(WindowRef window, WindowGroupRef group);
OSStatus ChangeWindowGroupAttributes(WindowGroupRef group, WindowGroupAttributes setTheseAttributes,
                                     WindowGroupAttributes clearTheseAttributes);

// ---------------------------------------------------------------------------
// Drawers.

// Makes the window a drawer of the parent (or moves it to another parent),
// docked at the parent's left edge.
OSStatus SetDrawerParent(WindowRef drawer, WindowRef parent);
// Distances kept free at the two ends of the edge: leading is the top end,
// trailing the bottom end.
OSStatus SetDrawerOffsets(WindowRef drawer, float leadingOffset, float trailingOffset);
// Opening and closing happen at once.
OSStatus OpenDrawer(WindowRef drawer);
OSStatus ToggleDrawer(WindowRef drawer);
