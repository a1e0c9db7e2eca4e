#include "store/searchindex.h"

#include "store/dictionary.h"
#include "store/textutil.h"

#include <QChar>

#include <algorithm>
#include <functional>

namespace dictsearch {

namespace {

// Separates forms in a buffer; a needle holding it matches nothing.
constexpr char16_t kSeparator = 0;
constexpr uint32_t kNone = 0xFFFFFFFFu;

bool isContinuation(char32_t c)
{
    if (c < 0x300)
        return false;
    // Vowels and final consonants of decomposed Hangul syllables.
    if ((c >= 0x1160 && c <= 0x11FF) || (c >= 0xD7B0 && c <= 0xD7FF))
        return true;
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

} // namespace

namespace {

// Units that neither decomposition nor case folding changes, beside ASCII:
// the unified ideographs of the basic plane, and those of the supplementary
// planes up to the compatibility ideographs (which do decompose).
bool isStableIdeograph(QStringView text, qsizetype i)
{
    const char32_t c = tavi_text::codePointAt(text, i);
    return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
           (c >= 0x20000 && c <= 0x2F7FF);
}

} // namespace

namespace {

bool isSimple(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].unicode() >= 0x80 && !isStableIdeograph(text, i))
            return false;
    }
    return true;
}

// The search form of a simple text: ASCII letters lowered, the rest kept.
void appendSimpleForm(std::u16string& out, QStringView text)
{
    const std::size_t at = out.size();
    out.resize(at + std::size_t(text.size()));
    char16_t* dst = out.data() + at;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        dst[i] = c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
    }
}

QString fullForm(QStringView text)
{
    // Folding can leave marks out of canonical order (U+0345), so the folded
    // text is decomposed once more.
    return text.toString()
        .normalized(QString::NormalizationForm_D)
        .toCaseFolded()
        .normalized(QString::NormalizationForm_D);
}

void appendForm(std::u16string& out, QStringView text)
{
    if (isSimple(text)) {
        appendSimpleForm(out, text);
        return;
    }
    const QString form = fullForm(text);
    out.append(reinterpret_cast<const char16_t*>(form.utf16()), std::size_t(form.size()));
}

} // namespace

QString searchForm(QStringView text)
{
    if (!isSimple(text))
        return fullForm(text);
    std::u16string form;
    appendSimpleForm(form, text);
    return QString::fromUtf16(form.data(), qsizetype(form.size()));
}

bool continuesCharacter(QStringView form, qsizetype i)
{
    if (i <= 0 || i >= form.size())
        return false;
    if (form[i].unicode() < 0x300)
        return false;
    // The second half of a pair continues the character its first half starts.
    if (tavi_text::codePointStart(form, i) != i)
        return true;
    return isContinuation(tavi_text::codePointAt(form, i));
}

namespace {

// Whether a match at [start, end) of form lies on whole characters.
bool onWholeCharacters(QStringView form, qsizetype start, qsizetype end)
{
    return !continuesCharacter(form, start) && !continuesCharacter(form, end);
}

// Calls found(position) for each occurrence of the needle in the text, in
// order; found returns where to go on searching from.
template <typename Found>
void findAll(std::u16string_view text, std::u16string_view needle, Found found)
{
    if (needle.empty() || text.size() < needle.size())
        return;
    std::size_t from = 0;
    if (needle.size() == 1) {
        const char16_t unit = needle[0];
        while (from < text.size()) {
            const auto at = text.find(unit, from);
            if (at == std::u16string_view::npos)
                return;
            from = found(at);
        }
        return;
    }
    const std::boyer_moore_horspool_searcher searcher(needle.begin(), needle.end());
    while (from + needle.size() <= text.size()) {
        const auto hit = searcher(text.begin() + std::ptrdiff_t(from), text.end());
        if (hit.first == text.end())
            return;
        from = found(std::size_t(hit.first - text.begin()));
    }
}

} // namespace

bool containsWhole(QStringView form, QStringView needle)
{
    if (needle.isEmpty())
        return false;
    const std::u16string_view text(reinterpret_cast<const char16_t*>(form.utf16()),
                                   std::size_t(form.size()));
    const std::u16string_view pattern(reinterpret_cast<const char16_t*>(needle.utf16()),
                                      std::size_t(needle.size()));
    bool matched = false;
    findAll(text, pattern, [&](std::size_t at) -> std::size_t {
        if (onWholeCharacters(form, qsizetype(at), qsizetype(at + pattern.size()))) {
            matched = true;
            return text.size();
        }
        return at + 1;
    });
    return matched;
}

// --------------------------------------------------------------------------

