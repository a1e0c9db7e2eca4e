#include "windows/floating/lookup.h"

#include "store/dictionary.h"
#include "windows/dictionary/searchindex.h"
#include "windows/history/history.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace tavi_lookup {

std::vector<uint32_t> codePointsOfUnits(const UniChar* units, qsizetype count)
{
    std::vector<uint32_t> codes;
    codes.reserve(std::size_t(std::max<qsizetype>(count, 0)));
    for (qsizetype i = 0; i < count; ++i) {
        const uint32_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            codes.push_back(0x10000u + ((unit - 0xD800u) << 10) + (uint32_t(units[i + 1]) - 0xDC00u));
            ++i;
        } else {
            codes.push_back(unit);
        }
    }
    return codes;
}

int32_t leadingInteger(const QByteArray& text)
{
    const char* p = text.constData();
    const char* const end = p + text.size();
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    int64_t value = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1)
            value = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    }
    if (negative)
        value = -value;
    return int32_t(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

LookupIndex::LookupIndex(const dictionary& d_, dictsearch::SearchIndex& forms_)
    : d(d_), forms(forms_)
{
}

std::vector<int> LookupIndex::fieldsOfKind(int32_t kind) const
{
    std::vector<int> found;
    for (std::size_t f = 0; f < d.fields.size(); ++f) {
        if (d.fields[f]->kind == kind)
            found.push_back(int(f));
    }
    return found;
}

int32_t LookupIndex::findCharacter(const std::vector<uint32_t>& codes)
{
    int64_t found = -1;
    // The entry whose key is the text: keys are unique, so the table has it.
    characterEntry probe(codes);
    if (const auto* e = static_cast<const characterEntry*>(d.table->IsIn(&probe)))
        found = e->index;

    // An earlier entry that lists the text as an alternative form wins. The
    // index marks the forms that hold the text; the first of them that is
    // the whole text is the earliest such entry of that field.
    const QString needle = dictsearch::searchForm(dictionary::displayOfCodes(codes));
    for (int field : fieldsOfKind(kAltCharacter)) {
        // Only an entry before the best so far can change the result.
        const std::size_t limit = found < 0 ? d.entries.size() : std::size_t(found);
        hits.assign(d.entries.size(), 0);
        forms.markMatches(field, needle, hits);
        for (std::size_t i = 0; i < limit; ++i) {
            const auto* at = static_cast<const uint8_t*>(std::memchr(hits.data() + i, 1, limit - i));
            if (!at)
                break;
            i = std::size_t(at - hits.data());
            QStringView form;
            if (forms.valueForm(field, d.entries[i], &form) && form == needle) {
                found = int64_t(i);
                break;
            }
        }
    }
    return int32_t(found);
}

int32_t LookupIndex::findDefinition(QStringView text)
{
    const QString needle = dictsearch::searchForm(text);
    if (needle.isEmpty())
        return -1;
    const std::vector<int> fields = fieldsOfKind(kDefinition);
    std::vector<std::vector<uint8_t>> matched(fields.size());
    for (std::size_t k = 0; k < fields.size(); ++k) {
        matched[k].assign(d.entries.size(), 0);
        forms.markMatches(fields[k], needle, matched[k]);
    }

    const int frequencyField = d.findField("kFrequency");
    auto frequency = [&](std::size_t entry) -> const dictValue* {
        return frequencyField >= 0 ? d.entries[entry]->lookup(frequencyField) : nullptr;
    };
    // Whether candidate c ranks above the best so far, b: a smaller frequency
    // number, any frequency over none, and without either, more characters.
    auto ranksAbove = [&](std::size_t c, std::size_t b) {
        const dictValue* cf = frequency(c);
        const dictValue* bf = frequency(b);
        if (cf && bf)
            return leadingInteger(cf->text) < leadingInteger(bf->text);
        if (cf || bf)
            return cf != nullptr;
        return d.entries[c]->codes.size() > d.entries[b]->codes.size();
    };

    // Candidates in entry order, once per definition field that holds the text.
    int64_t best = -1;
    const std::size_t count = d.entries.size();
    std::size_t i = 0;
    while (i < count) {
        // The next entry that any field matched.
        std::size_t next = count;
        for (const auto& m : matched) {
            const auto* at = static_cast<const uint8_t*>(std::memchr(m.data() + i, 1, next - i));
            if (at)
                next = std::size_t(at - m.data());
        }
        if (next == count)
            break;
        for (const auto& m : matched) {
            if (!m[next])
                continue;
            if (best < 0 || ranksAbove(next, std::size_t(best)))
                best = int64_t(next);
        }
        i = next + 1;
    }
    return int32_t(best);
}

} // namespace tavi_lookup

namespace {

tavi_lookup::LookupIndex& dictIndex()
{
    static tavi_lookup::LookupIndex index(dict, dictsearch::dictionarySearchIndex());
    return index;
}

void remember(int32_t found)
{
    if (found < 0)
        return;
    addToHistory(uint32_t(found));
    updateHistoryBrowser();
}

} // namespace

SInt32 findCharacterCodes(const std::vector<uint32_t>& codes)
{
    const int32_t found = dictIndex().findCharacter(codes);
    remember(found);
    return found;
}

SInt32 findCharacter(const UniChar* units, SInt32 count)
{
    if (count < 0 || (count > 0 && !units))
        return -1;
    return findCharacterCodes(tavi_lookup::codePointsOfUnits(units, count));
}

SInt32 findDefinition(const UniChar* units, SInt32 count)
{
    if (count <= 0 || !units)
        return -1;
    const int32_t found = dictIndex().findDefinition(
        QStringView(reinterpret_cast<const char16_t*>(units), qsizetype(count)));
    remember(found);
    return found;
}
