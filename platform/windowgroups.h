#pragma once
// Window classes, window groups and drawers.
//
// Class. A utility window (kUtilityWindowClass) is a tool window that floats
// above the program's other windows: whenever another window of the program
// comes forward, the utility windows are raised above it again (without
// taking the focus). Windows of other programs are not affected.
//
// Groups. A window group holds windows that move or layer together
// (kWindowGroupAttrMoveTogether: moving one moves the others by as much;
// kWindowGroupAttrLayerTogether: bringing one forward brings the others
// with it). A group whose parent is the group of the utility class floats
// like utility windows do.
//
// Drawers. A drawer is a tool window docked at one edge of its parent window
// (kDrawerWindowClass). While open it lies against that edge, as long as the
// edge minus the offsets at its two ends, and follows the parent when it
// moves, is resized, hidden or shown; it closes (hides) without being
// disposed, and is disposed of with its parent.

#include "platform/windows.h"

using WindowClass = UInt32;
constexpr WindowClass kAlertWindowClass = 1;
constexpr WindowClass kMovableAlertWindowClass = 2;
constexpr WindowClass kModalWindowClass = 3;
constexpr WindowClass kMovableModalWindowClass = 4;
constexpr WindowClass kFloatingWindowClass = 5;
constexpr WindowClass kDocumentWindowClass = 6;
constexpr WindowClass kUtilityWindowClass = 8;
constexpr WindowClass kHelpWindowClass = 10;
constexpr WindowClass kSheetWindowClass = 11;
constexpr WindowClass kToolbarWindowClass = 12;
constexpr WindowClass kPlainWindowClass = 13;
constexpr WindowClass kOverlayWindowClass = 14;
constexpr WindowClass kDrawerWindowClass = 20;

// Changes the class of a window that is not shown yet (a utility window
// becomes a tool window). A drawer is made by SetDrawerParent instead.
OSStatus HIWindowChangeClass(WindowRef window, WindowClass windowClass);
OSStatus GetWindowClass(WindowRef window, WindowClass* outClass);

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
// The group of the windows of a class (kUtilityWindowClass, kDocumentWindowClass,
// ...); null for a class that has none.
WindowGroupRef GetWindowGroupOfClass(WindowClass windowClass);
OSStatus SetWindowGroupParent(WindowGroupRef group, WindowGroupRef parent);
WindowGroupRef GetWindowGroupParent(WindowGroupRef group);
// Puts the window into the group, out of the group it was in.
OSStatus SetWindowGroup(WindowRef window, WindowGroupRef group);
WindowGroupRef GetWindowGroup(WindowRef window);
OSStatus ChangeWindowGroupAttributes(WindowGroupRef group, WindowGroupAttributes setTheseAttributes,
                                     WindowGroupAttributes clearTheseAttributes);

// ---------------------------------------------------------------------------
// Drawers.

using OptionBits = UInt32;
constexpr OptionBits kWindowEdgeDefault = 0;
constexpr OptionBits kWindowEdgeTop = 1u << 0;
constexpr OptionBits kWindowEdgeLeft = 1u << 1;
constexpr OptionBits kWindowEdgeBottom = 1u << 2;
constexpr OptionBits kWindowEdgeRight = 1u << 3;

using WindowDrawerState = UInt32;
constexpr WindowDrawerState kWindowDrawerOpening = 1;
constexpr WindowDrawerState kWindowDrawerOpen = 2;
constexpr WindowDrawerState kWindowDrawerClosed = 4;

// Makes the window a drawer of the parent (or moves it to another parent).
OSStatus SetDrawerParent(WindowRef drawer, WindowRef parent);
OSStatus SetDrawerPreferredEdge(WindowRef drawer, OptionBits edge);
// Distances kept free at the two ends of the edge: leading is the top (or
// left) end, trailing the bottom (or right) end.
OSStatus SetDrawerOffsets(WindowRef drawer, float leadingOffset, float trailingOffset);
WindowDrawerState GetDrawerState(WindowRef drawer);
// Opening and closing happen at once; async is accepted and has no effect.
// kWindowEdgeDefault opens at the preferred edge.
OSStatus OpenDrawer(WindowRef drawer, OptionBits edge, Boolean async);
OSStatus ToggleDrawer(WindowRef drawer);
