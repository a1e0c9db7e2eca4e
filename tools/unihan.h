#pragma once

// Turning the Unicode Han Database (Unihan) into the shipped dictionary:
// reading the compressed Unihan files, picking the fields the program shows,
// converting tone-marked Mandarin readings to tone numbers, and writing the
// dictionary lines and the field index.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace unihan {

struct FieldSpec {
    const char* name;        // Unihan field, column 2 of the dictionary lines
    const char* code;        // four-character field code
    const char* kind;        // kind keyword of the field index
    const char* title;       // column title
    const char* description; // shown beside the title in the view preferences
    bool selects;            // a character with this field goes into the dictionary
};

// The fields of the dictionary, in the order of the field index.
extern const std::array<FieldSpec, 17> kFields;

// Position of a Unihan field name in kFields, or -1.
int fieldNumber(std::string_view name);

// Converts Mandarin readings written with tone marks ("zhōng", "lǜ", "bo bǔ")
// to tone numbers ("zhong1", "lu:4", "bo5 bu3"): every syllable is followed by
// its tone digit, 5 when it carries no mark; ü is written "u:". Readings are
// separated by single spaces. Letter case is kept. Marks may be precomposed or
// combining (U+0300, U+0301, U+0304, U+030C, U+0308 on u, U+0302 on e), and ê
// is kept as the UTF-8 letter ê. When the text holds something that is not
// tone-marked pinyin (digits, unknown letters, two marks in one syllable,
// invalid UTF-8) it is still converted as well as it can be and `problem`, when
// given, receives a short description of the first such thing.
std::string toneNumbers(std::string_view marked, std::string* problem = nullptr);

// Reads a whole bzip2 file (one or more concatenated streams). On failure
// returns false with `error` describing it.
bool readBzip2File(const std::string& path, std::string& out, std::string& error);

struct Record {
    std::uint32_t codePoint;
    int field;              // position in kFields
    std::string_view value; // as Unihan gives it (points into the source text)
};

enum class LineKind { Skipped, Kept, Malformed };

// Classifies one Unihan line (without its LF). Comments, empty lines and
// fields not in kFields are Skipped; a line of one of our fields becomes a
// Record; a line that does not read as "U+hex TAB field TAB value" or whose
// code point is not a valid character is Malformed.
LineKind parseLine(std::string_view line, Record& record);

struct BuildStats {
    std::size_t characters = 0;
    std::size_t lines = 0;
    std::size_t aboveBmp = 0;       // characters above U+FFFF
    std::size_t malformed = 0;      // Unihan lines that could not be read
    std::size_t duplicates = 0;     // repeated character and field; the last wins
    std::size_t repairedValues = 0; // values with control bytes or invalid UTF-8
    std::size_t mandarinProblems = 0;
    std::array<std::size_t, 17> perField{};
};

// Makes the dictionary text from the contents of Unihan files: one line
// "U+XXXX<TAB>field<TAB>value<LF>" per character and field, characters in
// code-point order, each character's fields in index order. Only characters
// with at least one selecting field are written. Problems found on the way are
// appended to `warnings`, one line each.
std::string buildDictionary(const std::vector<std::string_view>& sources, BuildStats& stats,
                            std::vector<std::string>& warnings);

// The field index: a comment line, then one line per field with the five
// TAB-separated columns name, code, kind, title and description.
std::string fieldIndexText();

} // namespace unihan
