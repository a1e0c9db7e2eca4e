#include "store/pinyinquery.h"

#include <QChar>

#include <array>
#include <climits>
#include <string_view>

namespace pinyinquery {

namespace {

// Tone of a combining tone mark, 0 for any other unit.
int toneOfMark(char16_t c)
{
    switch (c) {
    case u'\u0304':
        return 1;
    case u'\u0301':
        return 2;
    case u'\u030C':
        return 3;
    case u'\u0300':
        return 4;
    default:
        return 0;
    }
}

bool isVowel(char c)
{
    return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u' || c == 'v';
}

constexpr std::array<std::string_view, 38> kFinals = {
    "a",  "o",   "e",  "ai",  "ei", "ao",   "ou",   "an",   "en",  "ang",  "eng", "ong", "er",
    "i",  "ia",  "ie", "iao", "iu", "ian",  "in",   "iang", "ing", "iong", "io",  "u",   "ua",
    "uo", "uai", "ui", "uan", "un", "uang", "ueng", "ue",   "v",   "ve",   "van", "vn"};

bool isFinal(std::string_view s)
{
    for (std::string_view f : kFinals) {
        if (f == s)
            return true;
    }
    return false;
}

// Whether the letters are one syllable of the shape pinyin allows. Looser
// than the table of real syllables: a shape that no reading has simply
// matches nothing.
bool isSyllable(std::string_view s)
{
    if (s == "m" || s == "n" || s == "ng" || s == "hm" || s == "hng")
        return true;
    std::string_view initial;
    if (s.size() >= 2 &&
        (s.substr(0, 2) == "zh" || s.substr(0, 2) == "ch" || s.substr(0, 2) == "sh"))
        initial = s.substr(0, 2);
    else if (!s.empty() &&
             std::string_view("bpmfdtnlgkhjqxrzcsyw").find(s[0]) != std::string_view::npos)
        initial = s.substr(0, 1);
    const std::string_view final = s.substr(initial.size());
    if (!isFinal(final))
        return false;
    const char first = final[0];
    if (initial.empty())
        return first != 'i' && first != 'u' && first != 'v' && final != "ong";
    if (final == "er")
        return false;
    const char i0 = initial[0];
    if (i0 == 'j' || i0 == 'q' || i0 == 'x')
        return first == 'i' || first == 'u' || first == 'v';
    if (i0 == 'y')
        return final != "ai" && final != "ei" && final != "io" && first != 'v' &&
               (first != 'i' || final == "i" || final == "in" || final == "ing") &&
               (first != 'u' || final == "u" || final == "ue" || final == "uan" || final == "un");
    if (i0 == 'w')
        return first != 'i' && first != 'v' && final != "er" && // wong: a Unihan reading
               (first != 'u' || final == "u");
    if (initial.size() == 2 || i0 == 'r' || i0 == 'z' || i0 == 'c' || i0 == 's' || i0 == 'g' ||
        i0 == 'k' || i0 == 'h')
        return (first != 'i' ||
                (final == "i" && initial != "g" && initial != "k" && initial != "h")) &&
               first != 'v';
    return true;
}

// Where letters written without separators are cut into the fewest
// syllables: the start of every syllable after the first. False when they
// cannot be cut into syllables.
bool fewestSyllables(std::string_view run, std::vector<std::size_t>& starts)
{
    constexpr std::size_t kLongest = 6; // "zhuang"
    const std::size_t n = run.size();
    std::vector<int> best(n + 1, INT_MAX);
    std::vector<std::size_t> from(n + 1, 0);
    best[0] = 0;
    for (std::size_t end = 1; end <= n; ++end) {
        for (std::size_t len = 1; len <= kLongest && len <= end; ++len) {
            const std::size_t start = end - len;
            if (best[start] == INT_MAX || best[start] + 1 >= best[end])
                continue;
            if (isSyllable(run.substr(start, len))) {
                best[end] = best[start] + 1;
                from[end] = start;
            }
        }
    }
    if (n == 0 || best[n] == INT_MAX)
        return false;
    starts.clear();
    for (std::size_t end = from[n]; end > 0; end = from[end])
        starts.insert(starts.begin(), end);
    return true;
}

// Letters written without separators, with the tones marked on them (by
// position), cut into the fewest syllables.
bool segment(const std::string& run, const std::vector<int>& marks, int finalTone,
             std::vector<Syllable>& out)
{
    std::vector<std::size_t> bounds;
    if (!fewestSyllables(run, bounds))
        return false;
    bounds.insert(bounds.begin(), 0);
    bounds.push_back(run.size());
    std::vector<Syllable> pieces(bounds.size() - 1);
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        Syllable& s = pieces[k];
        s.letters = run.substr(bounds[k], bounds[k + 1] - bounds[k]);
        for (std::size_t p = bounds[k]; p < bounds[k + 1]; ++p) {
            if (marks[p] == 0)
                continue;
            if (s.tone != 0)
                return false; // two tone marks in one syllable
            s.tone = marks[p];
        }
    }
    if (finalTone != 0) {
        if (pieces.back().tone != 0 && pieces.back().tone != finalTone)
            return false;
        pieces.back().tone = finalTone;
    }
    out.insert(out.end(), pieces.begin(), pieces.end());
    return true;
}

} // namespace

