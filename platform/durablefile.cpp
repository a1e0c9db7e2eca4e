#include "platform/durablefile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

QString describeErrno(int number)
{
    return QString::fromLocal8Bit(std::strerror(number));
}

// Why a file of this kind is not replaced.
QString notRegular(mode_t mode)
{
    const char* kind = S_ISDIR(mode)                    ? "a folder"
                       : S_ISFIFO(mode)                 ? "a named pipe"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                       : S_ISSOCK(mode)                 ? "a socket"
                                                        : "a special file";
    return QStringLiteral("it is %1, not a regular file").arg(QLatin1String(kind));
}

// The permissions a new file gets from the process's file creation mask.
unsigned newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

void syncFolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : path.substr(0, slash);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace

bool DurableFile::fail(QFileDevice::FileError error, const QString& why)
{
    if (m_error == QFileDevice::NoError) {
        m_error = error;
        m_errorString = why;
    }
    cancel();
    return false;
}

bool DurableFile::failWithErrno(QFileDevice::FileError error)
{
    return fail(error, describeErrno(errno));
}

// Settles which file is replaced, refusing whatever is not a regular file.
bool DurableFile::chooseTarget()
{
    const std::string path = QFile::encodeName(m_path).toStdString();
    if (path.empty())
        return fail(QFileDevice::OpenError, QStringLiteral("the file has no name"));
    m_target = path;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno != ENOENT)
            return failWithErrno(QFileDevice::OpenError);
        m_existed = false;
        return true;
    }
    if (S_ISLNK(info.st_mode)) {
        char* resolved = ::realpath(path.c_str(), nullptr);
        if (!resolved)
            return fail(QFileDevice::OpenError,
                        QStringLiteral("it is a symbolic link to a file that cannot be reached "
                                       "(%1)")
                            .arg(describeErrno(errno)));
        m_target = resolved;
        std::free(resolved);
        if (::stat(m_target.c_str(), &info) != 0)
            return failWithErrno(QFileDevice::OpenError);
    }
    if (!S_ISREG(info.st_mode))
        return fail(QFileDevice::OpenError, notRegular(info.st_mode));
    // A file the user made read-only stays as it is.
    if (::access(m_target.c_str(), W_OK) != 0)
        return failWithErrno(QFileDevice::PermissionsError);
    m_existed = true;
    m_mode = info.st_mode & 07777;
    return true;
}

bool DurableFile::open()
{
    if (m_fd >= 0 || m_error != QFileDevice::NoError || !chooseTarget())
        return false;
    std::string name = m_target + kSaveFileInfix + std::string(kSaveFileRandomLength, 'X');
    m_fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0)
        return failWithErrno(QFileDevice::OpenError);
    m_temporary = name;
    // The new file takes the permissions of the one it replaces.
    if (::fchmod(m_fd, m_existed ? m_mode : newFileMode()) != 0)
        return failWithErrno(QFileDevice::PermissionsError);
    return true;
}

bool DurableFile::write(const char* data, qint64 length)
{
    if (m_fd < 0)
        return fail(QFileDevice::WriteError, QStringLiteral("the file is not open"));
    while (length > 0) {
        const ssize_t n = ::write(m_fd, data, std::size_t(length));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failWithErrno(QFileDevice::WriteError);
        }
        data += n;
        length -= n;
    }
    return true;
}

bool DurableFile::commit()
{
    if (m_fd < 0)
        return fail(QFileDevice::WriteError, QStringLiteral("the file is not open"));
    if (::fsync(m_fd) != 0)
        return failWithErrno(QFileDevice::WriteError);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        return failWithErrno(QFileDevice::WriteError);
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0)
        return failWithErrno(QFileDevice::RenameError);
    m_temporary.clear();
    // The rename itself is on disk once the folder is.
    syncFolderOf(m_target);
    return true;
}

void DurableFile::cancel()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}

bool WriteFileDurably(const QString& path, const QByteArray& contents,
                      QFileDevice::FileError* outError, QString* outWhy)
{
    DurableFile file(path);
    const bool written = file.open() && file.write(contents) && file.commit();
    if (outError)
        *outError = file.error();
    if (outWhy)
        *outWhy = file.errorString();
    return written;
}
