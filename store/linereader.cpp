#include "store/linereader.h"

#include <cerrno>
#include <cstring>

namespace {
constexpr std::size_t kBlock = 64 * 1024;
}

LineReader::LineReader(FILE* file_) : file(file_), buffer(kBlock) {}

bool LineReader::fill()
{
    if (atEnd)
        return false;
    const std::size_t kept = end - begin;
    if (begin > 0 && kept > 0)
        memmove(buffer.data(), buffer.data() + begin, kept);
    begin = 0;
    end = kept;
    // A line longer than the buffer: room for another block.
    if (buffer.size() - end < kBlock)
        buffer.resize(end + kBlock);
    const std::size_t got = fread(buffer.data() + end, 1, buffer.size() - end, file);
    if (got == 0) {
        atEnd = true;
        error = ferror(file) != 0;
        errorNumber = error ? errno : 0;
        return false;
    }
    end += got;
    return true;
}

bool LineReader::skipLine()
{
    ++skippedLong;
    ++lines;
    for (;;) {
        consumed += int64_t(end - begin);
        begin = end;
        if (!fill())
            return false;
        if (const void* nl = memchr(buffer.data(), '\n', end)) {
            const std::size_t n = std::size_t(static_cast<const char*>(nl) - buffer.data()) + 1;
            begin = n;
            consumed += int64_t(n);
            return true;
        }
    }
}

void LineReader::skipByteOrderMark()
{
    while (end - begin < 3 && fill()) {
    }
    if (end - begin >= 3 && memcmp(buffer.data() + begin, "\xEF\xBB\xBF", 3) == 0) {
        begin += 3;
        consumed += 3;
    }
}

bool LineReader::next(const char*& line, std::size_t& length)
{
    for (;;) {
        const std::size_t avail = end - begin;
        const char* start = buffer.data() + begin;
        if (const void* nl = memchr(start + scanned, '\n', avail - scanned)) {
            length = std::size_t(static_cast<const char*>(nl) - start) + 1;
            if (length <= kLineMax + 1)
                break;
            // Too long, though its end is already here.
            ++skippedLong;
            ++lines;
            begin += length;
            consumed += int64_t(length);
            scanned = 0;
            continue;
        }
        scanned = avail;
        if (avail > kLineMax) {
            scanned = 0;
            if (!skipLine())
                return false;
            continue;
        }
        if (!fill()) {
            if (end == begin)
                return false;
            length = end - begin; // the last line, without a newline
            break;
        }
    }
    scanned = 0;
    ++lines;
    line = buffer.data() + begin;
    begin += length;
    consumed += int64_t(length);
    length = strnlen(line, length);
    return true;
}
