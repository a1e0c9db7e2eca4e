#include "store/dictionary.h"
#include "store/textutil.h"

#include <cstring>

namespace {

// Rows: the vowel; columns: tones 1 to 5 (5 is the unmarked vowel).
constexpr char16_t kToneTable[6][5] = {
    {u'\u0101', u'\u00E1', u'\u01CE', u'\u00E0', u'a'},
    {u'\u0113', u'\u00E9', u'\u011B', u'\u00E8', u'e'},
    {u'\u012B', u'\u00ED', u'\u01D0', u'\u00EC', u'i'},
    {u'\u016B', u'\u00FA', u'\u01D4', u'\u00F9', u'u'},
    {u'\u01D6', u'\u01D8', u'\u01DA', u'\u01DC', u'\u00FC'},
    {u'\u014D', u'\u00F3', u'\u01D2', u'\u00F2', u'o'},
};

int vowelRow(char16_t c)
{
    switch (c) {
    case u'a':
        return 0;
    case u'e':
        return 1;
    case u'i':
        return 2;
    case u'u':
        return 3;
    case u'\u00FC':
        return 4;
    case u'o':
        return 5;
    default:
        return -1;
    }
}

inline bool isDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

inline bool isSpace(unsigned char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Where the tone mark of one syllable goes, by the standard rule: a or e
// takes it; else the o of "ou"; else the last vowel. Positions are output
// units; whitespace inside the syllable starts the tracking afresh.
struct Vowels {
    qsizetype a = -1;
    qsizetype e = -1;
    qsizetype ou = -1;
    qsizetype last = -1;

    void reset() { *this = Vowels(); }
    qsizetype markPosition() const
    {
        if (a >= 0)
            return a;
        if (e >= 0)
            return e;
        if (ou >= 0)
            return ou;
        return last;
    }
};

} // namespace

namespace tavi_text {

QString pinyinize(const char* text, size_t len)
{
    if (text == nullptr || len == 0)
        return QString();
    QString result(qsizetype(pinyinCapacity(len)), Qt::Uninitialized);
    const qsizetype n = pinyinizeInto(text, len, reinterpret_cast<char16_t*>(result.data()));
    if (n == 0)
        return QString();
    result.truncate(n);
    return result;
}

// Every byte yields at most one unit, and every syllable but the last uses at
// least two bytes (letters and tone digit) for the one separator it adds, so
// len units always suffice.
qsizetype pinyinizeInto(const char* text, size_t len, char16_t* out)
{
    const auto* u = reinterpret_cast<const unsigned char*>(text);
    qsizetype n = 0;
    size_t pos = 0;
    while (pos < len) {
        size_t sylEnd = pos;
        while (sylEnd < len && !isDigit(u[sylEnd]))
            ++sylEnd;
        if (sylEnd == pos)
            break; // the text here begins with a digit: stop converting
        int tone = 5;
        if (sylEnd < len) {
            tone = 0;
            for (size_t d = sylEnd; d < len && isDigit(u[d]); ++d)
                tone = tone < 1000 ? tone * 10 + (u[d] - '0') : tone;
        }

        if (n > 0)
            out[n++] = u' ';
        Vowels vowels;
        size_t k = pos;
        while (k < sylEnd) {
            const unsigned char b = u[k];
            if (b == ':') {
                // u: stands for ü; it rewrites the character before it, both
                // units of a surrogate pair, so no half of a pair is left
                if (n > 0)
                    n = tavi_text::codePointStart(QStringView(out, n), n - 1) + 1;
                if (n > 0)
                    out[n - 1] = u'\u00FC';
                ++k;
                continue;
            }
            if (b < 0x80) {
                const char16_t l = (b >= 'A' && b <= 'Z') ? char16_t(b + ('a' - 'A')) : char16_t(b);
                if (isSpace(b)) {
                    vowels.reset();
                } else if (vowelRow(l) >= 0) {
                    if (l == u'a')
                        vowels.a = n;
                    else if (l == u'e' && vowels.e < 0)
                        vowels.e = n;
                    else if (l == u'u' && vowels.last == n - 1 && n > 0 && out[n - 1] == u'o')
                        vowels.ou = n - 1;
                    vowels.last = n;
                }
                out[n++] = l;
                ++k;
                continue;
            }
            char32_t cp;
            k += decodeUtf8(u + k, sylEnd - k, cp);
            if (cp == 0xDC || cp == 0xFC) {
                // Ü or ü written directly is the vowel ü
                vowels.last = n;
                out[n++] = u'\u00FC';
            } else {
                n += putCodePoint(out + n, cp);
            }
        }
        const qsizetype mark = vowels.markPosition();
        if (mark >= 0 && tone >= 1 && tone <= 5) {
            const int row = vowelRow(out[mark]);
            if (row >= 0)
                out[mark] = kToneTable[row][tone - 1];
        }
        // The syllable, one tone digit and one separator.
        pos = sylEnd + 2;
    }
    return n;
}

} // namespace tavi_text

QString dictionary::pinyinize(const char* text) const
{
    if (text == nullptr)
        return QString();
    return tavi_text::pinyinize(text, strlen(text));
}
