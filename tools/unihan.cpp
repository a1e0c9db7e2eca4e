#include "tools/unihan.h"

#include <bzlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace unihan {

const std::array<FieldSpec, 17> kFields = {{
    {"kMandarin", "PYIN", "kRomanization", "Mandarin",
     "Mandarin reading in pinyin, tone numbers after each syllable", true},
    {"kCantonese", "JYUT", "kRomanization", "Cantonese", "Cantonese reading in Jyutping", true},
    {"kDefinition", "EDEF", "kDefinition", "Definition", "English meaning of the character", true},
    {"kTraditionalVariant", "TRAD", "kAltCharacter", "Traditional",
     "Traditional Chinese form of the character", false},
    {"kSimplifiedVariant", "SIMP", "kAltCharacter", "Simplified",
     "Simplified Chinese form of the character", false},
    {"kSemanticVariant", "SEMV", "kAltCharacter", "Semantic variant",
     "Characters with the same meaning, with the dictionaries that say so", false},
    {"kRSUnicode", "RADS", "kMetaText", "Radical",
     "Kangxi radical number and strokes beyond the radical", false},
    {"kTotalStrokes", "STRK", "kMetaNum", "Strokes", "Total number of strokes", false},
    {"kFrequency", "FREQ", "kMetaNum", "Frequency",
     "How common the character is in Chinese text, 1 (most) to 5 (least)", false},
    {"kGradeLevel", "GRAD", "kMetaNum", "Grade",
     "School grade in Hong Kong at which the character is taught", false},
    {"kJapaneseOn", "JPON", "kRomanization", "Japanese On",
     "Japanese on reading (Sino-Japanese), romanised", true},
    {"kJapaneseKun", "JKUN", "kRomanization", "Japanese Kun",
     "Japanese kun reading (native Japanese), romanised", true},
    {"kKorean", "KORN", "kRomanization", "Korean", "Korean reading, romanised", true},
    {"kHangul", "HANG", "kMetaText", "Hangul", "Korean reading in Hangul", true},
    {"kVietnamese", "VIET", "kRomanization", "Vietnamese", "Vietnamese reading", true},
    {"kCangjie", "CJIE", "kMetaText", "Cangjie", "Cangjie input code", false},
    {"kFourCornerCode", "FOUR", "kMetaText", "Four-corner code",
     "Four-corner code for looking the character up", false},
}};

int fieldNumber(std::string_view name)
{
    for (std::size_t i = 0; i < kFields.size(); ++i)
        if (name == kFields[i].name)
            return int(i);
    return -1;
}

namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes the UTF-8 sequence at s[i] and moves i past it. An invalid sequence
// (bad lead or continuation byte, overlong form, surrogate, beyond U+10FFFF)
// yields kInvalid and moves i by one byte.
char32_t decodeUtf8(std::string_view s, std::size_t& i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int extra;
    char32_t cp;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, cp = b0 & 0x07, min = 0x10000;
    } else {
        ++i;
        return kInvalid;
    }
    if (i + extra >= s.size()) {
        ++i;
        return kInvalid;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return kInvalid;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kInvalid;
    }
    i += extra + 1;
    return cp;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

struct MarkedLetter {
    char32_t letter;
    const char* plain; // the letter as written with tone numbers
    int tone;          // 1-4, or 0 when the letter carries no tone mark
};

