#pragma once
// Durable file writes. Every file the program saves whole goes through
// DurableFile: the bytes go to a new file beside the target, which is
// flushed on its own (QSaveFile::commit misses a flush that stops part way,
// as on a full disk, and would rename a cut-off file over the target), then
// synced and renamed over the target. A failed or interrupted write leaves
// the target as it was.

#include <QByteArray>
#include <QSaveFile>
#include <QString>

class DurableFile {
public:
    explicit DurableFile(const QString& path) : m_file(path) {}
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
    QString errorString() const { return m_errorString; }

private:
    bool fail();

    QSaveFile m_file;
    QFileDevice::FileError m_error = QFileDevice::NoError;
    QString m_errorString;
};

// The whole file in one call.
bool WriteFileDurably(const QString& path, const QByteArray& contents,
                      QFileDevice::FileError* outError = nullptr);