std::vector<Syllable> parse(QStringView text)
{
    const QString folded = text.toString().normalized(QString::NormalizationForm_D).toLower();
    std::vector<Syllable> out;
    std::string run;
    std::vector<int> marks; // tone marked on each letter of the run
    auto endRun = [&](int tone) {
        if (run.empty())
            return tone == 0;
        const bool ok = segment(run, marks, tone, out);
        run.clear();
        marks.clear();
        return ok;
    };
    for (const QChar qc : folded) {
        const char16_t c = qc.unicode();
        if (c >= u'a' && c <= u'z') {
            run.push_back(char(c));
            marks.push_back(0);
        } else if (c == u'\u0308' || c == u':') {
            if (run.empty() || run.back() != 'u')
                return {};
            run.back() = 'v';
        } else if (const int tone = toneOfMark(c)) {
            if (run.empty() || !isVowel(run.back()) || marks.back() != 0)
                return {};
            marks.back() = tone;
        } else if (c >= u'1' && c <= u'5') {
            if (run.empty() || !endRun(c - u'0'))
                return {};
        } else if (qc.isSpace() || c == u'\'' || c == u'-' || c == u'\u2019') {
            if (!endRun(0))
                return {};
        } else {
            return {};
        }
    }
    if (!endRun(0))
        return {};
    return out;
}

namespace {

// One syllable of a reading.
struct ReadingSyllable {
    std::array<char, 8> letters{};
    uint8_t length = 0;
    uint8_t tone = 5;
    bool usable = true; // false: longer than any syllable, or with other marks
};

void readSyllables(QStringView form, std::vector<ReadingSyllable>& out)
{
    out.clear();
    bool inSyllable = false;
    for (qsizetype i = 0; i < form.size(); ++i) {
        const char16_t c = form[i].unicode();
        const bool letter = c >= u'a' && c <= u'z';
        const bool mark = c >= 0x300 && QChar::category(c) == QChar::Mark_NonSpacing;
        if (!letter && !mark) {
            inSyllable = false;
            if (c >= u'1' && c <= u'5' && !out.empty() && i > 0 && form[i - 1].unicode() >= u'a' &&
                form[i - 1].unicode() <= u'z')
                out.back().tone = uint8_t(c - u'0'); // a reading left in tone numbers
            continue;
        }
        if (!inSyllable) {
            out.emplace_back();
            inSyllable = true;
        }
        ReadingSyllable& s = out.back();
        if (letter) {
            if (s.length == s.letters.size())
                s.usable = false;
            else
                s.letters[s.length++] = char(c);
        } else if (c == u'\u0308' && s.length > 0 && s.letters[s.length - 1] == 'u') {
            s.letters[s.length - 1] = 'v';
        } else if (const int tone = toneOfMark(c)) {
            s.tone = uint8_t(tone);
        } else {
            s.usable = false;
        }
    }
}

bool same(const ReadingSyllable& r, const Syllable& q)
{
    return r.usable && std::string_view(r.letters.data(), r.length) == q.letters &&
           (q.tone == 0 || q.tone == r.tone);
}

} // namespace

