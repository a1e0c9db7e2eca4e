#include "store/relevance.h"

#include "store/dictionary.h"

#include <algorithm>

namespace dictsearch {

namespace {

// The number a value starts with, clamped to [0, limit - 1]; limit when the
// entry has no value or the value no digits.
uint64_t numberOf(const characterEntry* e, int field, uint64_t limit)
{
    const dictValue* v = field >= 0 ? e->lookup(field) : nullptr;
    if (!v)
        return limit;
    const char* p = v->text().constData();
    const char* const end = p + v->text().size();
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    if (p == end || *p < '0' || *p > '9')
        return limit;
    uint64_t n = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p)
        n = std::min<uint64_t>(n * 10 + uint64_t(*p - '0'), limit - 1);
    return n;
}

} // namespace

Relevance::Relevance(const dictionary& d)
    : frequency(d.findField("kFrequency")), grade(d.findField("kGradeLevel")),
      strokes(d.findField("kTotalStrokes"))
{
}

uint64_t Relevance::key(const characterEntry* e) const
{
    // 8 bits of frequency, 8 of grade, 11 of strokes, 22 of the first code
    // point, 15 of the key's length.
    const uint64_t first = e->codes.empty() ? 0 : std::min<uint64_t>(e->codes[0], 0x3FFFFF);
    const uint64_t length = std::min<uint64_t>(e->codes.size(), 0x7FFF);
    return numberOf(e, frequency, 0xFF) << 56 | numberOf(e, grade, 0xFF) << 48 |
           numberOf(e, strokes, 0x7FF) << 37 | first << 15 | length;
}

std::vector<int> pinyinFields(const dictionary& d)
{
    std::vector<int> found;
    for (std::size_t f = 0; f < d.fields.size(); ++f) {
        if (d.fields[f]->name == "kMandarin")
            found.push_back(int(f));
    }
    return found;
}

} // namespace dictsearch
