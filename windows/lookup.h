#pragma once
// The two searches that turn a piece of looked-up text into an entry index:
// findCharacter for Chinese text (the entry whose key it is, else one that
// lists it as an alternative form), findDefinition for Latin text (a word of
// a definition, whole words before parts of longer ones, the most frequent
// character winning). Both add what they find to the history.

#include "platform/types.h"
#include "store/textutil.h"

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

// What the quick look-up of a selected text found.
struct QuickLookup {
    SInt32 index = -1;              // the entry to show, or -1
    bool unknownCharacters = false; // the text is Chinese characters no entry has
};

// The quick look-up: text with a Han character is looked up as characters
// (the whole text when it is an entry, else the longest word it starts with,
// else each Han character of it in order); other text as an English word,
// else as pinyin, else as part of a longer English word. Every entry or word
// found goes into the history; the first is shown. A word is given as a
// number from kWordRefBase on (windows/wordentry.h).
QuickLookup lookUpQuickly(QStringView text);

namespace dictsearch {
class SearchIndex;
}
namespace words {
class WordStore;
}
namespace pinyinquery {
struct Syllable;
}

namespace tavi_lookup {

using tavi_text::leadingInteger;

// The searches over one dictionary. Texts are compared in their search forms
// (case folded, canonically decomposed), which the dictionary's search index
// keeps for every value and updates when values are edited; the results and
// their order of preference are those of a scan of every entry in order.
class LookupIndex {
public:
    // With a word store, Latin text finds words too, and the longest word
    // of Chinese text can be asked for.
    LookupIndex(const dictionary& d, dictsearch::SearchIndex& forms,
                const words::WordStore* wordStore = nullptr);

    enum class DefinitionMatch {
        WholeWord,  // only definitions that hold the text as a whole word
        InsideWord, // any definition that holds the text
        WordFirst,  // whole words, else inside words
    };

    // Entry index or -1. Nothing is added to the history here.
    int32_t findCharacter(const std::vector<uint32_t>& codes);
    int32_t findDefinition(QStringView text, DefinitionMatch match = DefinitionMatch::WordFirst);
    // Latin text: an English word (a sense that is the word, else one that
    // starts with it; characters and words alike, the most common first),
    // else pinyin (several syllables find a word), else a sense that holds
    // the word, else part of a longer word. Words are given as numbers from
    // kWordRefBase. Without a word store: a whole word of a definition, else
    // pinyin, else part of a longer word.
    int32_t findLatin(QStringView text);
    // The longest word of two or more characters that the text starts with,
    // as a number from kWordRefBase, or -1.
    int32_t findLongestWord(QStringView text) const;
    // The most common character with a reading of these syllables.
    int32_t findReading(const std::vector<pinyinquery::Syllable>& syllables);

private:
    std::vector<int> fieldsOfKind(int32_t kind) const;
    int32_t bestCandidate(const std::vector<std::vector<uint8_t>>& matched, uint8_t least);
    // Among the entries whose definition holds the word as a whole word: a
    // gloss that is the word before one that starts with it before one that
    // holds it; -1 when there is none. *kind (when asked) is 3, 2 or 1.
    int32_t bestGloss(const std::vector<int>& fields,
                      const std::vector<std::vector<uint8_t>>& matched, QStringView word,
                      int* kind = nullptr);
    // Whether entry c ranks above entry b: a smaller frequency number, any
    // frequency over none, and without either, more characters.
    bool ranksAbove(std::size_t c, std::size_t b) const;
    // The words a plural or -ing form may stand for: "glasses" -> "glass",
    // "making" -> "make".
    static std::vector<QString> stemsOf(const QString& word);
    int32_t findEnglish(QStringView text, int tier);

    const words::WordStore* wordStore;

    const dictionary& d;
    dictsearch::SearchIndex& forms;
    std::vector<uint8_t> hits; // one flag per entry, reused between searches
};

} // namespace tavi_lookup
