#include "store/searchindex.h"

#include "store/dictionary.h"
#include "store/textutil.h"

#include <QChar>

#include <algorithm>
#include <cstdio>
#include <cstring>
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

// The forms of one field (or of the characters). The first ones may be read
// in place from a dictionary image: its buffer, starts and owners, and the
// slot of each of its entries (changed in place: the image's mapping is
// private). Forms made here follow them: slots number both in turn.
struct SearchIndex::Forms {
    struct Piece {
        const char16_t* text = nullptr;
        std::size_t units = 0;
        const uint32_t* starts = nullptr;
        std::size_t count = 0;

        QStringView form(std::size_t i) const
        {
            const std::size_t start = starts[i];
            const std::size_t end = i + 1 < count ? starts[i + 1] - 1 : units - 1;
            return QStringView(text + start, qsizetype(end - start));
        }
    };

    bool built = false;
    Piece mapped;
    uint32_t* mappedOwners = nullptr;
    uint32_t* mappedFormOf = nullptr;
    std::size_t mappedEntries = 0;

    std::u16string text;          // forms, each followed by kSeparator
    std::vector<uint32_t> starts; // start of each stored form, ascending
    std::vector<uint32_t> owners; // the entry of each stored form, or kNone
    std::vector<uint32_t> formOf; // per later entry: its stored form, or kNone

    Piece made() const { return {text.data(), text.size(), starts.data(), starts.size()}; }
    std::size_t entryCount() const { return mappedEntries + formOf.size(); }
    std::size_t slotCount() const { return mapped.count + starts.size(); }
    uint32_t& slotOf(std::size_t entry)
    {
        return entry < mappedEntries ? mappedFormOf[entry] : formOf[entry - mappedEntries];
    }
    uint32_t& owner(std::size_t slot)
    {
        return slot < mapped.count ? mappedOwners[slot] : owners[slot - mapped.count];
    }
    QStringView form(std::size_t slot) const
    {
        return slot < mapped.count ? mapped.form(slot) : made().form(slot - mapped.count);
    }
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
    f.slotOf(entry) = uint32_t(f.slotCount());
    f.starts.push_back(start);
    f.owners.push_back(entry);
}

