#pragma once

// Collects what the code under test prints on standard output (or standard
// error, with StderrCapture), shared by the test folders. Call finish()
// before any QCOMPARE, or Qt Test's own messages end up in the capture.

#include <QByteArray>

#include <cstdio>
#include <unistd.h>

class StdoutCapture {
public:
    explicit StdoutCapture(FILE* stream_ = stdout) : stream(stream_)
    {
        fflush(stream);
        saved = dup(fileno(stream));
        file = tmpfile();
        if (file != nullptr)
            dup2(fileno(file), fileno(stream));
    }
    ~StdoutCapture() { finish(); }
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    QByteArray finish()
    {
        if (file == nullptr)
            return text;
        fflush(stream);
        dup2(saved, fileno(stream));
        close(saved);
        rewind(file);
        char buffer[65536];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
            text.append(buffer, qsizetype(n));
        fclose(file);
        file = nullptr;
        return text;
    }

private:
    FILE* stream;
    int saved = -1;
    FILE* file = nullptr;
    QByteArray text;
};

class StderrCapture : public StdoutCapture {
public:
    StderrCapture() : StdoutCapture(stderr) {}
};
