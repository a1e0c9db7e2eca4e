#include "windows/lookup.h"

#include "store/dictionary.h"
#include "store/pinyinquery.h"
#include "store/relevance.h"
#include "store/searchindex.h"
#include "store/words.h"
#include "windows/wordentry.h"
#include "windows/navigation.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace tavi_lookup {

namespace {

// Whether a variant value, forms apart by blanks, lists this form.
bool listsForm(QStringView listed, QStringView form)
{
    for (const QStringView item : listed.split(u' ', Qt::SkipEmptyParts)) {
        if (item == form)
            return true;
    }
    return false;
}

} // namespace

LookupIndex::LookupIndex(const dictionary& d_, dictsearch::SearchIndex& forms_,
                         const words::WordStore* wordStore_)
    : wordStore(wordStore_), d(d_), forms(forms_)
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
    // The entry whose key is the text always wins: keys are unique.
    characterEntry probe(codes);
    if (const auto* e = static_cast<const characterEntry*>(d.table->IsIn(&probe)))
        return int32_t(e->index);

    // Otherwise the entries that list the text as an alternative form: the
    // one with the smallest frequency number, any frequency before none,
    // the earliest of equals.
    const QString needle = dictsearch::searchForm(dictionary::displayOfCodes(codes));
    const int frequencyField = d.findField("kFrequency");
    auto rank = [&](std::size_t i) -> std::pair<int64_t, std::size_t> {
        const dictValue* f = frequencyField >= 0 ? d.entries[i]->lookup(frequencyField) : nullptr;
        return {f ? int64_t(leadingInteger(f->text())) : std::numeric_limits<int64_t>::max(), i};
    };
    int64_t found = -1;
    const std::size_t count = d.entries.size();
    for (int field : fieldsOfKind(kAltCharacter)) {
        hits.assign(count, 0);
        forms.markMatches(field, needle, hits);
        for (std::size_t i = 0; i < count; ++i) {
            const auto* at =
                static_cast<const uint8_t*>(std::memchr(hits.data() + i, 1, count - i));
            if (!at)
                break;
            i = std::size_t(at - hits.data());
            QStringView form;
            if (forms.valueForm(field, d.entries[i], &form) && listsForm(form, needle) &&
                (found < 0 || rank(i) < rank(std::size_t(found))))
                found = int64_t(i);
        }
    }
    return int32_t(found);
}

int32_t LookupIndex::findDefinition(QStringView text, DefinitionMatch match)
{
    const QString needle = dictsearch::searchForm(text);
    if (needle.isEmpty())
        return -1;
    const std::vector<int> fields = fieldsOfKind(kDefinition);
    std::vector<std::vector<uint8_t>> matched(fields.size());
    auto mark = [&](const QString& word) {
        for (std::size_t k = 0; k < fields.size(); ++k) {
            matched[k].assign(d.entries.size(), 0);
            forms.markWords(fields[k], word, matched[k]);
        }
    };
    mark(needle);
    // Whole words first, the word as typed and then the word of a plural or
    // -ing form; only when none holds any of them as a word do the entries
    // that hold the text inside longer words count.
    if (match != DefinitionMatch::InsideWord) {
        int32_t best = bestGloss(fields, matched, needle);
        bool stemmed = false;
        for (const QString& stem : stemsOf(needle)) {
            if (best >= 0)
                break;
            mark(stem);
            stemmed = true;
            best = bestGloss(fields, matched, stem);
        }
        if (best >= 0 || match == DefinitionMatch::WholeWord)
            return best;
        if (stemmed)
            mark(needle);
    }
    return bestCandidate(matched, 1);
}

std::vector<QString> LookupIndex::stemsOf(const QString& word)
{
    std::vector<QString> stems;
    auto endsWith = [&](const char16_t* ending) { return word.endsWith(QStringView(ending)); };
    auto cut = [&](qsizetype n) { return word.left(word.size() - n); };
    if (word.size() > 4 && endsWith(u"ies"))
        stems.push_back(cut(3) + u'y');
    if (word.size() > 2 && endsWith(u"s") && !endsWith(u"ss"))
        stems.push_back(cut(1));
    if (word.size() > 3 && endsWith(u"es"))
        stems.push_back(cut(2)); // glasses: glass
    if (word.size() > 5 && endsWith(u"ing")) {
        const QString base = cut(3);
        stems.push_back(base);
        if (base[base.size() - 1] == base[base.size() - 2])
            stems.push_back(base.left(base.size() - 1)); // running: run
        stems.push_back(base + u'e');
    }
    return stems;
}