// Precomposed letters of tone-marked pinyin, lowercase and uppercase.
constexpr MarkedLetter kMarkedLetters[] = {
    {U'\u0101', "a", 1},      {U'\u00E1', "a", 2},      {U'\u01CE', "a", 3},
    {U'\u00E0', "a", 4},      {U'\u0113', "e", 1},      {U'\u00E9', "e", 2},
    {U'\u011B', "e", 3},      {U'\u00E8', "e", 4},      {U'\u012B', "i", 1},
    {U'\u00ED', "i", 2},      {U'\u01D0', "i", 3},      {U'\u00EC', "i", 4},
    {U'\u014D', "o", 1},      {U'\u00F3', "o", 2},      {U'\u01D2', "o", 3},
    {U'\u00F2', "o", 4},      {U'\u016B', "u", 1},      {U'\u00FA', "u", 2},
    {U'\u01D4', "u", 3},      {U'\u00F9', "u", 4},      {U'\u00FC', "u:", 0},
    {U'\u01D6', "u:", 1},     {U'\u01D8', "u:", 2},     {U'\u01DA', "u:", 3},
    {U'\u01DC', "u:", 4},     {U'\u00EA', "\u00EA", 0}, {U'\u1EBF', "\u00EA", 2},
    {U'\u1EC1', "\u00EA", 4}, {U'\u1E3F', "m", 2},      {U'\u0144', "n", 2},
    {U'\u0148', "n", 3},      {U'\u01F9', "n", 4},

    {U'\u0100', "A", 1},      {U'\u00C1', "A", 2},      {U'\u01CD', "A", 3},
    {U'\u00C0', "A", 4},      {U'\u0112', "E", 1},      {U'\u00C9', "E", 2},
    {U'\u011A', "E", 3},      {U'\u00C8', "E", 4},      {U'\u012A', "I", 1},
    {U'\u00CD', "I", 2},      {U'\u01CF', "I", 3},      {U'\u00CC', "I", 4},
    {U'\u014C', "O", 1},      {U'\u00D3', "O", 2},      {U'\u01D1', "O", 3},
    {U'\u00D2', "O", 4},      {U'\u016A', "U", 1},      {U'\u00DA', "U", 2},
    {U'\u01D3', "U", 3},      {U'\u00D9', "U", 4},      {U'\u00DC', "U:", 0},
    {U'\u01D5', "U:", 1},     {U'\u01D7', "U:", 2},     {U'\u01D9', "U:", 3},
    {U'\u01DB', "U:", 4},     {U'\u00CA', "\u00CA", 0}, {U'\u1EBE', "\u00CA", 2},
    {U'\u1EC0', "\u00CA", 4}, {U'\u1E3E', "M", 2},      {U'\u0143', "N", 2},
    {U'\u0147', "N", 3},      {U'\u01F8', "N", 4},
};

const MarkedLetter* findMarkedLetter(char32_t cp)
{
    for (const auto& m : kMarkedLetters)
        if (m.letter == cp)
            return &m;
    return nullptr;
}

// Tone of a combining tone mark, or 0.
int combiningTone(char32_t cp)
{
    switch (cp) {
    case 0x0304:
        return 1; // macron
    case 0x0301:
        return 2; // acute
    case 0x030C:
        return 3; // caron
    case 0x0300:
        return 4; // grave
    default:
        return 0;
    }
}

