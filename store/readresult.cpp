#include "store/readresult.h"

#include <QFile>

#include <cerrno>
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
    result.reason = QString::fromLocal8Bit(strerror(result.error));
    return result;
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
