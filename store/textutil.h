#pragma once

// Byte and UTF-16 helpers shared by the loader, the field index and pinyin.

#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace tavi_text {

// Decodes one UTF-8 sequence at p (avail > 0 bytes). Returns the number of
// bytes used; an invalid, overlong or truncated sequence yields U+FFFD for
// its first byte alone.
size_t decodeUtf8(const unsigned char* p, size_t avail, char32_t& cp);

// Decodes UTF-8 into out (room for n units) and returns the number of
// units. Each byte that does not start a valid sequence (strictly: no
// overlongs, surrogates or code points past U+10FFFF) becomes U+FFFD and
// sets `invalid`.
qsizetype utf8ToUtf16(const char* p, size_t n, char16_t* out, bool& invalid);
// Whether the n bytes at p are valid UTF-8, in the same strict sense.
bool isValidUtf8(const char* p, size_t n);

// Whether a headword's code points are all characters: U+0001 to U+10FFFF
// and no surrogate; an empty key is none. Inline: the loader asks for every
// line.
inline bool isCharacterKey(const uint32_t* codes, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const uint32_t c = codes[i];
        if (c - 1u >= 0x10FFFFu || (c >= 0xD800u && c <= 0xDFFFu))
            return false;
    }
    return count > 0;
}
// The same, and when it is not, `why` names the first offender, as in
// "U+D800 is a surrogate".
bool isCharacterKey(const uint32_t* codes, size_t count, std::string* why);

// Walking UTF-16 text by code point. A surrogate pair is the code point it
// encodes; a surrogate without its partner stays a code point of its own
// (its unit), so nothing is dropped or replaced and the caller decides what a
// lone surrogate means. (QStringView::toUcs4 would make it U+FFFD.)

// Calls visit(code point) or visit(code point, index of its first unit, its
// number of units) for each code point in order.
template <typename Visit>
void forEachCodePoint(QStringView text, Visit visit)
{
    const auto call = [&](char32_t c, qsizetype at, qsizetype units) {
        if constexpr (std::is_invocable_v<Visit, char32_t>)
            visit(c);
        else
            visit(c, at, units);
    };
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < n &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            call(QChar::surrogateToUcs4(unit, text[i + 1].unicode()), i, 2);
            ++i;
        } else {
            call(unit, i, 1);
        }
    }
}

// The code points of the text.
std::vector<uint32_t> codePoints(QStringView text);
// How many code points the text has.
qsizetype codePointCount(QStringView text);
// The index of the first unit of the code point that holds unit i.
inline qsizetype codePointStart(QStringView text, qsizetype i)
{
    return i > 0 && QChar::isLowSurrogate(text[i].unicode()) &&
                   QChar::isHighSurrogate(text[i - 1].unicode())
               ? i - 1
               : i;
}
// The code point that holds unit i (either half of a pair).
inline char32_t codePointAt(QStringView text, qsizetype i)
{
    const qsizetype start = codePointStart(text, i);
    const char16_t unit = text[start].unicode();
    if (QChar::isHighSurrogate(unit) && start + 1 < text.size() &&
        QChar::isLowSurrogate(text[start + 1].unicode()))
        return QChar::surrogateToUcs4(unit, text[start + 1].unicode());
    return unit;
}

// Writes `cp` as one or two UTF-16 units at out and returns how many; a value
// past U+10FFFF becomes U+FFFD.
inline int putCodePoint(char16_t* out, uint32_t cp)
{
    if (cp < 0x10000u) {
        out[0] = char16_t(cp);
        return 1;
    }
    if (cp > 0x10FFFFu) {
        out[0] = u'\uFFFD';
        return 1;
    }
    cp -= 0x10000u;
    out[0] = char16_t(0xD800u + (cp >> 10));
    out[1] = char16_t(0xDC00u + (cp & 0x3FFu));
    return 2;
}

inline int hexValue(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// An integer read as the C library's atoi reads it: leading blanks, an
// optional sign, decimal digits; 0 when there are none. Saturates.
inline int32_t leadingInteger(const QByteArray& text)
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
        if (value > int64_t(INT32_MAX) + 1)
            value = int64_t(INT32_MAX) + 1;
    }
    if (negative)
        value = -value;
    return int32_t(value < INT32_MIN ? INT32_MIN : value > INT32_MAX ? INT32_MAX : value);
}

// Reads hex digits from p up to end, saturating at 0xFFFFFFFF. Returns the
// position after the last digit (== p when there is none).
inline const char* readHex(const char* p, const char* end, uint32_t& value)
{
    uint64_t v = 0;
    for (; p < end; ++p) {
        int h = hexValue(static_cast<unsigned char>(*p));
        if (h < 0)
            break;
        v = (v << 4) | uint64_t(h);
        if (v > 0xFFFFFFFFull)
            v = 0xFFFFFFFFull; // saturate; more digits cannot shift it out
    }
    value = uint32_t(v);
    return p;
}

// Tone numbers to tone marks over n bytes (see dictionary::pinyinize),
// written to out, which has room for pinyinCapacity(n) units. Returns the
// number of units; 0 means no result.
inline size_t pinyinCapacity(size_t n)
{
    return n + 8;
}
qsizetype pinyinizeInto(const char* text, size_t n, char16_t* out);
QString pinyinize(const char* text, size_t n);

} // namespace tavi_text
