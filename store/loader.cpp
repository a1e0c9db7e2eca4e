#include "store/dictionary.h"
#include "store/linereader.h"
#include "store/memory.h"
#include "store/progress.h"
#include "store/readresult.h"
#include "store/textutil.h"
#include "store/trace.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// How a value's text becomes its display string.
enum class Rule : uint8_t {
    Text,     // the text as UTF-8, U+FFFD for each byte that is not
    Radical,  // kRSUnicode: the Kangxi radical symbol of the leading number
    Pinyin,   // kMandarin: tone numbers to tone marks
    CharList, // "U+XXXX+YYYY...": the characters themselves
    Sourced,  // kHangul: the values without their source codes
};

// A list of characters: "U+XXXX" items separated by blanks, each perhaps
// with more "+YYYY" groups for a key of several code points and with the
// sources that give it ("U+8449<kMatthews"). Every item is shown, its
// characters together and the items apart by one space; the sources are
// left out. An item yields at most two units per group of at least two
// bytes, and a space for at least one separating byte, so n units always
// suffice.
qsizetype charListDisplay(const char* p, size_t n, char16_t* out)
{
    qsizetype units = 0;
    const char* const end = p + n;
    const char* at = p;
    while (at < end) {
        while (at < end && (*at == ' ' || *at == '\t'))
            ++at;
        if (end - at >= 2 && at[0] == 'U' && at[1] == '+') {
            const qsizetype itemStart = units;
            ++at; // the "+" after the "U"
            while (at + 1 < end && *at == '+') {
                uint32_t cp;
                const char* after = tavi_text::readHex(at + 1, end, cp);
                if (after == at + 1)
                    break;
                if (units == itemStart && units > 0)
                    out[units++] = u' ';
                units += tavi_text::putCodePoint(out + units, cp);
                at = after; // the next group starts right after these digits
            }
        }
        while (at < end && *at != ' ' && *at != '\t')
            ++at;
    }
    return units;
}

// Values followed by their sources ("섭:0N 엽:0E"): each blank-separated
// item up to its colon, one space between items.
qsizetype sourcedDisplay(const char* p, size_t n, char16_t* out, bool& invalid)
{
    std::string shown;
    shown.reserve(n);
    const char* const end = p + n;
    const char* at = p;
    while (at < end) {
        while (at < end && (*at == ' ' || *at == '\t'))
            ++at;
        const char* item = at;
        while (at < end && *at != ' ' && *at != '\t')
            ++at;
        const char* colon = static_cast<const char*>(memchr(item, ':', size_t(at - item)));
        const char* itemEnd = colon != nullptr && colon > item ? colon : at;
        if (itemEnd == item)
            continue;
        if (!shown.empty())
            shown.push_back(' ');
        shown.append(item, size_t(itemEnd - item));
    }
    return tavi_text::utf8ToUtf16(shown.data(), shown.size(), out, invalid);
}

char16_t radicalDisplay(const char* p, size_t n)
{
    const char* const end = p + n;
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    int32_t number = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        if (number < 1000000)
            number = number * 10 + (*p - '0');
    }
    if (negative)
        number = -number;
    return char16_t(uint32_t(0x2EFF + number) & 0xFFFFu);
}

// findField by name for every line, with the names' first eight bytes
// compared as one number.
class FieldNames {
public:
    explicit FieldNames(const std::vector<dictFields*>& fields)
    {
        for (const dictFields* f : fields)
            names.push_back(Name{f->name.constData(), size_t(f->name.size()),
                                 head(f->name.constData(), size_t(f->name.size()))});
    }

    int find(const char* p, size_t n) const
    {
        const uint64_t h = head(p, n);
        for (size_t i = 0; i < names.size(); ++i) {
            const Name& name = names[i];
            if (name.length == n && name.head == h &&
                (n <= 8 || memcmp(name.text + 8, p + 8, n - 8) == 0))
                return int(i);
        }
        return -1;
    }

private:
    static uint64_t head(const char* p, size_t n)
    {
        uint64_t h = 0;
        memcpy(&h, p, n < 8 ? n : 8);
        return h;
    }
    struct Name {
        const char* text;
        size_t length;
        uint64_t head;
    };
    std::vector<Name> names;
};

inline bool endsColumn(char c)
{
    return c == '\t' || c == '\r' || c == '\n';
}

} // namespace

