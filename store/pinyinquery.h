#pragma once
// Pinyin typed or selected by the user, read as syllables, and matched
// against Mandarin readings syllable by syllable.
//
// A text reads as pinyin when it is made of syllables of the shape pinyin
// allows (an initial, a final), written with tone numbers ("shui3",
// "ni3hao3"), tone marks ("shuǐ") or no tone ("shui", "nihao"), in either
// case; ü may be written ü, v or u:. Syllables may be run together or
// separated by blanks, apostrophes or hyphens.

#include <QString>
#include <QStringView>

#include <string>
#include <vector>

namespace pinyinquery {

struct Syllable {
    std::string letters; // lowercase a-z, with v standing for ü
    int tone = 0;        // 1 to 4, 5 for the neutral tone, 0 for any tone
};

// The syllables of the text, or nothing when it does not read as pinyin.
std::vector<Syllable> parse(QStringView text);

// Whether a reading holds the syllables one after the other. The reading is
// given in search form (lowercase, canonically decomposed, tone marks as
// combining marks) and holds syllables separated by non-letters.
bool matchesReading(QStringView form, const std::vector<Syllable>& query);

// Pinyin written with tone numbers in a text, with tone marks instead: each
// word of letters and tone digits that reads as syllables ("ni3hao3",
// "Xi1", "lv4", "LU:4") becomes "nǐhǎo", "Xī", "lǜ", "LǛ", keeping its
// capitals; everything else, and any word that is not such pinyin, stays as
// it is.
QString toneMarked(QStringView text);

} // namespace pinyinquery
