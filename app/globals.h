#pragma once
// The process-wide objects that every window shares.

#include "platform/types.h"

#include <cstdint>
#include <vector>

// The preferences record: fifteen 32-bit words, filled by loadPrefs and
// written back by savePrefs. Booleans occupy a whole word and are 0 or 1.
struct Globals {
    int32_t filterState;       // field number the list is filtered by, -1 none
    int32_t searchState;       // search scope: field number, -1 character, -2 all
    uint32_t floatingCharType; // field codes shown by the floating window
    uint32_t floatingRomanType;
    uint32_t floatingDefnType;
    int32_t biggerFonts;
    int32_t ShowFloating;
    int32_t ShowDictionary;
    int32_t dividerRatio; // thousandths
    int32_t DictLeftCorner;
    int32_t DictTopCorner;
    int32_t DictRightCorner;
    int32_t DictBottomCorner;
    int32_t FloatLeftCorner;
    int32_t FloatTopCorner;
};

extern Globals globals;

// The interface resources opened at start-up; every window is made from it.
extern IBNibRef nibRef;

// Window tags kept in each window's reference constant.
constexpr uint32_t kDictionaryWindowTag = FOUR_CHAR_CODE("DWIN");
constexpr uint32_t kViewPrefWindowTag = FOUR_CHAR_CODE("PREF");
constexpr uint32_t kFloatingWindowTag = FOUR_CHAR_CODE("FWIN");
constexpr uint32_t kHistoryWindowTag = FOUR_CHAR_CODE("HIST");
constexpr uint32_t kFeedbackWindowTag = FOUR_CHAR_CODE("FDBK");
constexpr uint32_t kRadicalWindowTag = FOUR_CHAR_CODE("RADL");
constexpr uint32_t kStrokeOrderWindowTag = FOUR_CHAR_CODE("STRK");
