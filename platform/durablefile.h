#pragma once
// Durable file writes. Every file the program saves whole goes through
// DurableFile: the bytes go to a new file beside the target, named
// "<target>.tavi-save-XXXXXX" (a name no one would give a file of their own,
// so start-up may remove what a killed save left), which is flushed, synced
// and then renamed over the target. A failed or interrupted write leaves the
// target as it was.
//
// Only a regular file is ever replaced. A target that exists and is anything
// else (a device, a named pipe, a socket, a folder) is refused; a symbolic
// link is written through to the regular file it names, and refused when it
// names no file or something else. So a save never turns a device or a link
// into a plain file.

#include <QByteArray>
#include <QFileDevice>
#include <QString>

#include <string>

// What follows a target's name in the name of its new, temporary file.
inline constexpr char kSaveFileInfix[] = ".tavi-save-";
// The number of random characters after the infix.
inline constexpr int kSaveFileRandomLength = 6;

class DurableFile {
public:
    explicit DurableFile(const QString& path) : m_path(path) {}
    DurableFile(const DurableFile&) = delete;
    DurableFile& operator=(const DurableFile&) = delete;
    // An uncommitted file is discarded.
    ~DurableFile() { cancel(); }

    bool open();
    bool write(const char* data, qint64 length);
    bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
    // Puts the file in place; false (and the target untouched) on any failure.
    bool commit();
    void cancel();
    // The first failure, QFileDevice::NoError for none.
    QFileDevice::FileError error() const { return m_error; }
    // Why it failed, in words ("No space left on device").
    QString errorString() const { return m_errorString; }

private:
    bool fail(QFileDevice::FileError error, const QString& why);
    bool failWithErrno(QFileDevice::FileError error);
    bool chooseTarget();

    QString m_path;
    std::string m_target;    // the file that is replaced: m_path, or what its link names
    std::string m_temporary; // the new file while it is written
    int m_fd = -1;
    bool m_existed = false;
    unsigned m_mode = 0;
    QFileDevice::FileError m_error = QFileDevice::NoError;
    QString m_errorString;
};

// The whole file in one call. outWhy, when given, gets the reason of a failure.
bool WriteFileDurably(const QString& path, const QByteArray& contents,
                      QFileDevice::FileError* outError = nullptr, QString* outWhy = nullptr);
