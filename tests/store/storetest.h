#pragma once

// Helpers shared by the store's tests.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdio>
#include <unistd.h>

// Collects what the code under test prints on standard output. Call finish()
// before any QCOMPARE, or Qt Test's own messages end up in the capture.
class StdoutCapture {
public:
    StdoutCapture()
    {
        fflush(stdout);
        saved = dup(STDOUT_FILENO);
        file = tmpfile();
        dup2(fileno(file), STDOUT_FILENO);
    }
    ~StdoutCapture() { finish(); }
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    QByteArray finish()
    {
        if (file == nullptr)
            return text;
        fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
        rewind(file);
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
            text.append(buffer, qsizetype(n));
        fclose(file);
        file = nullptr;
        return text;
    }

private:
    int saved = -1;
    FILE* file = nullptr;
    QByteArray text;
};

inline QByteArray fixturePath(const char* name)
{
    return QByteArray(TAVI_FIXTURES_DIR "/store/") + name;
}

inline bool writeFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The index of the fixture dictionary "small.txt", as text.
inline QByteArray smallIndex()
{
    return readFile(QString::fromUtf8(fixturePath("small.txt.index")));
}
