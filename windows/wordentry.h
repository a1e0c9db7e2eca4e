#pragma once
// Words beside entries. The floating window, the history and the look-ups
// refer to what they show by one number: an entry's index, or from
// kWordRefBase on a word of the word store in one script (the form that was
// looked up).

#include "store/words.h"

#include <QString>

#include <cstdint>
#include <vector>

constexpr uint32_t kWordRefBase = 0x40000000;

inline bool isWordRef(int64_t index)
{
    return index >= int64_t(kWordRefBase);
}
inline uint32_t wordRef(uint32_t word, bool traditional)
{
    return kWordRefBase + word * 2 + (traditional ? 1 : 0);
}
inline uint32_t wordOfRef(int64_t ref)
{
    return uint32_t((ref - kWordRefBase) >> 1);
}
inline bool isTraditionalRef(int64_t ref)
{
    return ((ref - kWordRefBase) & 1) != 0;
}

// Whether the number is a word of the program's word store.
bool isKnownWordRef(int64_t ref);
// The word's form that the number names; empty when it names none.
QString wordRefForm(int64_t ref);
// The word the number names (empty when none).
words::Word wordOfWordRef(int64_t ref);
// The reading with tone marks: "nǐ hǎo".
QString wordReading(const words::Word& word);
// What the Mandarin voice reads for the word: its syllables with tone
// numbers, lowercase, ü as v ("lu:4 se4" -> "lv4 se4").
QByteArray wordSpeechText(const words::Word& word);
// The senses, one after another.
QString wordSenses(const words::Word& word);
// The most common word of exactly these characters, in the script they are
// written in; -1 for none.
int64_t wordRefOfCodes(const std::vector<uint32_t>& codes);

// How many words the lists of words with a character show.
constexpr std::size_t kWordsWithCharacter = 12;
// The most common words that hold the character, each in the script the
// character belongs to.
std::vector<uint32_t> wordRefsWithCharacter(char32_t character);