void SearchIndex::catchUp(Forms& f, int field)
{
    const std::size_t count = store->entries.size();
    if (f.built && f.entryCount() == count)
        return;
    if (!f.built) {
        f.built = true;
        if (!adoptImageForms(f, field)) {
            f.text.reserve(count * (field == kCharacter ? 2 : 12));
            f.starts.reserve(count);
            f.owners.reserve(count);
        }
    }
    const std::size_t from = f.entryCount();
    QString scratch;
    f.formOf.resize(count - f.mappedEntries, kNone);
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

void SearchIndex::renew(Forms& f, int field, const characterEntry* entry)
{
    if (f.slotOf(entry->index) != kNone)
        f.owner(f.slotOf(entry->index)) = kNone;
    f.slotOf(entry->index) = kNone;
    QString scratch;
    if (const dictValue* v = entry->lookup(field))
        append(f, entry->index, v->displayView(scratch));
}

// The image's forms: for each slot (the characters, then each field) a
// record (offset from the section's start, forms, units, entries), then at
// those offsets the forms' starts, owners, each entry's slot and the units.
QByteArray SearchIndex::formsImage()
{
    buildAll();
    const std::size_t records = fieldForms.size();
    QByteArray out;
    auto put = [&out](const void* p, std::size_t bytes) {
        out.append(static_cast<const char*>(p), qsizetype(bytes));
    };
    const auto head = uint32_t(records);
    put(&head, 4);
    out.resize(qsizetype(4 + 16 * records));
    for (std::size_t i = 0; i < records; ++i) {
        const Forms& f = *fieldForms[i];
        const uint32_t record[4] = {uint32_t(out.size()), uint32_t(f.starts.size()),
                                    uint32_t(f.text.size()), uint32_t(f.formOf.size())};
        memcpy(out.data() + 4 + 16 * i, record, sizeof record);
        put(f.starts.data(), f.starts.size() * 4);
        put(f.owners.data(), f.owners.size() * 4);
        put(f.formOf.data(), f.formOf.size() * 4);
        put(f.text.data(), f.text.size() * 2);
        while (out.size() % 4 != 0)
            out.append('\0');
    }
    return out;
}

bool SearchIndex::adoptImageForms(Forms& f, int field)
{
    const QByteArrayView section = store->imageForms;
    const std::size_t entries = store->imageFormsEntries;
    const auto slot = std::size_t(field + 1);
    if (section.isEmpty() || store->entries.size() < entries)
        return false;
    auto* base = const_cast<char*>(section.data()); // the mapping is private
    const auto size = std::size_t(section.size());
    uint32_t records = 0;
    if (size >= 4)
        memcpy(&records, base, 4);
    if (size < 4 || slot >= records || uint64_t(records) * 16 + 4 > size)
        return false;
    uint32_t record[4];
    memcpy(record, base + 4 + 16 * slot, sizeof record);
    const uint64_t at = record[0], count = record[1], units = record[2];
    // Every number is checked once, here: a damaged image gives no forms
    // rather than reads outside it, and they are made from the store.
    bool sound = record[3] == entries && at % 4 == 0 &&
                 at + (2 * count + entries) * 4 + units * 2 <= size && (count == 0) == (units == 0);
    const auto* starts = reinterpret_cast<const uint32_t*>(base + (sound ? at : 0));
    auto* owners = reinterpret_cast<uint32_t*>(base + (sound ? at + count * 4 : 0));
    auto* formOf = reinterpret_cast<uint32_t*>(base + (sound ? at + count * 8 : 0));
    const auto* text =
        reinterpret_cast<const char16_t*>(base + (sound ? at + (2 * count + entries) * 4 : 0));
    // The units themselves are left unread until a search: whatever they
    // hold, every form lies within them.
    sound = sound && (count == 0 || (starts[0] == 0 && text[units - 1] == kSeparator));
    for (uint64_t i = 1; sound && i < count; ++i)
        sound = starts[i] > starts[i - 1] && starts[i] < units;
    for (uint64_t i = 0; sound && i < count; ++i)
        sound = owners[i] == kNone || owners[i] < entries;
    for (uint64_t p = 0; sound && p < entries; ++p)
        sound = formOf[p] == kNone || formOf[p] < count;
    if (!sound) {
        if (!damageSaid)
            fprintf(stderr, "Tavi: the search forms of the dictionary image are damaged; "
                            "they are made anew.\n");
        damageSaid = true;
        return false;
    }
    f.mapped = {text, std::size_t(units), starts, std::size_t(count)};
    f.mappedOwners = owners;
    f.mappedFormOf = formOf;
    f.mappedEntries = entries;
    // Values changed since the image was loaded, and before these forms
    // were wanted.
    const std::vector<std::pair<uint32_t, int>>* lists[] = {&store->imageFormsChanged,
                                                            &pendingChanges};
    for (const auto* changes : lists) {
        for (const auto& [entry, changed] : *changes) {
            if (changed == field && entry < entries)
                renew(f, field, store->entries[entry]);
        }
    }
    return true;
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
    for (std::size_t slot = 0; slot < f.slotCount(); ++slot) {
        const uint32_t owner = f.owner(slot);
        if (owner == kNone || owner >= hits.size() || hits[owner] >= mark)
            continue;
        if (test(f.form(slot)))
            hits[owner] = mark;
    }
}

void SearchIndex::markOccurrences(int field, QStringView needle, std::vector<uint8_t>& hits,
                                  bool words, uint8_t inside)
{
    if (needle.isEmpty() || needle.contains(QChar(kSeparator)) || field < kCharacter)
        return;
    Forms& f = forms(field);
    const std::u16string_view pattern(reinterpret_cast<const char16_t*>(needle.utf16()),
                                      std::size_t(needle.size()));
    // The image's forms, then those made here.
    const Forms::Piece pieces[2] = {f.mapped, f.made()};
    for (int part = 0; part < 2; ++part) {
        const Forms::Piece& piece = pieces[part];
        const std::size_t firstSlot = part == 0 ? 0 : f.mapped.count;
        const std::u16string_view text(piece.text, piece.units);
        findAll(text, pattern, [&](std::size_t at) -> std::size_t {
            // The stored form holding the match.
            const uint32_t* next =
                std::upper_bound(piece.starts, piece.starts + piece.count, uint32_t(at));
            const std::size_t slot = std::size_t(next - piece.starts) - 1;
            const std::size_t start = piece.starts[slot];
            const QStringView form = piece.form(slot);
            const std::size_t end = start + std::size_t(form.size());
            const uint32_t owner = f.owner(firstSlot + slot);
            if (owner == kNone || owner >= hits.size())
                return end + 1; // an edited value's old form
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
    if (entry->index >= f.entryCount() || f.slotOf(entry->index) == kNone)
        return false;
    *out = f.form(f.slotOf(entry->index));
    return true;
}

bool SearchIndex::hasValue(int field, std::size_t p)
{
    if (field < 0)
        return false;
    Forms& f = forms(field);
    return p < f.entryCount() && f.slotOf(p) != kNone;
}

void SearchIndex::valueChanged(const characterEntry* entry, int field)
{
    const std::size_t slot = std::size_t(field + 1);
    if (!entry || field < 0)
        return;
    if (slot >= fieldForms.size() || !fieldForms[slot]) {
        // Not made yet: they will read the new value when they are, unless
        // they come from the image, which has the old one.
        if (entry->index < store->imageFormsEntries)
            pendingChanges.emplace_back(entry->index, field);
        return;
    }
    Forms& f = *fieldForms[slot];
    catchUp(f, field);
    if (entry->index < f.entryCount())
        renew(f, field, entry);
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
        // Forms the image holds are taken at their first use: until then
        // they take no memory.
        if (!store->imageForms.isEmpty())
            continue;
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
