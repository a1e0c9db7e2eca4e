#pragma once
// Helpers of the fault-injection tests: work done in a child process under a
// file size limit or until it is killed, and files read and written whole.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <functional>

namespace faults {

inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeAll(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

// Runs `work` in a forked child and answers its exit code, or -1 when it did
// not exit normally. The child leaves with _exit: nothing of the parent's
// (Qt's, the test's) is flushed or torn down twice.
inline int inChild(const std::function<int()>& work)
{
    fflush(stdout);
    fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int code = work();
        fflush(stdout);
        _exit(code);
    }
    if (pid < 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// In a child: every write past `bytes` bytes of a file fails (EFBIG), as it
// does on a full disk; the signal that would end the process is ignored.
inline bool limitFileSize(rlim_t bytes)
{
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return false;
    limit.rlim_cur = bytes;
    return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

// Lifts the limit again (up to the hard limit, which a child may do).
inline bool liftFileSizeLimit()
{
    struct rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return false;
    limit.rlim_cur = limit.rlim_max;
    return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

// A path below a regular file: no one, root included, can make or write
// anything there.
inline QString unwritablePath(const QString& scratch, const QString& below)
{
    const QString blocker = scratch + QStringLiteral("/blocker");
    writeAll(blocker, "a file, not a folder\n");
    return blocker + u'/' + below;
}

} // namespace faults
