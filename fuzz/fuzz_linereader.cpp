// The line reader under the dictionary, index and user-dictionary loaders:
// its lines must be exactly the file's lines, whole, after an optional UTF-8
// byte-order mark, with every line over the bound skipped, whatever the bytes
// and however the lines fall across the reader's 64 KiB blocks. The input
// may make one of its lines longer than the bound.

#include "fuzz/fuzzsupport.h"
#include "store/linereader.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// The length of the line at `at`, with its newline; the last one may have none.
size_t referenceLine(const std::string& text, size_t at)
{
    const void* nl = memchr(text.data() + at, '\n', text.size() - at);
    return nl != nullptr ? size_t(static_cast<const char*>(nl) - (text.data() + at)) + 1
                         : text.size() - at;
}

void checkReader(const std::string& text)
{
    // fmemopen wants a buffer of at least one byte.
    std::string buffer = text.empty() ? std::string(1, '\0') : text;
    FILE* file = fmemopen(buffer.data(), text.size(), "r");
    if (file == nullptr && text.empty())
        return;
    FUZZ_CHECK(file != nullptr);

    LineReader reader(file);
    reader.skipByteOrderMark();
    size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    FUZZ_CHECK(reader.offset() == int64_t(at));
    long skipped = 0;
    while (at < text.size()) {
        const size_t piece = referenceLine(text, at);
        const bool newline = text[at + piece - 1] == '\n';
        if (piece - (newline ? 1 : 0) > LineReader::kLineMax) {
            ++skipped;
            at += piece;
            continue;
        }
        const char* line = nullptr;
        size_t length = 0;
        FUZZ_CHECK(reader.next(line, length));
        // A piece ends at its first NUL, as a C string would.
        FUZZ_CHECK(length == strnlen(text.data() + at, piece));
        FUZZ_CHECK(memcmp(line, text.data() + at, length) == 0);
        at += piece;
        FUZZ_CHECK(reader.offset() == int64_t(at));
    }
    const char* line = nullptr;
    size_t length = 0;
    FUZZ_CHECK(!reader.next(line, length));
    FUZZ_CHECK(!reader.next(line, length));
    FUZZ_CHECK(!reader.failed());
    FUZZ_CHECK(reader.skippedLongLines() == skipped);
    FUZZ_CHECK(reader.offset() == int64_t(text.size()));
    fclose(file);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkReader(text);
    // For one input in sixteen, a line just under, at or just over the bound
    // (the second byte chooses) behind the input's first line.
    if (size > 1 && (data[1] >> 4) == 0xF) {
        const size_t firstLine = text.find('\n');
        std::string stream = text.substr(0, firstLine == std::string::npos ? size : firstLine + 1);
        stream.append(LineReader::kLineMax - 1 + data[1] % 3, 'z');
        if (data[1] & 4)
            stream.push_back('\n');
        stream += text;
        checkReader(stream);
    }
    // The same bytes again behind 64 KiB less a few of filler lines, so that
    // the edge of the reader's first block falls inside them, at an offset
    // the input chooses.
    if (size > 0) {
        const size_t shift = size_t(data[0]) * 131 % (size + 1);
        const size_t before = 64 * 1024 - shift;
        std::string stream;
        stream.reserve(before + size);
        while (stream.size() + 1000 <= before)
            stream.append(999, 'x').push_back('\n');
        if (stream.size() < before)
            stream.append(before - stream.size() - 1, 'y').push_back('\n');
        stream += text;
        checkReader(stream);
    }
    return 0;
}