struct SearchIndex::Forms {
    bool built = false;
    std::u16string text;          // forms, each followed by kSeparator
    std::vector<uint32_t> starts; // start of each stored form, ascending
    std::vector<uint32_t> owners; // the entry of each stored form, or kNone
    std::vector<uint32_t> formOf; // per entry: its stored form, or kNone
};

SearchIndex::SearchIndex(const dictionary* s) : store(s) {}

SearchIndex::~SearchIndex() = default;

SearchIndex::Forms& SearchIndex::forms(int field)
{
    const std::size_t slot = std::size_t(field + 1);
    if (fieldForms.size() <= slot)
        fieldForms.resize(slot + 1);
    if (!fieldForms[slot])
        fieldForms[slot] = std::make_unique<Forms>();
    Forms& f = *fieldForms[slot];
    catchUp(f, field);
    return f;
}

void SearchIndex::append(Forms& f, uint32_t entry, QStringView display)
{
    const auto start = uint32_t(f.text.size());
    appendForm(f.text, display);
    f.text.push_back(kSeparator);
    f.formOf[entry] = uint32_t(f.starts.size());
    f.starts.push_back(start);
    f.owners.push_back(entry);
}

void SearchIndex::catchUp(Forms& f, int field)
{
    const std::size_t count = store->entries.size();
    const std::size_t from = f.formOf.size();
    if (f.built && from == count)
        return;
    if (!f.built) {
        f.text.reserve(count * (field == kCharacter ? 2 : 12));
        f.starts.reserve(count);
        f.owners.reserve(count);
    }
    f.built = true;
    QString scratch;
    f.formOf.resize(count, kNone);
    for (std::size_t p = from; p < count; ++p) {
        const characterEntry* e = store->entries[p];
        if (field == kCharacter) {
            append(f, uint32_t(p), e->display);
        } else if (const dictValue* v = e->lookup(field)) {
            // A value without display: empty.
            append(f, uint32_t(p), v->displayView(scratch));
        }
    }
}

namespace {

bool isWordUnit(QStringView form, qsizetype i)
{
    const char32_t c = tavi_text::codePointAt(form, i);
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
    return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}

} // namespace

bool isWholeWord(QStringView form, qsizetype start, qsizetype end)
{
    if (start < 0 || end > form.size() || start >= end)
        return false;
    // A needle that begins or ends with a non-letter needs no bound there.
    if (start > 0 && isWordUnit(form, start) && isWordUnit(form, start - 1))
        return false;
    if (end < form.size() && isWordUnit(form, end - 1) && isWordUnit(form, end))
        return false;
    return true;
}

void SearchIndex::markMatches(int field, QStringView needle, std::vector<uint8_t>& hits)
{
    markOccurrences(field, needle, hits, false, 1);
}

void SearchIndex::markWords(int field, QStringView needle, std::vector<uint8_t>& hits,
                            uint8_t inside)
{
    markOccurrences(field, needle, hits, true, inside);
}

void SearchIndex::markIf(int field, const std::function<bool(QStringView)>& test,
                         std::vector<uint8_t>& hits, uint8_t mark)
{
    if (field < kCharacter)
        return;
    Forms& f = forms(field);
    for (std::size_t slot = 0; slot < f.starts.size(); ++slot) {
        const uint32_t owner = f.owners[slot];
        if (owner == kNone || owner >= hits.size() || hits[owner] >= mark)
            continue;
        const std::size_t start = f.starts[slot];
        const std::size_t end =
            slot + 1 < f.starts.size() ? f.starts[slot + 1] - 1 : f.text.size() - 1;
        if (test(QStringView(f.text.data() + start, qsizetype(end - start))))
            hits[owner] = mark;
    }
}

void SearchIndex::markOccurrences(int field, QStringView needle, std::vector<uint8_t>& hits,
                                  bool words, uint8_t inside)
{
    if (needle.isEmpty() || needle.contains(QChar(kSeparator)) || field < kCharacter)
        return;
    Forms& f = forms(field);
    const std::u16string_view text(f.text);
    const std::u16string_view pattern(reinterpret_cast<const char16_t*>(needle.utf16()),
                                      std::size_t(needle.size()));
    findAll(text, pattern, [&](std::size_t at) -> std::size_t {
        // The stored form holding the match.
        const auto next = std::upper_bound(f.starts.begin(), f.starts.end(), uint32_t(at));
        const std::size_t slot = std::size_t(next - f.starts.begin()) - 1;
        const std::size_t start = f.starts[slot];
        const std::size_t end =
            slot + 1 < f.starts.size() ? f.starts[slot + 1] - 1 : text.size() - 1;
        const uint32_t owner = f.owners[slot];
        if (owner == kNone || owner >= hits.size())
            return end + 1; // an edited value's old form
        const QStringView form(text.data() + start, qsizetype(end - start));
        const qsizetype local = qsizetype(at - start);
        if (!onWholeCharacters(form, local, local + needle.size()))
            return at + 1;
        if (!words) {
            hits[owner] = std::max<uint8_t>(hits[owner], 1);
            return end + 1; // one match per entry is enough
        }
        if (!isWholeWord(form, local, local + needle.size())) {
            hits[owner] = std::max(hits[owner], inside);
            return at + 1; // a whole word may follow in the same form
        }
        hits[owner] = 2;
        return end + 1;
    });
}

