#include "windows/floating/lookup.h"

#include "store/dictionary.h"
#include "windows/history/history.h"

#include <QStringMatcher>

#include <algorithm>
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

QString searchForm(QStringView text)
{
    // Most compared texts are plain ASCII (definitions) or single ideographs
    // of the ranges that neither decompose nor have case; both are common
    // enough to skip the full conversion for.
    bool ascii = true;
    bool plainIdeographs = true;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        ascii = ascii && u < 0x80;
        plainIdeographs = plainIdeographs && u >= 0x3400 && u <= 0x9FFF;
        if (!ascii && !plainIdeographs)
            break;
    }
    if (ascii) {
        QString form(text.size(), Qt::Uninitialized);
        QChar* out = form.data();
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t u = text[i].unicode();
            out[i] = QChar(u >= 'A' && u <= 'Z' ? char16_t(u + 32) : u);
        }
        return form;
    }
    if (plainIdeographs)
        return text.toString();
    return text.toString()
        .normalized(QString::NormalizationForm_D)
        .toCaseFolded()
        .normalized(QString::NormalizationForm_D);
}

namespace {

// The code point that starts at position i.
char32_t codePointAt(QStringView text, qsizetype i)
{
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(c, text[i + 1]);
    return c.unicode();
}

// A match that ends right before a combining mark would take a base
// character without its marks: "e" is not found in "é".
bool endsOnCharacterBoundary(QStringView text, qsizetype end)
{
    return end >= text.size() || !QChar::isMark(codePointAt(text, end));
}

} // namespace

bool containsSearchForm(QStringView haystackForm, QStringView needleForm)
{
    if (needleForm.isEmpty())
        return false;
    for (qsizetype from = 0;;) {
        const qsizetype at = haystackForm.indexOf(needleForm, from);
        if (at < 0)
            return false;
        if (endsOnCharacterBoundary(haystackForm, at + needleForm.size()))
            return true;
        from = at + 1;
    }
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

LookupIndex::LookupIndex(const dictionary& d_) : d(d_) {}

void LookupIndex::invalidate()
{
    fieldCount = 0;
    altFields.clear();
    defnFields.clear();
    firstWithAlternative.clear();
    altEntries = 0;
    definitionText.clear();
    definitions.clear();
    defnEntries = 0;
}

void LookupIndex::resetIfFieldsChanged()
{
    if (fieldCount == d.fields.size() && altEntries <= d.entries.size() &&
        defnEntries <= d.entries.size())
        return;
    invalidate();
    fieldCount = d.fields.size();
    for (std::size_t f = 0; f < d.fields.size(); ++f) {
        if (d.fields[f]->kind == kAltCharacter)
            altFields.push_back(int(f));
        else if (d.fields[f]->kind == kDefinition)
            defnFields.push_back(int(f));
    }
}

void LookupIndex::updateAlternatives()
{
    resetIfFieldsChanged();
    if (altFields.empty()) {
        altEntries = uint32_t(d.entries.size());
        return;
    }
    for (std::size_t i = altEntries; i < d.entries.size(); ++i) {
        const characterEntry* e = d.entries[i];
        for (int f : altFields) {
            const dictValue* v = e->lookup(f);
            if (!v || v->display.isNull())
                continue;
            QString form = searchForm(v->display);
            if (!firstWithAlternative.contains(form))
                firstWithAlternative.insert(std::move(form), uint32_t(i));
        }
    }
    altEntries = uint32_t(d.entries.size());
}

void LookupIndex::updateDefinitions()
{
    resetIfFieldsChanged();
    for (std::size_t i = defnEntries; i < d.entries.size(); ++i) {
        const characterEntry* e = d.entries[i];
        for (int f : defnFields) {
            const dictValue* v = e->lookup(f);
            if (!v || v->display.isNull())
                continue;
            const qsizetype start = definitionText.size();
            definitionText += searchForm(v->display);
            definitions.push_back({uint32_t(i), start, definitionText.size() - start});
            // Keeps a match from running from one value into the next.
            definitionText += QChar(u'\0');
        }
    }
    defnEntries = uint32_t(d.entries.size());
}

int32_t LookupIndex::findCharacter(const std::vector<uint32_t>& codes)
{
    updateAlternatives();
    int64_t found = -1;
    // The entry whose key is the text: keys are unique, so the table has it.
    characterEntry probe(codes);
    if (const auto* e = static_cast<const characterEntry*>(d.table->IsIn(&probe)))
        found = e->index;
    // An earlier entry that lists the text as an alternative form wins.
    if (!firstWithAlternative.isEmpty()) {
        const auto it = firstWithAlternative.constFind(searchForm(dictionary::displayOfCodes(codes)));
        if (it != firstWithAlternative.constEnd() && (found < 0 || int64_t(*it) < found))
            found = *it;
    }
    return int32_t(found);
}

int32_t LookupIndex::findDefinition(QStringView text)
{
    updateDefinitions();
    const QString needle = searchForm(text);
    if (needle.isEmpty() || definitions.empty())
        return -1;
    const int frequencyField = d.findField("kFrequency");
    auto frequency = [&](uint32_t entry) -> const dictValue* {
        return frequencyField >= 0 ? d.entries[entry]->lookup(frequencyField) : nullptr;
    };
    // Whether candidate c ranks above the best so far, b: a smaller frequency
    // number, any frequency over none, and without either, more characters.
    auto ranksAbove = [&](uint32_t c, uint32_t b) {
        const dictValue* cf = frequency(c);
        const dictValue* bf = frequency(b);
        if (cf && bf)
            return leadingInteger(cf->text) < leadingInteger(bf->text);
        if (cf || bf)
            return cf != nullptr;
        return d.entries[c]->codes.size() > d.entries[b]->codes.size();
    };

    int64_t best = -1;
    const QStringMatcher matcher(needle);
    const QStringView all(definitionText);
    for (qsizetype from = 0;;) {
        const qsizetype at = matcher.indexIn(all, from);
        if (at < 0)
            break;
        // The value the match lies in: the last one starting at or before it.
        const auto span = std::prev(std::upper_bound(
            definitions.begin(), definitions.end(), at,
            [](qsizetype position, const DefinitionSpan& s) { return position < s.start; }));
        const qsizetype spanEnd = span->start + span->length;
        const qsizetype matchEnd = at + needle.size();
        if (matchEnd > spanEnd ||
            !endsOnCharacterBoundary(all.first(spanEnd), matchEnd)) {
            from = at + 1;
            continue;
        }
        if (best < 0 || ranksAbove(span->entry, uint32_t(best)))
            best = span->entry;
        from = spanEnd + 1; // one candidate per value
    }
    return int32_t(best);
}

} // namespace tavi_lookup

namespace {

tavi_lookup::LookupIndex& dictIndex()
{
    static tavi_lookup::LookupIndex index(dict);
    return index;
}

} // namespace

void invalidateLookupIndex()
{
    dictIndex().invalidate();
}

SInt32 findCharacterCodes(const std::vector<uint32_t>& codes)
{
    const int32_t found = dictIndex().findCharacter(codes);
    if (found >= 0) {
        addToHistory(uint32_t(found));
        updateHistoryBrowser();
    }
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
    if (found >= 0) {
        addToHistory(uint32_t(found));
        updateHistoryBrowser();
    }
    return found;
}
