#include "store/textutil.h"

#include <cstdio>
#include <cstring>

namespace tavi_text {

size_t decodeUtf8(const unsigned char* p, size_t avail, char32_t& cp)
{
    const unsigned char b0 = p[0];
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    size_t need;
    char32_t min;
    char32_t value;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 2;
        min = 0x80;
        value = b0 & 0x1Fu;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 3;
        min = 0x800;
        value = b0 & 0x0Fu;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 4;
        min = 0x10000;
        value = b0 & 0x07u;
    } else {
        cp = 0xFFFD;
        return 1;
    }
    if (avail < need) {
        cp = 0xFFFD;
        return 1;
    }
    for (size_t i = 1; i < need; ++i) {
        if ((p[i] & 0xC0u) != 0x80u) {
            cp = 0xFFFD;
            return 1;
        }
        value = (value << 6) | (p[i] & 0x3Fu);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        cp = 0xFFFD;
        return 1;
    }
    cp = value;
    return need;
}

qsizetype utf8ToUtf16(const char* p, size_t n, char16_t* out, bool& invalid)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    qsizetype units = 0;
    size_t i = 0;
    while (i < n) {
        // Runs of ASCII, eight bytes at a time.
        while (i + 8 <= n) {
            uint64_t w;
            memcpy(&w, u + i, 8);
            if (w & 0x8080808080808080ull)
                break;
            for (int k = 0; k < 8; ++k)
                out[units++] = char16_t(u[i + size_t(k)]);
            i += 8;
        }
        if (i >= n)
            break;
        if (u[i] < 0x80) {
            out[units++] = char16_t(u[i++]);
            continue;
        }
        char32_t cp;
        const size_t used = decodeUtf8(u + i, n - i, cp);
        invalid |= used == 1; // every valid sequence here has two bytes or more
        units += putCodePoint(out + units, cp);
        i += used;
    }
    return units;
}

bool isValidUtf8(const char* p, size_t n)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n;) {
        if (u[i] < 0x80) {
            ++i;
            continue;
        }
        char32_t cp;
        const size_t used = decodeUtf8(u + i, n - i, cp);
        if (used == 1)
            return false;
        i += used;
    }
    return true;
}

bool isCharacterKey(const uint32_t* codes, std::size_t count, std::string* why)
{
    if (count == 0) {
        if (why != nullptr)
            *why = "the key names no character";
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const uint32_t c = codes[i];
        const char* problem = c == 0                         ? "is not a character"
                              : c > 0x10FFFFu                ? "is past U+10FFFF"
                              : c >= 0xD800u && c <= 0xDFFFu ? "is a surrogate"
                                                             : nullptr;
        if (problem != nullptr) {
            if (why != nullptr) {
                char text[64];
                snprintf(text, sizeof text, "U+%lX %s", static_cast<unsigned long>(c), problem);
                *why = text;
            }
            return false;
        }
    }
    return true;
}

std::vector<uint32_t> codePoints(QStringView text)
{
    std::vector<uint32_t> codes;
    codes.reserve(std::size_t(text.size()));
    forEachCodePoint(text, [&](char32_t c) { codes.push_back(c); });
    return codes;
}

qsizetype codePointCount(QStringView text)
{
    qsizetype n = 0;
    forEachCodePoint(text, [&](char32_t) { ++n; });
    return n;
}

} // namespace tavi_text
