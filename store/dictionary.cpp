#include "store/dictionary.h"

#include "store/memory.h"
#include "store/textutil.h"

#include <algorithm>

dictionary dict;

void* dictValue::operator new(std::size_t size)
{
    return tavi_memory::poolAllocate(size);
}

void dictValue::operator delete(void* p, std::size_t size) noexcept
{
    tavi_memory::poolRelease(p, size);
}

void* characterEntry::operator new(std::size_t size)
{
    return tavi_memory::poolAllocate(size);
}

void characterEntry::operator delete(void* p, std::size_t size) noexcept
{
    tavi_memory::poolRelease(p, size);
}

characterEntry::characterEntry() : index(0) {}

characterEntry::characterEntry(std::vector<uint32_t> codes_) : codes(std::move(codes_)), index(0) {}

characterEntry::~characterEntry()
{
    for (dictValue* v : values)
        delete v;
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
    const auto& theirs = static_cast<const characterEntry*>(other)->codes;
    if (theirs.size() != codes.size())
        return false;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (codes[i] != theirs[i])
            return false;
    }
    return true;
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
    for (dictValue* v : values) {
        if (v->field == field)
            return v;
    }
    return nullptr;
}

void characterEntry::remove(int field)
{
    if ((fieldBits & fieldBit(field)) == 0)
        return;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i]->field == field) {
            delete values[i];
            values[i] = values.back();
            values.pop_back();
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

QString dictionary::displayOfCodes(const std::vector<uint32_t>& codes)
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

void dictionary::addDictValue(characterEntry* e, dictValue* v)
{
    if (!v->display.isNull() && v->field >= 0 && std::size_t(v->field) < fields.size()) {
        dictFields* d = fields[std::size_t(v->field)];
        const auto length = uint32_t(v->display.size());
        d->width = std::min(150u, std::max(d->width, length));
    }
    e->values.push_back(v);
    e->fieldBits |= characterEntry::fieldBit(v->field);
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
