#include "store/words.h"

#include "store/locations.h"
#include "store/pinyinquery.h"
#include "store/programfile.h"

#include <QByteArrayView>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <numeric>

namespace words {

namespace {

constexpr char kMagic[8] = {'T', 'A', 'V', 'I', 'W', 'R', 'D', '1'};
constexpr qint64 kHeaderSize = 64;
constexpr uint32_t kTraditional = 1u << 31;
constexpr std::size_t kLongestWord = 32; // code points tried by longestPrefix

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool isWordByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Byte order of the ASCII-lowercased texts.
int lowerCompare(QByteArrayView a, QByteArrayView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const auto x = uint8_t(lower(a[i])), y = uint8_t(lower(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int byteCompare(QByteArrayView a, QByteArrayView b)
{
    const auto common = size_t(std::min(a.size(), b.size()));
    const int c = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common); // data() may be null
    if (c != 0)
        return c < 0 ? -1 : 1;
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The n-th TAB-separated field of a word's text; empty when it has fewer.
QByteArrayView field(QByteArrayView text, int n)
{
    qsizetype start = 0;
    for (int i = 0; i < n; ++i) {
        const qsizetype tab = text.indexOf('\t', start);
        if (tab < 0)
            return {};
        start = tab + 1;
    }
    const qsizetype end = text.indexOf('\t', start);
    return text.sliced(start, (end < 0 ? text.size() : end) - start);
}

QByteArray readingKeyOf(QByteArrayView pinyin)
{
    QByteArray key;
    key.reserve(pinyin.size());
    qsizetype i = 0;
    while (i < pinyin.size()) {
        while (i < pinyin.size() && pinyin[i] == ' ')
            ++i;
        QByteArray syllable;
        while (i < pinyin.size() && pinyin[i] != ' ') {
            const char c = pinyin[i];
            if (c == 'u' || c == 'U') {
                if (i + 1 < pinyin.size() && pinyin[i + 1] == ':') {
                    syllable.append('v');
                    i += 2;
                    continue;
                }
            } else if (uint8_t(c) == 0xC3 && i + 1 < pinyin.size() &&
                       (uint8_t(pinyin[i + 1]) == 0xBC || uint8_t(pinyin[i + 1]) == 0x9C)) {
                syllable.append('v');
                i += 2;
                continue;
            }
            syllable.append(lower(c));
            ++i;
        }
        while (!syllable.isEmpty() && syllable.back() >= '0' && syllable.back() <= '9')
            syllable.chop(1);
        if (syllable.isEmpty())
            continue;
        if (!key.isEmpty())
            key.append(' ');
        key.append(syllable);
    }
    return key;
}

// The tones of a reading's syllables: the trailing digit, 0 for none.
std::vector<int> readingTones(QByteArrayView pinyin)
{
    std::vector<int> tones;
    for (QByteArrayView s : QByteArray(pinyin.data(), pinyin.size()).split(' ')) {
        if (s.isEmpty())
            continue;
        const char last = s.back();
        qsizetype letters = s.size();
        while (letters > 0 && s[letters - 1] >= '0' && s[letters - 1] <= '9')
            --letters;
        if (letters == 0)
            continue;
        tones.push_back(last >= '1' && last <= '5' ? last - '0' : 0);
    }
    return tones;
}

void put(QByteArray& out, uint32_t v)
{
    const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF),
                       char(v >> 24)};
    out.append(b, 4);
}

QByteArray clean(const QString& text)
{
    QByteArray bytes = text.trimmed().toUtf8();
    for (char& c : bytes) {
        if (uint8_t(c) < 0x20)
            c = ' ';
    }
    return bytes;
}

// The parts of a sense that an English word may equal: each ;-separated
// part, and the same without a leading "to " ("to eat" is "eat"). A part
// with a label ("(after a pronoun) hello") is qualified, not equal, and so
// is every part after it: "(courteous) to eat; to drink" is no plain "drink".
void glossParts(QByteArrayView text, uint32_t base, uint32_t word,
                std::vector<std::array<uint32_t, 3>>& out)
{
    if (text.trimmed().startsWith('('))
        return;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf(';', start);
        if (end < 0)
            end = text.size();
        qsizetype a = start, b = end;
        while (a < b && text[a] == ' ')
            ++a;
        while (b > a && text[b - 1] == ' ')
            --b;
        if (a < b)
            out.push_back({base + uint32_t(a), uint32_t(b - a), word});
        if (b - a > 3 && text.sliced(a, b - a).startsWith("to "))
            out.push_back({base + uint32_t(a + 3), uint32_t(b - a - 3), word});
        start = end + 1;
    }
}

// The words of a sense, outside the [pinyin] of its references.
void glossTokens(QByteArrayView text, uint32_t base, uint32_t word,
                 std::vector<std::array<uint32_t, 3>>& out)
{
    bool inBrackets = false;
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] == '[')
            inBrackets = true;
        else if (text[i] == ']')
            inBrackets = false;
        if (!isWordByte(text[i])) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && isWordByte(text[end]))
            ++end;
        if (!inBrackets)
            out.push_back({base + uint32_t(i), uint32_t(end - i), word});
        i = end;
    }
}

