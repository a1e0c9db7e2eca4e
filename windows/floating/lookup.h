#pragma once
// The two searches that turn a piece of looked-up text into an entry index:
// findCharacter for Chinese text (an entry's key or one of its alternative
// forms), findDefinition for Latin text (a word inside a definition, the most
// frequent character winning). Both add what they find to the history.

#include "platform/types.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

class dictionary;

using UniChar = UInt16;

// Text given as UTF-16 units; a surrogate pair counts as one character.
SInt32 findCharacter(const UniChar* units, SInt32 count);
SInt32 findDefinition(const UniChar* units, SInt32 count);

// The same search as findCharacter, on characters given as code points (the
// history file stores them so).
SInt32 findCharacterCodes(const std::vector<uint32_t>& codes);

namespace dictsearch {
class SearchIndex;
}

namespace tavi_lookup {

// The code points of UTF-16 text: a surrogate pair is one code point, a lone
// surrogate stays the unit it is.
std::vector<uint32_t> codePointsOfUnits(const UniChar* units, qsizetype count);

// An integer read as the C library's atoi reads it: leading blanks, an
// optional sign, decimal digits; 0 when there are none. Saturates.
int32_t leadingInteger(const QByteArray& text);

// The searches over one dictionary. Texts are compared in their search forms
// (case folded, canonically decomposed), which the dictionary's search index
// keeps for every value and updates when values are edited; the results and
// their order of preference are those of a scan of every entry in order.
class LookupIndex {
public:
    LookupIndex(const dictionary& d, dictsearch::SearchIndex& forms);

    // Entry index or -1. Nothing is added to the history here.
    int32_t findCharacter(const std::vector<uint32_t>& codes);
    int32_t findDefinition(QStringView text);

private:
    std::vector<int> fieldsOfKind(int32_t kind) const;

    const dictionary& d;
    dictsearch::SearchIndex& forms;
    std::vector<uint8_t> hits; // one flag per entry, reused between searches
};

} // namespace tavi_lookup