bool isAsciiLetter(char32_t cp)
{
    return (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z');
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

void noteProblem(std::string* problem, const char* what)
{
    if (problem && problem->empty())
        *problem = what;
}

// Converts one syllable (no white space inside) and appends it with its tone.
void convertSyllable(std::string_view syllable, std::string& out, std::string* problem)
{
    int tone = 0;
    const std::size_t start = out.size();
    auto setTone = [&](int t) {
        if (tone != 0)
            noteProblem(problem, "two tone marks in one syllable");
        else
            tone = t;
    };
    for (std::size_t i = 0; i < syllable.size();) {
        const std::size_t at = i;
        const char32_t cp = decodeUtf8(syllable, i);
        if (cp == kInvalid) {
            noteProblem(problem, "invalid UTF-8");
            out += syllable[at];
        } else if (isAsciiLetter(cp)) {
            out += char(cp);
        } else if (const MarkedLetter* m = findMarkedLetter(cp)) {
            out += m->plain;
            if (m->tone)
                setTone(m->tone);
        } else if (int t = combiningTone(cp)) {
            if (out.size() == start)
                noteProblem(problem, "tone mark without a letter");
            setTone(t);
        } else if (cp == 0x0308 && out.size() > start && (out.back() == 'u' || out.back() == 'U')) {
            out += ':'; // u + combining diaeresis is ü
        } else if (cp == 0x0302 && out.size() > start && (out.back() == 'e' || out.back() == 'E')) {
            const bool upper = out.back() == 'E';
            out.pop_back();
            appendUtf8(out, upper ? 0xCA : 0xEA); // e + combining circumflex is ê
        } else {
            noteProblem(problem, cp >= '0' && cp <= '9' ? "digit in a tone-marked reading"
                                                        : "character that is not pinyin");
            appendUtf8(out, cp);
        }
    }
    out += char('0' + (tone ? tone : 5));
}

} // namespace

std::string toneNumbers(std::string_view marked, std::string* problem)
{
    std::string out;
    out.reserve(marked.size() + 8);
    std::size_t i = 0;
    while (i < marked.size()) {
        while (i < marked.size() && isSpace(marked[i]))
            ++i;
        std::size_t end = i;
        while (end < marked.size() && !isSpace(marked[end]))
            ++end;
        if (end > i) {
            if (!out.empty())
                out += ' ';
            convertSyllable(marked.substr(i, end - i), out, problem);
        }
        i = end;
    }
    return out;
}

bool readBzip2File(const std::string& path, std::string& out, std::string& error)
{
    out.clear();
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string packed;
    char chunk[1 << 16];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
        packed.append(chunk, got);
    if (std::ferror(file.get())) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    if (packed.empty()) {
        error = path + " is empty";
        return false;
    }
    out.resize(packed.size() * 8);
    std::size_t produced = 0;
    std::size_t consumed = 0;
    // A file may hold several streams one after the other (parallel
    // compressors write it so); each is decompressed in turn.
    while (consumed < packed.size()) {
        bz_stream stream{};
        if (BZ2_bzDecompressInit(&stream, 0, 0) != BZ_OK) {
            error = "cannot start bzip2 decompression";
            return false;
        }
        stream.next_in = packed.data() + consumed;
        stream.avail_in = unsigned(std::min<std::size_t>(packed.size() - consumed, 1u << 30));
        int rc;
        do {
            if (produced == out.size())
                out.resize(out.size() * 2);
            stream.next_out = out.data() + produced;
            stream.avail_out = unsigned(std::min<std::size_t>(out.size() - produced, 1u << 30));
            const unsigned before = stream.avail_out;
            rc = BZ2_bzDecompress(&stream);
            produced += before - stream.avail_out;
        } while (rc == BZ_OK && (stream.avail_in > 0 || stream.avail_out == 0));
        const std::size_t left = stream.avail_in;
        BZ2_bzDecompressEnd(&stream);
        if (rc != BZ_STREAM_END) {
            error = path + (rc == BZ_OK ? " ends in the middle of compressed data"
                                        : " is not valid bzip2 data");
            out.clear();
            return false;
        }
        consumed = packed.size() - left;
    }
    out.resize(produced);
    return true;
}

LineKind parseLine(std::string_view line, Record& record)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.empty() || line[0] == '#')
        return LineKind::Skipped;
    const std::size_t tab1 = line.find('\t');
    const std::size_t tab2 = tab1 == line.npos ? line.npos : line.find('\t', tab1 + 1);
    if (tab2 == line.npos)
        return LineKind::Malformed;
    const int field = fieldNumber(line.substr(tab1 + 1, tab2 - tab1 - 1));
    if (field < 0)
        return LineKind::Skipped;
    const std::string_view key = line.substr(0, tab1);
    if (key.size() < 3 || key.size() > 8 || key[0] != 'U' || key[1] != '+')
        return LineKind::Malformed;
    std::uint32_t cp = 0;
    for (char c : key.substr(2)) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return LineKind::Malformed;
        cp = cp * 16 + std::uint32_t(digit);
    }
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return LineKind::Malformed;
    record.codePoint = cp;
    record.field = field;
    record.value = line.substr(tab2 + 1);
    return LineKind::Kept;
}

namespace {

// The program reads dictionary lines into 1024-byte buffers; a longer line
// would come apart into pieces, so values are cut to keep every line shorter.
constexpr std::size_t kMaxLineBytes = 1023;

// Makes a value fit the dictionary line: control bytes (TAB, CR, LF among
// them) become spaces, invalid UTF-8 becomes U+FFFD, surrounding spaces are
// dropped and the value is cut at a character boundary to `maxBytes`.
// Returns true when anything but trimming had to change.
bool cleanValue(std::string_view in, std::size_t maxBytes, std::string& out)
{
    bool changed = false;
    out.clear();
    for (std::size_t i = 0; i < in.size();) {
        const auto b = static_cast<unsigned char>(in[i]);
        if (b < 0x20 || b == 0x7F) {
            out += ' ';
            ++i;
            changed = true;
        } else if (b < 0x80) {
            out += char(b);
            ++i;
        } else {
            const std::size_t at = i;
            const char32_t cp = decodeUtf8(in, i);
            if (cp == kInvalid) {
                appendUtf8(out, 0xFFFD);
                changed = true;
            } else {
                out.append(in.substr(at, i - at));
            }
        }
    }
    const std::size_t first = out.find_first_not_of(' ');
    if (first == out.npos) {
        out.clear();
        return changed;
    }
    out.erase(0, first);
    out.erase(out.find_last_not_of(' ') + 1);
    if (out.size() > maxBytes) {
        std::size_t cut = maxBytes;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
            --cut;
        out.resize(cut);
        changed = true;
    }
    return changed;
}

std::string describe(const Record& r)
{
    char key[16];
    std::snprintf(key, sizeof key, "U+%04X", unsigned(r.codePoint));
    return std::string(key) + " " + kFields[std::size_t(r.field)].name;
}

constexpr std::size_t kMaxWarningsPerKind = 20;

void warn(std::vector<std::string>& warnings, std::size_t& count, std::string text)
{
    if (++count <= kMaxWarningsPerKind)
        warnings.push_back(std::move(text));
}

} // namespace