std::vector<char32_t> codePoints(QStringView text)
{
    std::vector<char32_t> codes;
    for (char32_t c : text.toUcs4())
        codes.push_back(c);
    return codes;
}

} // namespace

QByteArray readingKey(QStringView pinyin)
{
    return readingKeyOf(pinyin.toUtf8());
}

WordStore::WordStore() = default;
WordStore::~WordStore() = default;

QByteArray WordStore::build(std::vector<WordSource> source)
{
    // Most common first; of equal words the common reading before a name's
    // (capitalised pinyin), then the source's order.
    std::stable_sort(source.begin(), source.end(), [](const WordSource& a, const WordSource& b) {
        if (a.frequency != b.frequency)
            return a.frequency > b.frequency;
        const bool aName = !a.pinyin.isEmpty() && a.pinyin[0].isUpper();
        const bool bName = !b.pinyin.isEmpty() && b.pinyin[0].isUpper();
        return !aName && bName;
    });
    const auto w = uint32_t(source.size());

    QByteArray text;
    std::vector<std::array<uint32_t, 3>> records(w), glosses, tokens;
    std::map<char32_t, std::vector<uint32_t>> containing;
    for (uint32_t i = 0; i < w; ++i) {
        const WordSource& s = source[i];
        const auto start = uint32_t(text.size());
        text += clean(s.traditional) + '\t' + clean(s.simplified) + '\t' + clean(s.pinyin);
        for (const QString& sense : s.senses) {
            const QByteArray bytes = clean(sense);
            if (bytes.isEmpty())
                continue;
            text += '\t';
            glossParts(bytes, uint32_t(text.size()), i, glosses);
            glossTokens(bytes, uint32_t(text.size()), i, tokens);
            text += bytes;
        }
        records[i] = {start, uint32_t(text.size()) - start, s.frequency};
        for (const QString& form : {s.traditional, s.simplified}) {
            const std::vector<char32_t> codes = codePoints(form);
            if (codes.size() < 2)
                continue;
            for (char32_t c : codes) {
                std::vector<uint32_t>& list = containing[c];
                if (list.empty() || list.back() != i)
                    list.push_back(i);
            }
        }
    }
    auto view = [&](uint32_t offset, uint32_t length) {
        return QByteArrayView(text.constData() + offset, length);
    };
    auto wordText = [&](uint32_t i) { return view(records[i][0], records[i][1]); };

    std::vector<uint32_t> keys;
    for (uint32_t i = 0; i < w; ++i) {
        keys.push_back(i);
        if (field(wordText(i), 0) != field(wordText(i), 1))
            keys.push_back(i | kTraditional);
    }
    auto keyForm = [&](uint32_t k) {
        return field(wordText(k & ~kTraditional), k & kTraditional ? 0 : 1);
    };
    std::sort(keys.begin(), keys.end(), [&](uint32_t a, uint32_t b) {
        const int c = byteCompare(keyForm(a), keyForm(b));
        return c != 0 ? c < 0 : (a & ~kTraditional) < (b & ~kTraditional);
    });

    auto sortParts = [&](std::vector<std::array<uint32_t, 3>>& parts) {
        auto compare = [&](const std::array<uint32_t, 3>& a, const std::array<uint32_t, 3>& b) {
            const int c = lowerCompare(view(a[0], a[1]), view(b[0], b[1]));
            return c != 0 ? c : (a[2] == b[2] ? 0 : (a[2] < b[2] ? -1 : 1));
        };
        std::sort(parts.begin(), parts.end(),
                  [&](const auto& a, const auto& b) { return compare(a, b) < 0; });
        parts.erase(std::unique(parts.begin(), parts.end(),
                                [&](const auto& a, const auto& b) { return compare(a, b) == 0; }),
                    parts.end());
    };
    sortParts(glosses);
    sortParts(tokens);

    std::vector<QByteArray> readingKeys(w);
    for (uint32_t i = 0; i < w; ++i)
        readingKeys[i] = readingKeyOf(field(wordText(i), 2));
    std::vector<uint32_t> readings(w);
    std::iota(readings.begin(), readings.end(), 0u);
    std::stable_sort(readings.begin(), readings.end(), [&](uint32_t a, uint32_t b) {
        return byteCompare(readingKeys[a], readingKeys[b]) < 0;
    });

    std::vector<uint32_t> postings;
    QByteArray out(kMagic, 8);
    uint32_t postingTotal = 0;
    for (const auto& [c, list] : containing)
        postingTotal += uint32_t(list.size());
    for (uint32_t n : {w, uint32_t(keys.size()), uint32_t(containing.size()), postingTotal,
                       uint32_t(glosses.size()), uint32_t(tokens.size()), w, uint32_t(text.size())})
        put(out, n);
    while (out.size() < kHeaderSize)
        put(out, 0);
    for (const auto& r : records)
        for (uint32_t v : r)
            put(out, v);
    for (uint32_t k : keys)
        put(out, k);
    uint32_t first = 0;
    for (const auto& [c, list] : containing) {
        put(out, uint32_t(c));
        put(out, first);
        put(out, uint32_t(list.size()));
        first += uint32_t(list.size());
        postings.insert(postings.end(), list.begin(), list.end());
    }
    for (uint32_t p : postings)
        put(out, p);
    for (const auto& parts : {glosses, tokens})
        for (const auto& r : parts)
            for (uint32_t v : r)
                put(out, v);
    for (uint32_t r : readings)
        put(out, r);
    out += text;
    return out;
}