bool matchesReading(QStringView form, const std::vector<Syllable>& query)
{
    if (query.empty())
        return false;
    static std::vector<ReadingSyllable> syllables; // main thread only; reused
    readSyllables(form, syllables);
    if (syllables.size() < query.size())
        return false;
    for (std::size_t start = 0; start + query.size() <= syllables.size(); ++start) {
        std::size_t k = 0;
        while (k < query.size() && same(syllables[start + k], query[k]))
            ++k;
        if (k == query.size())
            return true;
    }
    return false;
}

namespace {

bool isWordUnit(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u':' || c == u'\u00FC' || c == u'\u00DC';
}

// One letter of a word: as written (ü for v and u:), and as a lowercase
// letter for the syllable shapes (v for ü).
struct Letter {
    char16_t shown;
    char key;
};

// Appends the letters, cut into syllables, with the tone marked on the last
// syllable's vowel: a or e, else the o of ou, else the last vowel. False
// when the letters are not syllables.
bool appendSyllables(const std::vector<Letter>& letters, int tone, QString& out)
{
    std::string keys;
    for (const Letter& l : letters)
        keys.push_back(l.key);
    std::vector<std::size_t> starts;
    if (!fewestSyllables(keys, starts))
        return false;
    const std::size_t last = starts.empty() ? 0 : starts.back();
    std::size_t mark = keys.size();
    if (tone >= 1 && tone <= 4) {
        const std::string_view syllable = std::string_view(keys).substr(last);
        std::size_t at = syllable.find('a');
        if (at == std::string_view::npos)
            at = syllable.find('e');
        if (at == std::string_view::npos)
            at = syllable.find("ou");
        if (at == std::string_view::npos)
            at = syllable.find_last_of("iouv");
        if (at != std::string_view::npos)
            mark = last + at;
    }
    static constexpr char16_t kToneMarks[4] = {u'\u0304', u'\u0301', u'\u030C', u'\u0300'};
    QString written;
    for (std::size_t i = 0; i < letters.size(); ++i) {
        written += QChar(letters[i].shown);
        if (i == mark)
            written += QChar(kToneMarks[tone - 1]);
    }
    out += written.normalized(QString::NormalizationForm_C);
    return true;
}

// A word of letters and tone digits: each run of letters is syllables, and
// each digit (1 to 5) gives the tone of the syllable before it. False when
// the word is not pinyin with tone numbers.
bool appendToneMarked(QStringView word, QString& out)
{
    QString converted;
    std::vector<Letter> run;
    bool toned = false;
    for (const QChar qc : word) {
        const char16_t c = qc.unicode();
        if (c >= u'1' && c <= u'5') {
            if (run.empty() || !appendSyllables(run, c - u'0', converted))
                return false;
            run.clear();
            toned = true;
        } else if (c == u':') {
            if (run.empty() || run.back().key != 'u')
                return false;
            run.back() = {run.back().shown == u'U' ? u'\u00DC' : u'\u00FC', 'v'};
        } else if (c == u'v' || c == u'\u00FC') {
            run.push_back({u'\u00FC', 'v'});
        } else if (c == u'V' || c == u'\u00DC') {
            run.push_back({u'\u00DC', 'v'});
        } else if (c >= u'a' && c <= u'z') {
            run.push_back({c, char(c)});
        } else if (c >= u'A' && c <= u'Z') {
            run.push_back({c, char(c - u'A' + u'a')});
        } else {
            return false; // another digit
        }
    }
    if (!toned || (!run.empty() && !appendSyllables(run, 5, converted)))
        return false;
    out += converted;
    return true;
}

} // namespace

QString toneMarked(QStringView text)
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (!isWordUnit(text[i].unicode())) {
            out += text[i++];
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && isWordUnit(text[end].unicode()))
            ++end;
        const QStringView word = text.sliced(i, end - i);
        if (!appendToneMarked(word, out))
            out += word;
        i = end;
    }
    return out;
}

} // namespace pinyinquery
