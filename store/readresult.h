#pragma once
// What the readers of the store's files tell their callers, and the
// diagnostics they give about single lines of a file.

#include <QString>

#include <cstdint>
#include <cstdio>
#include <string>

// The error of a file that is there but is no regular file (a FIFO, socket
// or device); its reason is "Not a regular file".
constexpr int kNotRegularFile = 0x7F00;

// Opens a file for reading as fopen(path, "re") does, but only a regular
// file: for a folder errno is EISDIR, for anything else that is no regular
// file kNotRegularFile, and a FIFO with no writer is refused rather than
// waited on.
FILE* openForReading(const char* path);

// Whether a file could be read; if not, which one and why.
struct ReadResult {
    std::string path;
    int error = 0;  // the errno of the failure; 0 when the file was read
    QString reason; // the failure for a person, e.g. "No such file or directory"

    bool ok() const { return error == 0; }
    explicit operator bool() const { return ok(); }
    // "<path>: <reason>"
    QString describe() const;

    static ReadResult success(std::string path);
    static ReadResult failure(std::string path, int error);
};

// Problems with single lines of one file, each reported once on standard
// error as "line N of <file>: <problem>". A damaged file could hold millions
// of them: past the first kNamedLines only a count is printed, at the end.
class LineDiagnostics {
public:
    static constexpr int64_t kNamedLines = 100;

    explicit LineDiagnostics(std::string path);
    ~LineDiagnostics();

    void report(int64_t line, const char* problem);
    int64_t count() const { return reported; }

private:
    LineDiagnostics(const LineDiagnostics&) = delete;
    LineDiagnostics& operator=(const LineDiagnostics&) = delete;

    std::string path;
    int64_t reported = 0;
};
