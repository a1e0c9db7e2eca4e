#pragma once
// The two searches that turn a piece of looked-up text into an entry index:
// findCharacter for Chinese text (an entry's key or one of its alternative
// forms), findDefinition for Latin text (a word inside a definition, the most
// frequent character winning). Both add what they find to the history.

#include "platform/types.h"

#include <QHash>
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

// The searches keep indexes of the values they compare. Adding entries is
// noticed by itself; whoever changes a value's display text of an existing
// entry calls this, so the next search sees the new text.
void invalidateLookupIndex();

namespace tavi_lookup {

// The code points of UTF-16 text: a surrogate pair is one code point, a lone
// surrogate stays the unit it is.
std::vector<uint32_t> codePointsOfUnits(const UniChar* units, qsizetype count);

// The form in which texts are compared, so that case and canonically
// equivalent spellings do not matter: canonical decomposition, case folded.
QString searchForm(QStringView text);

// True when the needle's search form occurs in the haystack's, without
// splitting a character from the combining marks that follow it.
bool containsSearchForm(QStringView haystackForm, QStringView needleForm);

// An integer read as the C library's atoi reads it: leading blanks, an
// optional sign, decimal digits; 0 when there are none. Saturates.
int32_t leadingInteger(const QByteArray& text);

// The searches over one dictionary, with their indexes. The results and
// their order of preference are those of a scan of every entry in order.
class LookupIndex {
public:
    explicit LookupIndex(const dictionary& d);

    // Entry index or -1. Nothing is added to the history here.
    int32_t findCharacter(const std::vector<uint32_t>& codes);
    int32_t findDefinition(QStringView text);

    // Forget what was indexed; the next search reads the dictionary again.
    void invalidate();

private:
    void updateAlternatives();
    void updateDefinitions();
    void resetIfFieldsChanged();

    const dictionary& d;
    std::size_t fieldCount = 0;

    // Alternative forms: search form -> first entry that has it.
    std::vector<int> altFields;
    QHash<QString, uint32_t> firstWithAlternative;
    uint32_t altEntries = 0; // entries indexed so far

    // Definitions: every definition value's search form, in entry and field
    // order, one after another with a separator between them.
    struct DefinitionSpan {
        uint32_t entry;
        qsizetype start; // in definitionText
        qsizetype length;
    };
    std::vector<int> defnFields;
    QString definitionText;
    std::vector<DefinitionSpan> definitions;
    uint32_t defnEntries = 0;
};

} // namespace tavi_lookup
