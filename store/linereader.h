#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

// Reads a file in the pieces that fgets into a 1024-byte buffer would give:
// a line of at most 1023 bytes with its newline, a longer line as several
// pieces, and a last line without a newline as it is. Reads in large blocks,
// so a piece costs no call into the C library.
class LineReader {
public:
    static constexpr std::size_t kPieceMax = 1023;

    explicit LineReader(FILE* file);

    // Skips a UTF-8 byte-order mark at the start of the file.
    void skipByteOrderMark();
    // The next piece, or false at the end of the file. As for a C string,
    // a piece ends at its first NUL byte. The piece stays valid until the
    // next call.
    bool next(const char*& line, std::size_t& length);
    // Bytes consumed so far: the file position of the next piece.
    int64_t offset() const { return consumed; }
    // True when reading stopped because of an I/O error.
    bool failed() const { return error; }

private:
    bool fill();

    FILE* file;
    std::vector<char> buffer;
    std::size_t begin = 0;
    std::size_t end = 0;
    int64_t consumed = 0;
    bool atEnd = false;
    bool error = false;
};