// Many values repeat (stroke counts, radicals, readings). A small
// direct-mapped cache of the strings made last for each text lets repeated
// values share their text and display, which saves most of the conversions
// and of the memory that the strings would take.
struct dictionary::ValueCache {
    // Small enough to stay in the processor's cache while a file is read.
    static constexpr size_t kCells = size_t(1) << 13;
    struct Slot {
        uint64_t head = 0; // the text's first eight bytes: most are no longer
        const dictValue::Strings* strings = nullptr;
        uint32_t size = 0; // the text's, kept here to spare a visit to the strings
        uint8_t rule = 0;
        bool invalid = false; // the text is not valid UTF-8
    };
    std::unique_ptr<Slot[]> cells{new Slot[kCells]};
};

const dictValue::Strings* dictionary::valueFromFile(int rule, const char* p, size_t n,
                                                    ValueCache& cache, bool& invalid)
{
    using Strings = dictValue::Strings;
    uint32_t h = 2166136261u ^ uint32_t(rule);
    for (size_t i = 0; i < n; ++i)
        h = (h ^ static_cast<unsigned char>(p[i])) * 16777619u;
    h ^= h >> 15;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    uint64_t head = 0;
    memcpy(&head, p, n < 8 ? n : 8);
    ValueCache::Slot& slot = cache.cells[h & (ValueCache::kCells - 1)];
    const Strings* s = slot.strings;
    if (s != nullptr && slot.size == n && slot.rule == uint8_t(rule) && slot.head == head &&
        (n <= 8 || memcmp(reinterpret_cast<const char*>(s + 1) + 8, p + 8, n - 8) == 0)) {
        invalid = slot.invalid;
        return s;
    }
    // The header, the text and NUL, padding to an even address, then the
    // display's units and NUL, all in one piece of the arena.
    const size_t room = (rule == int(Rule::Pinyin) ? tavi_text::pinyinCapacity(n) : n + 1) + 1;
    char* block = strings->reserve(sizeof(Strings) + n + 2 + room * 2, alignof(Strings));
    auto* stored = reinterpret_cast<Strings*>(block);
    char* text = block + sizeof(Strings);
    memcpy(text, p, n);
    text[n] = '\0';
    stored->textSize = uint32_t(n);
    stored->displaySize = 0;
    auto* units = const_cast<char16_t*>(dictValue::displayUnits(stored));
    qsizetype length = 0;
    invalid = false;
    switch (Rule(rule)) {
    case Rule::CharList:
        length = charListDisplay(p, n, units);
        break;
    case Rule::Radical:
        units[0] = radicalDisplay(p, n);
        length = 1;
        break;
    case Rule::Pinyin:
        length = tavi_text::pinyinizeInto(p, n, units);
        if (length == 0)
            length = -1;
        invalid = !tavi_text::isValidUtf8(p, n); // the converter puts U+FFFD
        break;
    case Rule::Sourced:
        length = sourcedDisplay(p, n, units, invalid);
        break;
    case Rule::Text: {
        unsigned char high = 0;
        for (size_t i = 0; i < n; ++i)
            high |= static_cast<unsigned char>(p[i]);
        length = high < 0x80 ? dictValue::kTextShown : tavi_text::utf8ToUtf16(p, n, units, invalid);
        break;
    }
    }
    stored->displaySize = int32_t(length);
    if (length >= 0) {
        units[length] = 0;
        strings->commit(size_t(reinterpret_cast<char*>(units + length + 1) - block));
    } else {
        strings->commit(sizeof(Strings) + n + 1);
    }
    slot.head = head;
    slot.strings = stored;
    slot.size = uint32_t(n);
    slot.rule = uint8_t(rule);
    slot.invalid = invalid;
    return stored;
}

