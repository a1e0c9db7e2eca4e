#include "store/image.h"

#include "store/dictionary.h"
#include "store/searchindex.h"
#include "store/textutil.h"

#include <QFile>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr char kMagic[8] = {'T', 'A', 'V', 'I', 'D', 'I', 'C', '1'};
constexpr uint32_t kByteOrder = 0x01020304;
constexpr std::size_t kHeaderSize = 56;

using Strings = dictValue::Strings;

// The bytes of a value's strings: header, text and NUL, then (when a display
// is stored) padding to an even offset, the display's units and NUL.
std::size_t stringsSize(const Strings* s)
{
    if (s->displaySize < 0)
        return sizeof(Strings) + s->textSize + 1;
    const auto* units = reinterpret_cast<const char*>(dictValue::displayUnits(s));
    return std::size_t(units - reinterpret_cast<const char*>(s)) +
           (std::size_t(s->displaySize) + 1) * 2;
}

void put32(QByteArray& out, uint32_t n)
{
    out.append(reinterpret_cast<const char*>(&n), 4);
}

void padTo(QByteArray& out, qsizetype multiple)
{
    while (out.size() % multiple != 0)
        out.append('\0');
}

// The layout a header describes, in bytes from the start of the file.
struct Layout {
    uint32_t fields, entries, codes, values, names, strings, forms;
    uint64_t fieldsAt, entriesAt, codesAt, valuesAt, namesAt, stringsAt, formsAt, end;

    void place()
    {
        fieldsAt = kHeaderSize;
        entriesAt = fieldsAt + 12 * uint64_t(fields);
        codesAt = entriesAt + 8 * (uint64_t(entries) + 1);
        valuesAt = (codesAt + 4 * uint64_t(codes) + 7) & ~uint64_t(7);
        namesAt = valuesAt + sizeof(dictValue) * uint64_t(values);
        stringsAt = (namesAt + names + 7) & ~uint64_t(7);
        formsAt = (stringsAt + strings + 7) & ~uint64_t(7);
        end = formsAt + forms;
    }
};

} // namespace

bool stampOfText(const char* path, TextStamp* stamp)
{
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Eight bytes at a time, the last ones padded with zeros: a few
    // milliseconds for the shipped text.
    std::vector<uint64_t> buffer(1 << 15);
    uint64_t hash = 0x243F6A8885A308D3u, size = 0;
    bool ok = true;
    for (;;) {
        const ssize_t n = read(fd, buffer.data(), buffer.size() * 8);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (n % 8 != 0)
            memset(reinterpret_cast<char*>(buffer.data()) + n, 0, size_t(8 - n % 8));
        for (size_t i = 0; i < (size_t(n) + 7) / 8; ++i)
            hash = ((hash << 5 | hash >> 59) ^ buffer[i]) * 0x9E3779B97F4A7C15u;
        size += uint64_t(n);
    }
    close(fd);
    *stamp = {size, hash ^ size};
    return ok;
}

