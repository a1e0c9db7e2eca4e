#include "store/linereader.h"

#include <cstring>

namespace {
constexpr std::size_t kBlock = 64 * 1024;
}

LineReader::LineReader(FILE* file_)
    : file(file_)
    , buffer(kBlock)
{
}

bool LineReader::fill()
{
    if (atEnd)
        return false;
    const std::size_t kept = end - begin;
    if (begin > 0 && kept > 0)
        memmove(buffer.data(), buffer.data() + begin, kept);
    begin = 0;
    end = kept;
    const std::size_t got = fread(buffer.data() + end, 1, buffer.size() - end, file);
    if (got == 0) {
        atEnd = true;
        error = ferror(file) != 0;
        return false;
    }
    end += got;
    return true;
}

void LineReader::skipByteOrderMark()
{
    while (end - begin < 3 && fill()) { }
    if (end - begin >= 3 && memcmp(buffer.data() + begin, "\xEF\xBB\xBF", 3) == 0) {
        begin += 3;
        consumed += 3;
    }
}

bool LineReader::next(const char*& line, std::size_t& length)
{
    for (;;) {
        const std::size_t avail = end - begin;
        const std::size_t limit = avail < kPieceMax ? avail : kPieceMax;
        const char* start = buffer.data() + begin;
        if (const void* nl = memchr(start, '\n', limit)) {
            length = std::size_t(static_cast<const char*>(nl) - start) + 1;
            break;
        }
        if (avail >= kPieceMax) {
            length = kPieceMax;
            break;
        }
        if (!fill()) {
            if (end == begin)
                return false;
            length = end - begin; // the last line, without a newline
            break;
        }
    }
    line = buffer.data() + begin;
    begin += length;
    consumed += int64_t(length);
    length = strnlen(line, length);
    return true;
}