ReadResult dictionary::load(const char* path, LoadProgress* progress)
{
    FILE* file = path != nullptr ? openForReading(path) : nullptr;
    if (file == nullptr) {
        const int error = path != nullptr ? errno : ENOENT;
        fprintf(stderr, "Unable to open '%s'\n", path != nullptr ? path : "");
        return ReadResult::failure(path != nullptr ? path : "", error);
    }
    qCDebug(taviTrace, "Loading '%s'...", path);

    struct stat info;
    const double size = fstat(fileno(file), &info) == 0 ? double(info.st_size) : 0.0;
    if (progress != nullptr)
        progress->setProgressMaximum(1000);
    int32_t last = 0;

    // The display rule of each field by its name; "U+" lists override it.
    std::vector<Rule> fieldRule(fields.size(), Rule::Text);
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i]->name == "kRSUnicode")
            fieldRule[i] = Rule::Radical;
        else if (fields[i]->name == "kMandarin")
            fieldRule[i] = Rule::Pinyin;
        else if (fields[i]->name == "kHangul")
            fieldRule[i] = Rule::Sourced;
    }

    const FieldNames names(fields);
    ValueCache cache;
    characterEntry probe; // one probe for every line's key
    // The lines of one key mostly follow each other: their values are
    // gathered here and put into the entry in one go.
    characterEntry* entry = nullptr;
    std::vector<dictValue> pending;
    pending.reserve(64);
    auto flush = [&] {
        if (entry != nullptr && !pending.empty())
            attachValues(entry, pending.data(), pending.size());
        pending.clear();
    };
    LineDiagnostics diagnostics(path);
    LineReader reader(file);
    reader.skipByteOrderMark();
    for (;;) {
        if (progress != nullptr && size > 0) {
            int32_t v = int32_t(double(reader.offset()) / size * 1000.0);
            if (v > 1000)
                v = 1000;
            if (v != last) {
                last = v;
                progress->setProgressValue(v);
            }
        }

        const char* line;
        size_t length;
        if (!reader.next(line, length))
            break;
        if (length > 0 && line[0] == '#')
            continue;
        if (length == 0 || line[0] != 'U') {
            fprintf(stderr, "Unknown input: %.*s\n", int(length), line);
            continue;
        }

        // Columns: key up to the first TAB, field name up to the next, value
        // up to the next TAB, CR or LF.
        const char* const end = line + length;
        const char* keyEnd = static_cast<const char*>(memchr(line, '\t', length));
        if (keyEnd == nullptr)
            keyEnd = end;

        probe.codes.clear();
        for (const char* plus = static_cast<const char*>(memchr(line, '+', size_t(keyEnd - line)));
             plus != nullptr;
             plus = static_cast<const char*>(memchr(plus, '+', size_t(keyEnd - plus)))) {
            ++plus;
            uint32_t cp;
            // An empty or non-hexadecimal piece contributes nothing.
            if (tavi_text::readHex(plus, keyEnd, cp) != plus)
                probe.codes.push_back(cp);
        }
        // A key that names no character would become an entry that nothing
        // can show or save faithfully.
        if (!tavi_text::isCharacterKey(probe.codes.data(), probe.codes.size())) [[unlikely]] {
            std::string why;
            tavi_text::isCharacterKey(probe.codes.data(), probe.codes.size(), &why);
            diagnostics.report(reader.lineNumber(), (why + "; line skipped").c_str());
            continue;
        }

        if (entry == nullptr || entry->codes != probe.codes) {
            flush();
            const bool known = probe.codes.size() != 1 || mayHoldSingle(probe.codes[0]);
            entry = known ? static_cast<characterEntry*>(table->IsIn(&probe)) : nullptr;
            if (entry == nullptr) {
                entry = new characterEntry(probe.codes);
                addCharacterEntry(entry);
            }
        }

        if (keyEnd == end)
            continue; // no field name
        const char* name = keyEnd + 1;
        const char* nameEnd = name;
        while (nameEnd < end && !endsColumn(*nameEnd))
            ++nameEnd;
        const int f = names.find(name, size_t(nameEnd - name));
        if (f < 0)
            continue;
        if (nameEnd == end || *nameEnd != '\t')
            continue; // a known name without a value column
        const char* value = nameEnd + 1;
        const char* valueEnd = value;
        while (valueEnd < end && !endsColumn(*valueEnd))
            ++valueEnd;

        const size_t n = size_t(valueEnd - value);
        const Rule rule =
            n >= 2 && value[0] == 'U' && value[1] == '+' ? Rule::CharList : fieldRule[size_t(f)];
        bool invalid = false;
        const dictValue v{f, 0, valueFromFile(int(rule), value, n, cache, invalid)};
        if (invalid) [[unlikely]]
            diagnostics.report(reader.lineNumber(), "invalid UTF-8, kept with U+FFFD");
        // A later line of the same field replaces the earlier one.
        auto same = std::find_if(pending.begin(), pending.end(),
                                 [f](const dictValue& p) { return p.field == f; });
        if (same != pending.end())
            *same = v;
        else
            pending.push_back(v);
    }
    flush();
    if (reader.skippedLongLines() > 0)
        fprintf(stderr, "Skipped %ld lines longer than %zu bytes in '%s'\n",
                reader.skippedLongLines(), LineReader::kLineMax, path);
    if (reader.failed())
        fprintf(stderr, "Error reading '%s'\n", path);
    fclose(file);
    if (progress != nullptr)
        progress->setProgressValue(1000);
    return reader.failed() ? ReadResult::failure(path, reader.errorCode())
                           : ReadResult::success(path);
}