void WordStore::clear()
{
    file.reset();
    held.clear();
    data = nullptr;
    length = 0;
    wordCount = keyCount = charCount = postingCount = glossCount = tokenCount = readingCount =
        textSize = 0;
}

bool WordStore::open(const QString& path, QString* why)
{
    clear();
    qint64 size = 0;
    const char* mapped = mapWholeFile(path, &file, &size, why);
    return mapped && attach(mapped, size, why);
}

bool WordStore::adopt(const QByteArray& bytes, QString* why)
{
    clear();
    held = bytes;
    return attach(held.constData(), held.size(), why);
}

uint32_t WordStore::at(qint64 offset) const
{
    uint8_t b[4];
    std::memcpy(b, data + offset, 4);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

bool WordStore::attach(const char* base, qint64 size, QString* why)
{
    auto fail = [&](const char* reason) {
        clear();
        if (why)
            *why = QString::fromUtf8(reason);
        return false;
    };
    data = base;
    length = size;
    if (size < kHeaderSize || std::memcmp(base, kMagic, 8) != 0)
        return fail("not a word file");
    const uint32_t w = at(8), k = at(12), c = at(16), p = at(20), g = at(24), t = at(28),
                   y = at(32), b = at(36);
    // Only the header is checked here, so that opening costs nothing; every
    // look-up checks the records it reads and passes over damaged ones.
    // Every count is below 2^31, so none of the sums below can overflow.
    for (uint32_t n : {w, k, c, p, g, t, y, b}) {
        if (n >= kTraditional)
            return fail("damaged header");
    }
    wordsAt = kHeaderSize;
    keysAt = wordsAt + 12 * qint64(w);
    charsAt = keysAt + 4 * qint64(k);
    postingsAt = charsAt + 12 * qint64(c);
    glossesAt = postingsAt + 4 * qint64(p);
    tokensAt = glossesAt + 12 * qint64(g);
    readingsAt = tokensAt + 12 * qint64(t);
    textAt = readingsAt + 4 * qint64(y);
    if (textAt + qint64(b) != size)
        return fail("the file's size does not match its header");

    wordCount = w;
    keyCount = k;
    charCount = c;
    postingCount = p;
    glossCount = g;
    tokenCount = t;
    readingCount = y;
    textSize = b;
    return true;
}

QByteArray WordStore::textOf(uint32_t index) const
{
    if (index >= wordCount)
        return {};
    const uint32_t offset = at(wordsAt + 12 * qint64(index));
    const uint32_t size = at(wordsAt + 12 * qint64(index) + 4);
    if (qint64(offset) + size > textSize)
        return {}; // damaged: a word without text
    return QByteArray::fromRawData(data + textAt + offset, size);
}

QByteArray WordStore::formBytes(uint32_t key) const
{
    const QByteArray text = textOf(key & ~kTraditional);
    const QByteArrayView f = field(text, key & kTraditional ? 0 : 1);
    return QByteArray::fromRawData(f.data(), f.size());
}

Word WordStore::word(uint32_t index) const
{
    Word w;
    if (index >= wordCount)
        return w;
    const QByteArray text = textOf(index);
    const QList<QByteArray> fields = text.split('\t');
    w.traditional = QString::fromUtf8(fields.value(0));
    w.simplified = QString::fromUtf8(fields.value(1));
    w.pinyin = QString::fromUtf8(fields.value(2));
    for (qsizetype i = 3; i < fields.size(); ++i)
        w.senses.append(QString::fromUtf8(fields[i]));
    w.frequency = at(wordsAt + 12 * index + 8);
    return w;
}

QString WordStore::form(uint32_t index, bool traditional) const
{
    return QString::fromUtf8(field(textOf(index), traditional ? 0 : 1));
}

template <typename Compare>
std::pair<uint32_t, uint32_t> WordStore::range(uint32_t count, Compare compare) const
{
    // compare(i) orders record i against the target: < 0 before it, 0 in it.
    uint32_t lo = 0, hi = count;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (compare(mid) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    uint32_t end = lo;
    hi = count;
    while (end < hi) {
        const uint32_t mid = end + (hi - end) / 2;
        if (compare(mid) <= 0)
            end = mid + 1;
        else
            hi = mid;
    }
    return {lo, end};
}

std::vector<uint32_t> WordStore::wordsOfForm(QStringView form) const
{
    const QByteArray needle = form.toUtf8();
    const auto [lo, hi] = range(keyCount, [&](uint32_t i) {
        return byteCompare(formBytes(at(keysAt + 4 * qint64(i))), needle);
    });
    std::vector<uint32_t> found;
    for (uint32_t i = lo; i < hi; ++i) {
        const uint32_t word = at(keysAt + 4 * qint64(i)) & ~kTraditional;
        if (word < wordCount)
            found.push_back(word);
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

uint32_t WordStore::frequencyOf(QStringView form) const
{
    const std::vector<uint32_t> found = wordsOfForm(form);
    return found.empty() ? 0 : at(wordsAt + 12 * qint64(found.front()) + 8);
}

WordMatch WordStore::longestPrefix(QStringView text, int minLength) const
{
    WordMatch match;
    std::vector<char32_t> codes = codePoints(text.left(qsizetype(kLongestWord) * 2));
    if (codes.size() > kLongestWord)
        codes.resize(kLongestWord);
    for (auto n = qsizetype(codes.size()); n >= std::max(minLength, 1); --n) {
        const QByteArray needle = QString::fromUcs4(codes.data(), n).toUtf8();
        const auto [lo, hi] = range(keyCount, [&](uint32_t i) {
            return byteCompare(formBytes(at(keysAt + 4 * qint64(i))), needle);
        });
        if (lo == hi || (at(keysAt + 4 * qint64(lo)) & ~kTraditional) >= wordCount)
            continue;
        const uint32_t key = at(keysAt + 4 * qint64(lo));
        match.word = int32_t(key & ~kTraditional);
        match.length = int(n);
        match.traditional = (key & kTraditional) != 0;
        return match;
    }
    return match;
}

std::vector<uint32_t> WordStore::wordsContaining(char32_t character, std::size_t limit) const
{
    const auto [lo, hi] = range(charCount, [&](uint32_t i) {
        const uint32_t c = at(charsAt + 12 * qint64(i));
        return c == character ? 0 : (c < character ? -1 : 1);
    });
    std::vector<uint32_t> found;
    if (lo == hi)
        return found;
    const qint64 first = at(charsAt + 12 * qint64(lo) + 4);
    const qint64 end = std::min<qint64>(first + at(charsAt + 12 * qint64(lo) + 8), postingCount);
    for (qint64 i = first; i < end && found.size() < limit; ++i) {
        const uint32_t word = at(postingsAt + 4 * i);
        if (word < wordCount && (found.empty() || word > found.back()))
            found.push_back(word);
    }
    return found;
}

int32_t WordStore::findGloss(QStringView english, GlossMatch match) const
{
    QByteArray needle = english.toString().simplified().toUtf8();
    for (char& c : needle)
        c = lower(c);
    if (needle.isEmpty())
        return -1;
    auto part = [&](qint64 section, uint32_t i) {
        const qint64 r = section + 12 * qint64(i);
        if (qint64(at(r)) + at(r + 4) > textSize)
            return QByteArrayView(); // damaged: matches nothing
        return QByteArrayView(data + textAt + at(r), at(r + 4));
    };
    auto wordOf = [&](qint64 section, uint32_t i) { return at(section + 12 * qint64(i) + 8); };

    if (match == GlossMatch::Equal) {
        const auto [lo, hi] =
            range(glossCount, [&](uint32_t i) { return lowerCompare(part(glossesAt, i), needle); });
        for (uint32_t i = lo; i < hi; ++i) {
            if (wordOf(glossesAt, i) < wordCount)
                return int32_t(wordOf(glossesAt, i));
        }
        return -1;
    }
    if (match == GlossMatch::StartsWith) {
        const auto [lo, hi] = range(glossCount, [&](uint32_t i) {
            const QByteArrayView p = part(glossesAt, i);
            return lowerCompare(p.first(std::min(p.size(), needle.size())), needle);
        });
        int64_t best = -1;
        for (uint32_t i = lo; i < hi; ++i) {
            const QByteArrayView p = part(glossesAt, i);
            if (p.size() > needle.size() && !isWordByte(p[needle.size()]) &&
                wordOf(glossesAt, i) < wordCount &&
                (best < 0 || wordOf(glossesAt, i) < uint64_t(best)))
                best = wordOf(glossesAt, i);
        }
        return int32_t(best);
    }

    // Whole words: the words whose senses hold the needle's first word, most
    // common first, checked for the whole needle.
    qsizetype a = 0;
    while (a < needle.size() && !isWordByte(needle[a]))
        ++a;
    qsizetype b = a;
    while (b < needle.size() && isWordByte(needle[b]))
        ++b;
    if (a == b)
        return -1;
    const QByteArray first = needle.sliced(a, b - a);
    const auto [lo, hi] =
        range(tokenCount, [&](uint32_t i) { return lowerCompare(part(tokensAt, i), first); });
    const bool single = first == needle;
    for (uint32_t i = lo; i < hi; ++i) {
        const uint32_t word = wordOf(tokensAt, i);
        if (word >= wordCount)
            continue;
        if (single)
            return int32_t(word);
        const QByteArray text = textOf(word).toLower();
        const qsizetype sensesAt =
            text.indexOf('\t', text.indexOf('\t', text.indexOf('\t') + 1) + 1);
        for (qsizetype at = text.indexOf(needle, sensesAt); at >= 0 && sensesAt >= 0;
             at = text.indexOf(needle, at + 1)) {
            const qsizetype end = at + needle.size();
            if ((at == 0 || !isWordByte(text[at - 1])) &&
                (end == text.size() || !isWordByte(text[end])))
                return int32_t(word);
        }
    }
    return -1;
}

std::vector<uint32_t> WordStore::findReading(const std::vector<pinyinquery::Syllable>& syllables,
                                             std::size_t limit) const
{
    std::vector<uint32_t> found;
    QByteArray key;
    for (const pinyinquery::Syllable& s : syllables) {
        if (!key.isEmpty())
            key.append(' ');
        key.append(s.letters.data(), qsizetype(s.letters.size()));
    }
    if (key.isEmpty())
        return found;
    auto pinyinOf = [&](uint32_t i) {
        const QByteArray text = textOf(at(readingsAt + 4 * qint64(i)));
        const QByteArrayView f = field(text, 2);
        return QByteArray(f.data(), f.size());
    };
    const auto [lo, hi] = range(
        readingCount, [&](uint32_t i) { return byteCompare(readingKeyOf(pinyinOf(i)), key); });
    for (uint32_t i = lo; i < hi && found.size() < limit; ++i) {
        if (at(readingsAt + 4 * qint64(i)) >= wordCount)
            continue;
        const std::vector<int> tones = readingTones(pinyinOf(i));
        bool match = tones.size() == syllables.size();
        for (std::size_t s = 0; match && s < tones.size(); ++s)
            match = syllables[s].tone == 0 || syllables[s].tone == tones[s];
        if (match)
            found.push_back(at(readingsAt + 4 * qint64(i)));
    }
    std::sort(found.begin(), found.end());
    return found;
}

namespace {

ProgramFile<WordStore>& programFile()
{
    static ProgramFile<WordStore> file("words.dat", "word", "words are not available");
    return file;
}

} // namespace

QString wordFilePath()
{
    return programFile().path();
}

void setProgramWordFile(const QString& path)
{
    programFile().setPath(path);
}

const WordStore& programWords()
{
    return programFile().get();
}

} // namespace words
