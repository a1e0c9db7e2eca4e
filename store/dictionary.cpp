#include "store/dictionary.h"

#include "store/memory.h"
#include "store/textutil.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <new>

dictionary dict;

void* characterEntry::operator new(std::size_t size)
{
    return tavi_memory::poolAllocate(size);
}

void characterEntry::operator delete(void* p, std::size_t size) noexcept
{
    tavi_memory::poolRelease(p, size);
}

characterEntry::characterEntry() : index(0) {}

characterEntry::characterEntry(std::span<const uint32_t> codes_) : codes(codes_), index(0) {}

characterEntry::characterEntry(std::initializer_list<uint32_t> codes_) : codes(codes_), index(0) {}

characterEntry::~characterEntry()
{
    if (values.capacity > 0)
        tavi_memory::poolRelease(values.run, values.capacity * sizeof(dictValue));
}

uint32_t characterEntry::hash_key() const
{
    uint32_t key = 0;
    for (uint32_t c : codes)
        key ^= c;
    return key;
}

bool characterEntry::equals(const State* other) const
{
    // Only entries are stored in the dictionary's table.
    return codes == static_cast<const characterEntry*>(other)->codes;
}

int characterEntry::type() const
{
    return 0;
}

void characterEntry::Print(int) const {}

dictValue* characterEntry::lookup(int field) const
{
    if ((fieldBits & fieldBit(field)) == 0)
        return nullptr;
    for (uint32_t i = 0; i < values.count; ++i) {
        if (values.run[i].field == field)
            return values.run + i;
    }
    return nullptr;
}

void characterEntry::remove(int field)
{
    if ((fieldBits & fieldBit(field)) == 0)
        return;
    for (uint32_t i = 0; i < values.count; ++i) {
        if (values.run[i].field == field) {
            values.run[i] = values.run[values.count - 1];
            values.count -= 1;
            fieldBits = 0;
            for (const dictValue* v : values)
                fieldBits |= fieldBit(v->field);
            return;
        }
    }
}

dictionary::dictionary()
    : table(new HashTable(20231)), count(0), strings(std::make_unique<tavi_memory::StringArena>()),
      singleKeys((0x10FFFF >> 6) + 1, 0)
{
    entries.reserve(50001);
}

dictionary::~dictionary()
{
    delete table; // destroys every entry and its values
    for (dictFields* f : fields)
        delete f;
}

QString dictionary::displayOfCodes(std::span<const uint32_t> codes)
{
    QString s(qsizetype(codes.size() * 2), Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(s.data());
    qsizetype n = 0;
    for (uint32_t c : codes)
        n += tavi_text::putCodePoint(out + n, c);
    s.truncate(n);
    return s;
}

bool dictionary::mayHoldSingle(uint32_t cp) const
{
    return cp > 0x10FFFF || (singleKeys[cp >> 6] >> (cp & 63) & 1u) != 0;
}

void dictionary::addCharacterEntry(characterEntry* e)
{
    table->Add(e);
    if (e->codes.size() == 1 && e->codes[0] <= 0x10FFFF)
        singleKeys[e->codes[0] >> 6] |= uint64_t(1) << (e->codes[0] & 63);
    entries.push_back(e);
    e->index = count;
    count += 1;
    const std::size_t room = e->codes.size() * 2;
    auto* p = reinterpret_cast<char16_t*>(strings->reserve((room + 1) * 2, 2));
    qsizetype n = 0;
    for (uint32_t c : e->codes)
        n += tavi_text::putCodePoint(p + n, c);
    p[n] = 0;
    strings->commit(std::size_t(n + 1) * 2);
    e->display = QString::fromRawData(reinterpret_cast<const QChar*>(p), n);
}

void dictionary::widen(const dictValue& v)
{
    if (v.hasDisplay() && v.field >= 0 && std::size_t(v.field) < fields.size()) {
        dictFields* d = fields[std::size_t(v.field)];
        const auto length = uint32_t(v.displaySize());
        d->width = std::min(150u, std::max(d->width, length));
    }
}

void dictionary::attachValues(characterEntry* e, const dictValue* values, std::size_t n,
                              bool widenFields)
{
    ValueList& list = e->values;
    std::size_t added = 0;
    for (std::size_t i = 0; i < n; ++i)
        added += e->lookup(values[i].field) == nullptr;
    if (list.count + added > list.capacity) {
        // Exactly the room needed: most entries are made in one go.
        const auto capacity = uint32_t(list.count + added);
        auto* run =
            static_cast<dictValue*>(tavi_memory::poolAllocate(capacity * sizeof(dictValue)));
        for (uint32_t i = 0; i < list.count; ++i)
            new (run + i) dictValue(list.run[i]);
        if (list.capacity > 0)
            tavi_memory::poolRelease(list.run, list.capacity * sizeof(dictValue));
        list.run = run;
        list.capacity = capacity;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const dictValue& v = values[i];
        if (widenFields)
            widen(v);
        if (e->index < imageFormsEntries)
            imageFormsChanged.emplace_back(e->index, v.field);
        if (dictValue* old = e->lookup(v.field))
            *old = v;
        else
            new (list.run + list.count++) dictValue(v);
        e->fieldBits |= characterEntry::fieldBit(v.field);
    }
}

const dictValue::Strings* dictionary::storeStrings(const char* text, std::size_t n,
                                                   const QString& display)
{
    using Strings = dictValue::Strings;
    const std::size_t units = display.isNull() ? 0 : std::size_t(display.size()) + 1;
    const std::size_t room = sizeof(Strings) + n + 2 + units * 2;
    char* p = strings->reserve(room, alignof(Strings));
    auto* s = reinterpret_cast<Strings*>(p);
    s->textSize = uint32_t(n);
    s->displaySize = display.isNull() ? -1 : int32_t(display.size());
    char* t = p + sizeof(Strings);
    if (n > 0)
        memcpy(t, text, n);
    t[n] = '\0';
    if (!display.isNull()) {
        auto* u = const_cast<char16_t*>(dictValue::displayUnits(s));
        if (!display.isEmpty())
            memcpy(u, display.constData(), std::size_t(display.size()) * 2);
        u[display.size()] = 0;
    }
    strings->commit(room);
    return s;
}

dictValue* dictionary::addDictValue(characterEntry* e, int field, const QByteArray& text,
                                    const QString& display, int32_t modified)
{
    const dictValue v{field, modified,
                      storeStrings(text.constData(), std::size_t(text.size()), display)};
    attachValues(e, &v, 1);
    return e->lookup(field);
}

void dictionary::setValue(dictValue* v, const QByteArray& text, const QString& display)
{
    v->setStrings(storeStrings(text.constData(), std::size_t(text.size()), display));
}

void dictionary::iterReset()
{
    table->iterReset();
}

bool dictionary::iterDone() const
{
    return table->iterDone();
}

characterEntry* dictionary::iterNext()
{
    return static_cast<characterEntry*>(table->iterNext());
}
