#pragma once
// Event classes, kinds, parameter names and parameter types, as four-character
// codes and small numbers. Events of the layer and of the system code use
// these names only.

#include "platform/types.h"

using EventClass = UInt32;
using EventKind = UInt32;
using EventParamName = OSType;
using EventParamType = OSType;

struct EventTypeSpec {
    EventClass eventClass;
    EventKind eventKind;
};

// ---------------------------------------------------------------------------
constexpr EventClass kEventClassKeyboard = FOUR_CHAR_CODE("keyb");
constexpr EventClass kEventClassWindow = FOUR_CHAR_CODE("wind");
constexpr EventClass kEventClassControl = FOUR_CHAR_CODE("cntl");
// Classes.
constexpr EventClass kEventClassCommand = FOUR_CHAR_CODE("cmds");
constexpr EventClass kEventClassService = FOUR_CHAR_CODE("serv");
constexpr EventClass kEventClassHIObject = FOUR_CHAR_CODE("hiob");
constexpr EventClass kEventClassTextField = FOUR_CHAR_CODE("txfd");
constexpr EventClass kEventClassSearchField = FOUR_CHAR_CODE("srfd");

// Command events. The direct object is the HICommand.
constexpr EventKind kEventCommandProcess = 1;

// Services events.
constexpr EventKind kEventServiceCopy = 1;
constexpr EventKind kEventServicePaste = 2;
constexpr EventKind kEventServiceGetTypes = 3;
constexpr EventKind kEventServicePerform = 4;

// Window events. The direct object is the WindowRef.
constexpr EventKind kEventWindowBoundsChanged = 27;
constexpr EventKind kEventWindowClose = 72;
constexpr EventKind kEventWindowToolbarSwitchMode = 150;

// kEventParamAttributes of kEventWindowBoundsChanged.
constexpr UInt32 kWindowBoundsChangeSizeChanged = 1u << 2;

// Control events. The direct object is the ControlRef.
constexpr EventKind kEventControlHitTest = 3;
constexpr EventKind kEventControlDraw = 4;
constexpr EventKind kEventControlActivate = 9;
constexpr EventKind kEventControlDeactivate = 10;
constexpr EventKind kEventControlTrack = 51;
constexpr EventKind kEventControlGetPartRegion = 101;
constexpr EventKind kEventControlSetData = 103;
constexpr EventKind kEventControlGetData = 104;
constexpr EventKind kEventControlBoundsChanged = 154;
constexpr EventKind kEventControlHiliteChanged = 160;
constexpr EventKind kEventControlEnabledStateChanged = 161;
constexpr EventKind kEventControlInitialize = 1000;

// Keyboard, mouse and text input.
constexpr EventKind kEventRawKeyDown = 1;

// Text field and search field.
constexpr EventKind kEventTextAccepted = 1;
constexpr EventKind kEventSearchFieldCancelClicked = 1;

// Object protocol of custom views.
constexpr EventKind kEventHIObjectConstruct = 1;
constexpr EventKind kEventHIObjectInitialize = 2;
constexpr EventKind kEventHIObjectDestruct = 3;
constexpr EventKind kEventHIObjectPrintDebugInfo = 5;

// ---------------------------------------------------------------------------
// Parameter names.
constexpr EventParamName kEventParamDirectObject = FOUR_CHAR_CODE("----");
constexpr EventParamName kEventParamAttributes = FOUR_CHAR_CODE("attr");
constexpr EventParamName kEventParamOriginalBounds = FOUR_CHAR_CODE("orct");
constexpr EventParamName kEventParamCurrentBounds = FOUR_CHAR_CODE("crct");
constexpr EventParamName kEventParamServiceMessageName = FOUR_CHAR_CODE("svmg");
constexpr EventParamName kEventParamScrapRef = FOUR_CHAR_CODE("scrp");
constexpr EventParamName kEventParamKeyMacCharCodes = FOUR_CHAR_CODE("kchr");
constexpr EventParamName kEventParamKeyCode = FOUR_CHAR_CODE("kcod");
constexpr EventParamName kEventParamMouseLocation = FOUR_CHAR_CODE("mloc");
constexpr EventParamName kEventParamControlPart = FOUR_CHAR_CODE("cprt");
constexpr EventParamName kEventParamControlDataTag = FOUR_CHAR_CODE("cdtg");
constexpr EventParamName kEventParamControlDataBuffer = FOUR_CHAR_CODE("cdbf");
constexpr EventParamName kEventParamControlDataBufferSize = FOUR_CHAR_CODE("cdbs");
constexpr EventParamName kEventParamControlFeatures = FOUR_CHAR_CODE("cftr");
constexpr EventParamName kEventParamControlRegion = FOUR_CHAR_CODE("crgn");
constexpr EventParamName kEventParamRgnHandle = FOUR_CHAR_CODE("rgnh");
constexpr EventParamName kEventParamCGContextRef = FOUR_CHAR_CODE("cntx");
constexpr EventParamName kEventParamHIObjectInstance = FOUR_CHAR_CODE("hioi");

// ---------------------------------------------------------------------------
// Parameter types.
constexpr EventParamType typeWildCard = FOUR_CHAR_CODE("****");
constexpr EventParamType typeHICommand = FOUR_CHAR_CODE("hcmd");
constexpr EventParamType typeCFStringRef = FOUR_CHAR_CODE("cfst"); // data is a QString
constexpr EventParamType typeScrapRef = FOUR_CHAR_CODE("scrp");
constexpr EventParamType typeBoolean = FOUR_CHAR_CODE("bool");
constexpr EventParamType typeChar = FOUR_CHAR_CODE("TEXT");
constexpr EventParamType typeUInt32 = FOUR_CHAR_CODE("magn");
constexpr EventParamType typeLongInteger = FOUR_CHAR_CODE("long");
constexpr EventParamType typeEnumeration = FOUR_CHAR_CODE("enum");
constexpr EventParamType typePtr = FOUR_CHAR_CODE("ptr ");
constexpr EventParamType typeVoidPtr = FOUR_CHAR_CODE("void");
constexpr EventParamType typeQDPoint = FOUR_CHAR_CODE("QDpt");
constexpr EventParamType typeQDRectangle = FOUR_CHAR_CODE("qdrt");
constexpr EventParamType typeHIPoint = FOUR_CHAR_CODE("hipt");
constexpr EventParamType typeHIRect = FOUR_CHAR_CODE("hirc");
constexpr EventParamType typeHISize = FOUR_CHAR_CODE("hisz");
constexpr EventParamType typeQDRgnHandle = FOUR_CHAR_CODE("rgnh");
constexpr EventParamType typeCGContextRef = FOUR_CHAR_CODE("cntx");
constexpr EventParamType typeWindowRef = FOUR_CHAR_CODE("wind");
constexpr EventParamType typeControlRef = FOUR_CHAR_CODE("ctrl");
constexpr EventParamType typeMenuRef = FOUR_CHAR_CODE("menu");
constexpr EventParamType typeControlPartCode = FOUR_CHAR_CODE("cprt");
constexpr EventParamType typeHIObjectRef = FOUR_CHAR_CODE("hiob");
