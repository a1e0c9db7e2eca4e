#include "store/readresult.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>

QString ReadResult::describe() const
{
    return QFile::decodeName(path.c_str()) + QStringLiteral(": ") + reason;
}

ReadResult ReadResult::success(std::string path)
{
    ReadResult result;
    result.path = std::move(path);
    return result;
}

ReadResult ReadResult::failure(std::string path, int error)
{
    ReadResult result;
    result.path = std::move(path);
    result.error = error != 0 ? error : EIO;
    result.reason = result.error == kNotRegularFile
                        ? QStringLiteral("Not a regular file")
                        : QString::fromLocal8Bit(strerror(result.error));
    return result;
}

FILE* openForReading(const char* path)
{
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    struct stat info;
    int error = 0;
    if (fstat(fd, &info) != 0)
        error = errno;
    else if (S_ISDIR(info.st_mode))
        error = EISDIR;
    else if (!S_ISREG(info.st_mode))
        error = kNotRegularFile;
    else if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        error = errno;
    FILE* file = error == 0 ? fdopen(fd, "r") : nullptr;
    if (!file) {
        if (error == 0)
            error = errno;
        close(fd);
        errno = error;
    }
    return file;
}

LineDiagnostics::LineDiagnostics(std::string path_) : path(std::move(path_)) {}

LineDiagnostics::~LineDiagnostics()
{
    if (reported > kNamedLines)
        fprintf(stderr, "%lld more lines of %s were reported as above\n",
                static_cast<long long>(reported - kNamedLines), path.c_str());
}

void LineDiagnostics::report(int64_t line, const char* problem)
{
    if (++reported <= kNamedLines)
        fprintf(stderr, "line %lld of %s: %s\n", static_cast<long long>(line), path.c_str(),
                problem);
}