QByteArray makeDictionaryImage(const dictionary& d, const TextStamp& source)
{
    QByteArray names;
    std::vector<uint32_t> widths(d.fields.size(), 0);
    // Values share strings where the loader made them once; others with the
    // same bytes are shared here too. The strings are kept by field, so that
    // reading one field's values (to sort by it) reads only its part.
    struct Block {
        uint32_t field;
        uint32_t at; // in its field's part
    };
    std::vector<Block> blocks;
    std::vector<QByteArray> parts(d.fields.size());
    std::unordered_map<const Strings*, uint32_t> byAddress;
    std::unordered_map<std::string, uint32_t> byBytes;
    std::vector<uint32_t> codes, values, entries;
    for (const characterEntry* e : d.entries) {
        entries.push_back(uint32_t(codes.size()));
        entries.push_back(uint32_t(values.size() / 2));
        codes.insert(codes.end(), e->codes.begin(), e->codes.end());
        for (const dictValue* v : e->values) {
            auto known = byAddress.find(v->strings());
            if (known == byAddress.end()) {
                std::string bytes(reinterpret_cast<const char*>(v->strings()),
                                  stringsSize(v->strings()));
                auto [at, added] = byBytes.emplace(std::move(bytes), uint32_t(blocks.size()));
                if (added) {
                    QByteArray& part = parts[std::size_t(v->field)];
                    blocks.push_back({uint32_t(v->field), uint32_t(part.size())});
                    part.append(at->first.data(), qsizetype(at->first.size()));
                    padTo(part, alignof(Strings));
                }
                known = byAddress.emplace(v->strings(), at->second).first;
            }
            values.push_back(uint32_t(v->field));
            values.push_back(known->second);
            if (v->hasDisplay() && v->field >= 0 && std::size_t(v->field) < widths.size())
                widths[std::size_t(v->field)] = std::min<uint32_t>(
                    150, std::max(widths[std::size_t(v->field)], uint32_t(v->displaySize())));
        }
    }
    QByteArray strings;
    std::vector<uint32_t> partAt;
    for (const QByteArray& part : parts) {
        partAt.push_back(uint32_t(strings.size()));
        strings.append(part);
    }
    for (std::size_t i = 1; i < values.size(); i += 2) {
        const Block& b = blocks[values[i]];
        values[i] = partAt[b.field] + b.at;
    }
    entries.push_back(uint32_t(codes.size()));
    entries.push_back(uint32_t(values.size() / 2));

    dictsearch::SearchIndex index(&d);
    const QByteArray forms = index.formsImage();

    for (const dictFields* f : d.fields)
        names.append(f->name);
    Layout l{};
    l.fields = uint32_t(d.fields.size());
    l.entries = uint32_t(d.entries.size());
    l.codes = uint32_t(codes.size());
    l.values = uint32_t(values.size() / 2);
    l.names = uint32_t(names.size());
    l.strings = uint32_t(strings.size());
    l.forms = uint32_t(forms.size());
    l.place();

    QByteArray out(kMagic, 8);
    put32(out, kByteOrder);
    put32(out, l.forms);
    out.append(reinterpret_cast<const char*>(&source.size), 8);
    out.append(reinterpret_cast<const char*>(&source.hash), 8);
    for (uint32_t n : {l.fields, l.entries, l.codes, l.values, l.names, l.strings})
        put32(out, n);
    uint32_t nameAt = 0;
    for (std::size_t i = 0; i < d.fields.size(); ++i) {
        put32(out, nameAt);
        put32(out, uint32_t(d.fields[i]->name.size()));
        put32(out, widths[i]);
        nameAt += uint32_t(d.fields[i]->name.size());
    }
    for (const std::vector<uint32_t>* part : {&entries, &codes})
        out.append(reinterpret_cast<const char*>(part->data()), qsizetype(part->size() * 4));
    padTo(out, 8);
    // The values as the store keeps them, each with the distance from
    // itself to its strings.
    for (uint32_t i = 0; i < l.values; ++i) {
        put32(out, values[2 * i]);
        put32(out, 0);
        const int64_t distance = int64_t(l.stringsAt + values[2 * i + 1]) -
                                 int64_t(l.valuesAt + sizeof(dictValue) * uint64_t(i));
        out.append(reinterpret_cast<const char*>(&distance), 8);
    }
    out.append(names);
    padTo(out, 8);
    out.append(strings);
    padTo(out, 8);
    out.append(forms);
    return out;
}

