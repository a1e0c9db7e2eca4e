// The line reader under the dictionary, index and user-dictionary loaders:
// its pieces must be exactly those of fgets into a 1024-byte buffer, after
// an optional UTF-8 byte-order mark, whatever the bytes and however the lines
// fall across the reader's 64 KiB blocks.

#include "fuzz/fuzzsupport.h"
#include "store/linereader.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// The pieces fgets would give: up to and including a newline, at most 1023
// bytes, the last one possibly without a newline.
std::vector<std::string> referencePieces(const std::string& text)
{
    std::vector<std::string> pieces;
    size_t at = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        at = 3;
    while (at < text.size()) {
        size_t length = 0;
        while (at + length < text.size() && length < LineReader::kPieceMax) {
            ++length;
            if (text[at + length - 1] == '\n')
                break;
        }
        pieces.push_back(text.substr(at, length));
        at += length;
    }
    return pieces;
}

void checkReader(const std::string& text)
{
    // fmemopen wants a buffer of at least one byte.
    std::string buffer = text.empty() ? std::string(1, '\0') : text;
    FILE* file = fmemopen(buffer.data(), text.size(), "r");
    if (file == nullptr && text.empty())
        return;
    FUZZ_CHECK(file != nullptr);

    const std::vector<std::string> expected = referencePieces(text);
    LineReader reader(file);
    reader.skipByteOrderMark();
    size_t consumed = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    FUZZ_CHECK(reader.offset() == int64_t(consumed));
    for (const std::string& piece : expected) {
        const char* line = nullptr;
        size_t length = 0;
        FUZZ_CHECK(reader.next(line, length));
        // A piece ends at its first NUL, as a C string would.
        FUZZ_CHECK(length == strnlen(piece.data(), piece.size()));
        FUZZ_CHECK(memcmp(line, piece.data(), length) == 0);
        consumed += piece.size();
        FUZZ_CHECK(reader.offset() == int64_t(consumed));
    }
    const char* line = nullptr;
    size_t length = 0;
    FUZZ_CHECK(!reader.next(line, length));
    FUZZ_CHECK(!reader.next(line, length));
    FUZZ_CHECK(!reader.failed());
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
    // The same bytes repeated past two of the reader's blocks, so that lines
    // and byte-order marks meet the block edges at every offset.
    if (size > 0) {
        std::string repeated;
        while (repeated.size() < 140 * 1024)
            repeated += text;
        checkReader(repeated);
    }
    return 0;
}