namespace {

// How a definition holds a word that it holds as a whole word: the best
// gloss (the text between the separators ";" and ",") -- 3 the gloss is the
// word, 2 it starts with it, 1 it holds it -- and the sense (the text
// between ";") of that gloss, counted from 0.
struct GlossMatch {
    int kind = 0;
    int sense = 0;
    bool betterThan(const GlossMatch& o) const
    {
        return kind != o.kind ? kind > o.kind : sense < o.sense;
    }
};

GlossMatch glossMatch(QStringView form, QStringView word)
{
    GlossMatch best;
    int sense = 0;
    qsizetype start = 0;
    while (start <= form.size()) {
        qsizetype end = start;
        while (end < form.size() && form[end] != u';' && form[end] != u',')
            ++end;
        const QStringView gloss = form.sliced(start, end - start).trimmed();
        GlossMatch m{0, sense};
        if (gloss == word) {
            m.kind = 3;
        } else {
            for (qsizetype at = gloss.indexOf(word); at >= 0; at = gloss.indexOf(word, at + 1)) {
                if (dictsearch::isWholeWord(gloss, at, at + word.size())) {
                    m.kind = at == 0 ? 2 : 1;
                    break;
                }
            }
        }
        if (m.kind > 0 && (best.kind == 0 || m.betterThan(best)))
            best = m;
        if (end < form.size() && form[end] == u';')
            ++sense;
        start = end + 1;
    }
    return best;
}

} // namespace

int32_t LookupIndex::bestGloss(const std::vector<int>& fields,
                               const std::vector<std::vector<uint8_t>>& matched, QStringView word,
                               int* kind)
{
    const int frequencyField = d.findField("kFrequency");
    auto frequency = [&](std::size_t entry) -> const dictValue* {
        return frequencyField >= 0 ? d.entries[entry]->lookup(frequencyField) : nullptr;
    };
    int64_t best = -1;
    GlossMatch bestMatch;
    for (std::size_t i = 0; i < d.entries.size(); ++i) {
        GlossMatch m;
        for (std::size_t k = 0; k < fields.size(); ++k) {
            QStringView form;
            if (matched[k][i] < 2 || !forms.valueForm(fields[k], d.entries[i], &form))
                continue;
            const GlossMatch here = glossMatch(form, word);
            if (here.kind > 0 && (m.kind == 0 || here.betterThan(m)))
                m = here;
        }
        if (m.kind == 0)
            continue;
        if (best < 0) {
            best = int64_t(i);
            bestMatch = m;
            continue;
        }
        // The better gloss; within the same kind, a character with a
        // frequency before one without, then the earlier sense, then the
        // order of every look-up.
        const bool known = frequency(i) != nullptr;
        const bool bestKnown = frequency(std::size_t(best)) != nullptr;
        bool above;
        if (m.kind != bestMatch.kind)
            above = m.kind > bestMatch.kind;
        else if (known != bestKnown)
            above = known;
        else if (m.sense != bestMatch.sense)
            above = m.sense < bestMatch.sense;
        else
            above = ranksAbove(i, std::size_t(best));
        if (above) {
            best = int64_t(i);
            bestMatch = m;
        }
    }
    if (kind)
        *kind = bestMatch.kind;
    return int32_t(best);
}

bool LookupIndex::ranksAbove(std::size_t c, std::size_t b) const
{
    const int frequencyField = d.findField("kFrequency");
    auto frequency = [&](std::size_t entry) -> const dictValue* {
        return frequencyField >= 0 ? d.entries[entry]->lookup(frequencyField) : nullptr;
    };
    const dictValue* cf = frequency(c);
    const dictValue* bf = frequency(b);
    if (cf && bf)
        return leadingInteger(cf->text()) < leadingInteger(bf->text());
    if (cf || bf)
        return cf != nullptr;
    return d.entries[c]->codes.size() > d.entries[b]->codes.size();
}

int32_t LookupIndex::bestCandidate(const std::vector<std::vector<uint8_t>>& matched, uint8_t least)
{
    // Candidates in entry order, once per definition field that holds the text.
    int64_t best = -1;
    const std::size_t count = d.entries.size();
    for (std::size_t i = 0; i < count; ++i) {
        for (const auto& m : matched) {
            if (m[i] >= least && (best < 0 || ranksAbove(i, std::size_t(best))))
                best = int64_t(i);
        }
    }
    return int32_t(best);
}

int32_t LookupIndex::findLatin(QStringView text)
{
    const std::vector<pinyinquery::Syllable> syllables = pinyinquery::parse(text);
    int32_t found = -1;
    if (wordStore && !wordStore->isEmpty()) {
        // Senses that are the text or start with it, then pinyin, and only
        // then senses that merely hold it: CC-CEDICT's "surname Hao" must
        // not take "hao" from 好.
        for (int tier = 0; tier < 2 && found < 0; ++tier)
            found = findEnglish(text, tier);
        if (found < 0 && syllables.size() > 1) {
            const std::vector<uint32_t> spoken = wordStore->findReading(syllables, 1);
            if (!spoken.empty())
                found = int32_t(wordRef(spoken.front(), false));
        }
        if (found < 0)
            found = findReading(syllables);
        if (found < 0)
            found = findEnglish(text, 2);
        // A plural or -ing form: the characters of its word.
        if (found < 0)
            found = findDefinition(text, DefinitionMatch::WholeWord);
    } else {
        found = findDefinition(text, DefinitionMatch::WholeWord);
        if (found < 0)
            found = findReading(syllables);
    }
    if (found < 0)
        found = findDefinition(text, DefinitionMatch::InsideWord);
    return found;
}

