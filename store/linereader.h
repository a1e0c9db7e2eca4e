#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

// Reads a file line by line: each line whole with its newline, and a last
// line without a newline as it is. A line longer than kLineMax bytes is not
// a line any file of ours holds; it is skipped whole and counted. Reads in
// large blocks, so a line costs no call into the C library.
class LineReader {
public:
    static constexpr std::size_t kLineMax = std::size_t(1) << 20;

    explicit LineReader(FILE* file);

    // Skips a UTF-8 byte-order mark at the start of the file.
    void skipByteOrderMark();
    // The next line, or false at the end of the file. As for a C string, a
    // line ends at its first NUL byte. The line stays valid until the next
    // call.
    bool next(const char*& line, std::size_t& length);
    // The number of the line `next` gave last, from 1; lines too long to
    // keep count too.
    int64_t lineNumber() const { return lines; }
    // Bytes consumed so far: the file position of the next line.
    int64_t offset() const { return consumed; }
    // True when reading stopped because of an I/O error.
    bool failed() const { return error; }
    // The errno of that error.
    int errorCode() const { return errorNumber; }
    // How many lines longer than kLineMax were skipped.
    long skippedLongLines() const { return skippedLong; }

private:
    bool fill();
    // Drops the rest of a line too long to keep; false at the end of the file.
    bool skipLine();

    FILE* file;
    std::vector<char> buffer;
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t scanned = 0; // bytes after begin known to hold no newline
    int64_t consumed = 0;
    int64_t lines = 0;
    long skippedLong = 0;
    bool atEnd = false;
    bool error = false;
    int errorNumber = 0;
};
