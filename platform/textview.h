#pragma once
// The text view: a QPlainTextEdit that shows plain text, read-only when asked.
// Its text object (TXNObject) is the editor itself; TXNSetData replaces a
// range of its text, and the control's 'cfst' data reads the whole text.

#include "platform/events.h"

class QFont;
class QPlainTextEdit;

using TXNObject = QPlainTextEdit*;
using TXNFrameOptions = UInt32;
constexpr TXNFrameOptions kTXNWantVScrollBarMask = 1u << 3;
constexpr TXNFrameOptions kTXNReadOnlyMask = 1u << 5;

// A new, hidden, unparented text view (HIViewAddSubview places it); frame may
// be null. Long lines wrap.
OSStatus HITextViewCreate(const HIRect* frame, OptionBits options, TXNFrameOptions frameOptions,
                          HIViewRef* outTextView);
// The text object of a text view; null for another control.
TXNObject HITextViewGetTXNObject(HIViewRef textView);

using TXNDataType = OSType;
constexpr TXNDataType kTXNTextData = FOUR_CHAR_CODE("TEXT");        // UTF-8 bytes
constexpr TXNDataType kTXNUnicodeTextData = FOUR_CHAR_CODE("utxt"); // UTF-16 units, host order
using TXNOffset = UInt32;
constexpr TXNOffset kTXNStartOffset = 0;
constexpr TXNOffset kTXNEndOffset = 0x7FFFFFFF;

// Replaces the text from start to end (in UTF-16 units; offsets past the
// end mean the end) with the data; size is in bytes. paramErr for an
// unknown type or an odd 'utxt' size.
OSStatus TXNSetData(TXNObject object, TXNDataType type, const void* data, ByteCount size,
                    TXNOffset start, TXNOffset end);

// Shows the text from start to end (clamped as for TXNSetData) in the font;
// the next TXNSetData of the whole text drops it.
OSStatus TXNSetRangeFont(TXNObject object, const QFont& font, TXNOffset start, TXNOffset end);

using TXNScrollBarState = UInt32;
constexpr TXNScrollBarState kScrollBarsAlwaysActive = 1;
OSStatus TXNSetScrollbarState(TXNObject object, TXNScrollBarState state);

using TXNControlTag = FourCharCode;
constexpr TXNControlTag kTXNMarginsTag = FOUR_CHAR_CODE("marg");
constexpr TXNControlTag kTXNTabSettingsTag = FOUR_CHAR_CODE("tabs");

struct TXNMargins {
    SInt16 topMargin;
    SInt16 leftMargin;
    SInt16 bottomMargin;
    SInt16 rightMargin;
};
using TXNTabType = SInt8;
constexpr TXNTabType kTXNLeftTab = 0;
struct TXNTab {
    SInt16 value; // distance between tab stops in pixels
    TXNTabType tabType;
    UInt8 filler;
};
union TXNControlData {
    UInt32 uValue;
    SInt32 sValue;
    TXNTab tabValue;
    TXNMargins* marginsPtr;
};

// Margins: the text keeps the largest of the four from every edge. Tabs:
// evenly spaced stops of tabValue.value pixels.
OSStatus TXNSetTXNObjectControls(TXNObject object, Boolean clearAll, ItemCount controlCount,
                                 const TXNControlTag* controlTags,
                                 const TXNControlData* controlData);