int32_t LookupIndex::findEnglish(QStringView text, int tier)
{
    const QString needle = dictsearch::searchForm(text.trimmed());
    if (needle.isEmpty())
        return -1;
    int64_t best = -1;
    uint32_t bestFrequency = 0;
    if (tier < 2) {
        // The character whose gloss is the word (tier 0) or starts with it
        // (tier 1), in the order of the character look-up: the earlier
        // sense first, so that "drink" is 喝 (drink; shout), not 吃 (eat;
        // drink).
        const std::vector<int> fields = fieldsOfKind(kDefinition);
        std::vector<std::vector<uint8_t>> matched(fields.size());
        for (std::size_t k = 0; k < fields.size(); ++k) {
            matched[k].assign(d.entries.size(), 0);
            forms.markWords(fields[k], needle, matched[k]);
        }
        int kind = 0;
        const int32_t found = bestGloss(fields, matched, needle, &kind);
        if (found >= 0 && kind == 3 - tier) {
            best = found;
            bestFrequency = wordStore->frequencyOf(d.entries[std::size_t(found)]->display);
        }
    } else {
        // The most common character by the words' frequencies (the same
        // measure as the words'), then by the dictionary's own order.
        hits.assign(d.entries.size(), 0);
        for (int field : fieldsOfKind(kDefinition))
            forms.markWords(field, needle, hits, 0);
        const dictsearch::Relevance relevance(d);
        uint64_t bestKey = 0;
        for (std::size_t i = 0; i < hits.size(); ++i) {
            if (hits[i] != 2)
                continue;
            const uint32_t frequency = wordStore->frequencyOf(d.entries[i]->display);
            const uint64_t key = relevance.key(d.entries[i]);
            if (best < 0 || frequency > bestFrequency ||
                (frequency == bestFrequency && key < bestKey)) {
                best = int64_t(i);
                bestFrequency = frequency;
                bestKey = key;
            }
        }
    }
    const int32_t word = wordStore->findGloss(text, words::GlossMatch(tier));
    if (word < 0 || (best >= 0 && wordStore->word(uint32_t(word)).frequency <= bestFrequency))
        return int32_t(best);
    // A word of one character is that character's entry, when there is one.
    const QString form = wordStore->form(uint32_t(word), false);
    const QList<uint> codes = form.toUcs4();
    if (codes.size() == 1) {
        const int32_t entry = findCharacter({codes.front()});
        if (entry >= 0)
            return entry;
    }
    return int32_t(wordRef(uint32_t(word), false));
}

int32_t LookupIndex::findLongestWord(QStringView text) const
{
    if (!wordStore)
        return -1;
    const words::WordMatch match = wordStore->longestPrefix(text);
    return match.word < 0 ? -1 : int32_t(wordRef(uint32_t(match.word), match.traditional));
}

int32_t LookupIndex::findReading(const std::vector<pinyinquery::Syllable>& syllables)
{
    if (syllables.empty())
        return -1;
    hits.assign(d.entries.size(), 0);
    for (int field : dictsearch::pinyinFields(d)) {
        forms.markIf(
            field, [&](QStringView form) { return pinyinquery::matchesReading(form, syllables); },
            hits, 1);
    }
    const dictsearch::Relevance relevance(d);
    int64_t best = -1;
    uint64_t bestKey = 0;
    for (std::size_t i = 0; i < hits.size(); ++i) {
        if (!hits[i])
            continue;
        const uint64_t key = relevance.key(d.entries[i]);
        if (best < 0 || key < bestKey) {
            best = int64_t(i);
            bestKey = key;
        }
    }
    return int32_t(best);
}

} // namespace tavi_lookup

namespace {

tavi_lookup::LookupIndex& dictIndex()
{
    static tavi_lookup::LookupIndex index(dict, dictsearch::dictionarySearchIndex(),
                                          &words::programWords());
    return index;
}

void remember(int32_t found)
{
    if (found < 0)
        return;
    recordLookup(found);
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
    return findCharacterCodes(
        tavi_text::codePoints(QStringView(reinterpret_cast<const char16_t*>(units), count)));
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

QuickLookup lookUpQuickly(QStringView selected)
{
    const QStringView text = selected.trimmed();
    QuickLookup result;
    if (text.isEmpty())
        return result;
    const std::vector<uint32_t> codes = tavi_text::codePoints(text);
    auto isHan = [](uint32_t c) { return QChar::script(c) == QChar::Script_Han; };
    tavi_lookup::LookupIndex& index = dictIndex();

    if (std::any_of(codes.begin(), codes.end(), isHan)) {
        result.index = index.findCharacter(codes);
        if (result.index < 0 && codes.size() > 1)
            result.index = index.findLongestWord(text);
        if (result.index >= 0) {
            remember(result.index);
            return result;
        }
        for (uint32_t c : codes) {
            if (!isHan(c))
                continue;
            const int32_t found = index.findCharacter({c});
            remember(found);
            if (result.index < 0)
                result.index = found;
        }
        result.unknownCharacters =
            result.index < 0 && std::all_of(codes.begin(), codes.end(), isHan);
        return result;
    }

    result.index = index.findLatin(text);
    remember(result.index);
    return result;
}