std::string buildDictionary(const std::vector<std::string_view>& sources, BuildStats& stats,
                            std::vector<std::string>& warnings)
{
    stats = BuildStats{};
    std::vector<Record> records;
    records.reserve(450000);
    for (std::size_t s = 0; s < sources.size(); ++s) {
        const std::string_view text = sources[s];
        std::size_t lineNumber = 0;
        for (std::size_t pos = 0; pos < text.size();) {
            std::size_t end = text.find('\n', pos);
            if (end == text.npos)
                end = text.size();
            ++lineNumber;
            Record r{};
            switch (parseLine(text.substr(pos, end - pos), r)) {
            case LineKind::Kept:
                records.push_back(r);
                break;
            case LineKind::Malformed:
                warn(warnings, stats.malformed,
                     "source " + std::to_string(s + 1) + " line " + std::to_string(lineNumber) +
                         ": not a Unihan line, skipped");
                break;
            case LineKind::Skipped:
                break;
            }
            pos = end + 1;
        }
    }
    // Stable, so that of two lines for the same character and field the
    // later one is last, as when the program reads repeated lines.
    std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) {
        return a.codePoint != b.codePoint ? a.codePoint < b.codePoint : a.field < b.field;
    });

    std::string out;
    out.reserve(records.size() * 24);
    std::string value;
    std::string problem;
    for (std::size_t i = 0; i < records.size();) {
        std::size_t end = i;
        bool selected = false;
        while (end < records.size() && records[end].codePoint == records[i].codePoint) {
            selected = selected || kFields[std::size_t(records[end].field)].selects;
            ++end;
        }
        if (selected) {
            char key[16];
            const int keyLength =
                std::snprintf(key, sizeof key, "U+%04X", unsigned(records[i].codePoint));
            bool wroteAny = false;
            for (std::size_t k = i; k < end; ++k) {
                const Record& r = records[k];
                if (k + 1 < end && records[k + 1].field == r.field) {
                    warn(warnings, stats.duplicates,
                         describe(r) + ": repeated, the last value is kept");
                    continue;
                }
                const FieldSpec& field = kFields[std::size_t(r.field)];
                const std::size_t room =
                    kMaxLineBytes - 1 - std::size_t(keyLength) - 2 - std::strlen(field.name);
                if (cleanValue(r.value, room, value))
                    warn(warnings, stats.repairedValues,
                         describe(r) + ": control bytes, invalid UTF-8 or excess length repaired");
                if (r.field == 0) {
                    problem.clear();
                    value = toneNumbers(value, &problem);
                    if (!problem.empty())
                        warn(warnings, stats.mandarinProblems,
                             describe(r) + " '" + std::string(r.value) + "': " + problem);
                    // Tone digits lengthen the text; drop whole readings to keep the line short.
                    if (value.size() > room) {
                        const std::size_t lastSpace = value.rfind(' ', room);
                        value.resize(lastSpace == value.npos ? 0 : lastSpace);
                    }
                }
                if (value.empty())
                    continue;
                out.append(key, std::size_t(keyLength));
                out += '\t';
                out += field.name;
                out += '\t';
                out += value;
                out += '\n';
                ++stats.lines;
                ++stats.perField[std::size_t(r.field)];
                wroteAny = true;
            }
            if (wroteAny) {
                ++stats.characters;
                if (records[i].codePoint > 0xFFFF)
                    ++stats.aboveBmp;
            }
        }
        i = end;
    }
    return out;
}

std::string fieldIndexText()
{
    std::string out = "# name\tcode\tkind\ttitle\tdescription\n";
    for (const FieldSpec& f : kFields) {
        out += f.name;
        out += '\t';
        out += f.code;
        out += '\t';
        out += f.kind;
        out += '\t';
        out += f.title;
        out += '\t';
        out += f.description;
        out += '\n';
    }
    return out;
}

} // namespace unihan