QStringView SearchIndex::form(int field, const characterEntry* entry)
{
    QStringView result;
    valueForm(field, entry, &result);
    return result;
}

bool SearchIndex::valueForm(int field, const characterEntry* entry, QStringView* out)
{
    *out = QStringView();
    if (!entry || field < kCharacter)
        return false;
    Forms& f = forms(field);
    if (entry->index >= f.formOf.size() || f.formOf[entry->index] == kNone)
        return false;
    const std::size_t slot = f.formOf[entry->index];
    const std::size_t start = f.starts[slot];
    const std::size_t end = slot + 1 < f.starts.size() ? f.starts[slot + 1] - 1 : f.text.size() - 1;
    *out = QStringView(f.text.data() + start, qsizetype(end - start));
    return true;
}

bool SearchIndex::hasValue(int field, std::size_t p)
{
    if (field < 0)
        return false;
    const Forms& f = forms(field);
    return p < f.formOf.size() && f.formOf[p] != kNone;
}

void SearchIndex::valueChanged(const characterEntry* entry, int field)
{
    const std::size_t slot = std::size_t(field + 1);
    if (!entry || field < 0 || slot >= fieldForms.size() || !fieldForms[slot])
        return; // not built yet: it will read the new value when it is
    Forms& f = *fieldForms[slot];
    catchUp(f, field);
    if (entry->index >= f.formOf.size())
        return;
    if (f.formOf[entry->index] != kNone)
        f.owners[f.formOf[entry->index]] = kNone;
    f.formOf[entry->index] = kNone;
    QString scratch;
    if (const dictValue* v = entry->lookup(field))
        append(f, entry->index, v->displayView(scratch));
}

void SearchIndex::buildAll()
{
    // One walk over the entries fills every field not made yet.
    const std::size_t fieldCount = store->fields.size();
    const std::size_t count = store->entries.size();
    if (fieldForms.size() < fieldCount + 1)
        fieldForms.resize(fieldCount + 1);
    std::vector<Forms*> fresh(fieldCount + 1, nullptr);
    bool any = false;
    for (std::size_t slot = 0; slot <= fieldCount; ++slot) {
        if (!fieldForms[slot])
            fieldForms[slot] = std::make_unique<Forms>();
        Forms& f = *fieldForms[slot];
        if (f.built) {
            catchUp(f, int(slot) - 1);
            continue;
        }
        f.built = true;
        f.formOf.assign(count, kNone);
        fresh[slot] = &f;
        any = true;
    }
    if (!any)
        return;
    // Room for what the displays hold: a form is mostly as long as its
    // display, so the buffers are made about once rather than grown by
    // doubling, which would keep up to half of them spare.
    std::vector<std::size_t> units(fieldCount + 1, 0);
    std::vector<std::size_t> forms(fieldCount + 1, 0);
    for (std::size_t p = 0; p < count; ++p) {
        const characterEntry* e = store->entries[p];
        units[0] += std::size_t(e->display.size()) + 1;
        for (const dictValue* v : e->values) {
            if (v->field >= 0 && std::size_t(v->field) < fieldCount) {
                units[std::size_t(v->field) + 1] += std::size_t(v->displaySize()) + 1;
                forms[std::size_t(v->field) + 1] += 1;
            }
        }
    }
    forms[0] = count;
    for (std::size_t slot = 0; slot <= fieldCount; ++slot) {
        if (Forms* f = fresh[slot]) {
            f->text.reserve(units[slot] + units[slot] / 16);
            f->starts.reserve(forms[slot]);
            f->owners.reserve(forms[slot]);
        }
    }
    QString scratch;
    for (std::size_t p = 0; p < count; ++p) {
        const characterEntry* e = store->entries[p];
        if (fresh[0])
            append(*fresh[0], uint32_t(p), e->display);
        for (const dictValue* v : e->values) {
            if (v->field < 0 || std::size_t(v->field) >= fieldCount)
                continue;
            Forms* f = fresh[std::size_t(v->field) + 1];
            if (f && f->formOf[p] == kNone) // the first value of a field counts
                append(*f, uint32_t(p), v->displayView(scratch));
        }
    }
}

SearchIndex& dictionarySearchIndex()
{
    static SearchIndex index(&dict);
    return index;
}

} // namespace dictsearch