bool dictionary::loadImage(const QString& path, const TextStamp& source, QString* why)
{
    auto fail = [&](const char* reason) {
        if (why)
            *why = QString::fromUtf8(reason);
        return false;
    };
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        if (why)
            *why = file->errorString();
        return false;
    }
    const auto size = uint64_t(file->size());
    // Private: an edited value, and the search forms' record of it, change
    // in place in memory; the file never does.
    const uchar* mapped =
        size >= kHeaderSize ? file->map(0, qint64(size), QFileDevice::MapPrivateOption) : nullptr;
    if (mapped == nullptr)
        return fail(size >= kHeaderSize ? "it cannot be mapped" : "not a dictionary image");
    const auto* base = reinterpret_cast<const char*>(mapped);
    auto at = [base](uint64_t offset) {
        uint32_t n;
        memcpy(&n, base + offset, 4);
        return n;
    };
    TextStamp madeFrom;
    memcpy(&madeFrom.size, base + 16, 8);
    memcpy(&madeFrom.hash, base + 24, 8);
    if (memcmp(base, kMagic, 8) != 0 || at(8) != kByteOrder)
        return fail("not a dictionary image of this machine");
    if (!(madeFrom == source))
        return fail("made from another dictionary.txt");
    Layout l{};
    l.fields = at(32);
    l.entries = at(36);
    l.codes = at(40);
    l.values = at(44);
    l.names = at(48);
    l.strings = at(52);
    l.forms = at(12);
    l.place();
    if (l.end != size)
        return fail("its size does not match its header");

    // Everything is checked before the store changes: a damaged file leaves
    // it as it was, for the text to be read instead.
    std::vector<int> fieldOf(l.fields);
    std::vector<uint32_t> widthOf(l.fields);
    for (uint32_t i = 0; i < l.fields; ++i) {
        const uint64_t record = l.fieldsAt + 12 * uint64_t(i);
        const uint32_t offset = at(record), length = at(record + 4);
        if (uint64_t(offset) + length > l.names)
            return fail("a field name lies outside the file");
        // A field the index no longer names is left out, as in the text.
        fieldOf[i] = findField(base + l.namesAt + offset, length);
        widthOf[i] = at(record + 8);
    }
    const auto* entryTable = reinterpret_cast<const uint32_t*>(base + l.entriesAt);
    const auto* codeTable = reinterpret_cast<const uint32_t*>(base + l.codesAt);
    // The mapping is private: values of it that change are copied then.
    auto* valueTable = reinterpret_cast<dictValue*>(const_cast<char*>(base) + l.valuesAt);
    const char* const strs = base + l.stringsAt;
    if (entryTable[0] != 0 || entryTable[1] != 0 || entryTable[2 * l.entries] != l.codes ||
        entryTable[2 * l.entries + 1] != l.values)
        return fail("its entries do not match its header");
    for (uint32_t i = 0; i < l.entries; ++i) {
        const uint32_t* e = entryTable + 2 * i;
        if (e[2] <= e[0] || e[2] > l.codes || e[3] < e[1] || e[3] > l.values)
            return fail("an entry lies outside the file");
        if (!tavi_text::isCharacterKey(codeTable + e[0], e[2] - e[0]))
            return fail("an entry's key names no character");
    }
    for (uint32_t i = 0; i < l.values; ++i) {
        const dictValue& v = valueTable[i];
        const auto offset = uint64_t(reinterpret_cast<std::uintptr_t>(v.strings()) -
                                     reinterpret_cast<std::uintptr_t>(strs));
        if (uint32_t(v.field) >= l.fields || v.modified != 0)
            return fail("a value is damaged");
        if (offset % alignof(Strings) != 0 || offset > l.strings ||
            l.strings - offset < sizeof(Strings))
            return fail("a value lies outside the file");
        const auto* s = reinterpret_cast<const Strings*>(strs + offset);
        const uint64_t room = l.strings - offset - sizeof(Strings);
        if (uint64_t(s->textSize) + 1 > room || strs[offset + sizeof(Strings) + s->textSize] != 0)
            return fail("a value's text lies outside the file");
        if (s->displaySize >= 0) {
            const auto units =
                uint64_t(reinterpret_cast<const char*>(dictValue::displayUnits(s)) - strs);
            if (units + (uint64_t(s->displaySize) + 1) * 2 > l.strings ||
                dictValue::displayUnits(s)[s->displaySize] != 0)
                return fail("a value's display lies outside the file");
        } else if (s->displaySize != dictValue::kNoDisplay &&
                   s->displaySize != dictValue::kTextShown) {
            return fail("a value's display is damaged");
        }
    }

    // The check read every value's strings, and few are needed before they
    // are shown: their pages go back to the system, to be read again from
    // the file when used. Nothing has written to them.
    const auto page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(strs) + page - 1) & ~(page - 1);
    const std::uintptr_t to = (reinterpret_cast<std::uintptr_t>(strs) + l.strings) & ~(page - 1);
    if (to > from)
        madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);

    // Where the image's field numbers are the store's, its values are used
    // where they lie, and its search forms too, for its entries numbered
    // from 0.
    bool sameFields = l.fields == fields.size() && l.fields < 63;
    for (uint32_t i = 0; i < l.fields; ++i)
        sameFields = sameFields && fieldOf[i] == int(i);
    const bool formsUsable = sameFields && entries.empty() && l.forms > 0;
    entries.reserve(entries.size() + l.entries + 1024);
    std::vector<dictValue> pending;
    characterEntry probe;
    for (uint32_t i = 0; i < l.entries; ++i) {
        const uint32_t* r = entryTable + 2 * i;
        probe.codes.assign(codeTable + r[0], codeTable + r[2]);
        characterEntry* e = nullptr;
        if (probe.codes.size() != 1 || mayHoldSingle(probe.codes[0]))
            e = static_cast<characterEntry*>(table->IsIn(&probe));
        const bool fresh = e == nullptr;
        if (fresh) {
            e = new characterEntry(probe.codes);
            addCharacterEntry(e);
        }
        uint64_t bits = 0;
        bool twice = false;
        for (uint32_t v = r[1]; v < r[3]; ++v) {
            const uint64_t bit = characterEntry::fieldBit(valueTable[v].field);
            twice = twice || (bits & bit) != 0;
            bits |= bit;
        }
        if (fresh && sameFields && !twice) {
            e->values.run = valueTable + r[1];
            e->values.count = r[3] - r[1];
            e->values.capacity = 0;
            e->fieldBits = bits;
            continue;
        }
        // A key given twice, a field given twice, or other field numbers.
        pending.clear();
        for (uint32_t v = r[1]; v < r[3]; ++v) {
            const int f = fieldOf[std::size_t(valueTable[v].field)];
            if (f >= 0)
                pending.push_back(dictValue{f, 0, valueTable[v].strings()});
        }
        if (!pending.empty())
            attachValues(e, pending.data(), pending.size(), false);
    }
    for (uint32_t i = 0; i < l.fields; ++i) {
        if (fieldOf[i] >= 0) {
            dictFields* f = fields[std::size_t(fieldOf[i])];
            f->width = std::min(150u, std::max(f->width, widthOf[i]));
        }
    }
    if (formsUsable) {
        imageForms = QByteArrayView(base + l.formsAt, qsizetype(l.forms));
        imageFormsEntries = l.entries;
        imageFormsChanged.clear();
    }
    images.push_back(std::move(file));
    return true;
}
