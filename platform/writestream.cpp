#include "platform/writestream.h"

#include <QDir>
#include <QSaveFile>

#include <memory>

class WriteStream {
public:
    explicit WriteStream(const QString& path) : file(path) {}
    QSaveFile file;
    CFStreamStatus status = kCFStreamStatusNotOpen;
    SInt32 error = 0;

    void fail()
    {
        if (error == 0)
            error = SInt32(file.error() != QFileDevice::NoError ? file.error()
                                                                : QFileDevice::UnspecifiedError);
        status = kCFStreamStatusError;
    }
};

QUrl CFURLCreateWithFileSystemPath(CFAllocatorRef, const QString& path, CFURLPathStyle,
                                   Boolean isDirectory)
{
    if (path.isEmpty())
        return QUrl();
    QString clean = QDir::cleanPath(path);
    if (isDirectory && !clean.endsWith(u'/'))
        clean += u'/';
    return QUrl::fromLocalFile(clean);
}

QUrl CFURLCreateCopyAppendingPathComponent(CFAllocatorRef allocator, const QUrl& url,
                                           const QString& component, Boolean isDirectory)
{
    if (!url.isLocalFile() || component.isEmpty())
        return QUrl();
    return CFURLCreateWithFileSystemPath(allocator, url.toLocalFile() + u'/' + component,
                                         kCFURLPOSIXPathStyle, isDirectory);
}

QString CFURLCopyFileSystemPath(const QUrl& url, CFURLPathStyle)
{
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

CFWriteStreamRef CFWriteStreamCreateWithFile(CFAllocatorRef, const QUrl& fileURL)
{
    if (!fileURL.isLocalFile() || fileURL.toLocalFile().isEmpty())
        return nullptr;
    return new WriteStream(fileURL.toLocalFile());
}

Boolean CFWriteStreamOpen(CFWriteStreamRef stream)
{
    if (!stream || stream->status != kCFStreamStatusNotOpen)
        return false;
    if (!stream->file.open(QIODevice::WriteOnly)) {
        stream->fail();
        return false;
    }
    stream->status = kCFStreamStatusOpen;
    return true;
}

Boolean CFWriteStreamCanAcceptBytes(CFWriteStreamRef stream)
{
    return stream && stream->status == kCFStreamStatusOpen;
}

CFStreamStatus CFWriteStreamGetStatus(CFWriteStreamRef stream)
{
    return stream ? stream->status : kCFStreamStatusError;
}

CFIndex CFWriteStreamWrite(CFWriteStreamRef stream, const UInt8* buffer, CFIndex length)
{
    if (!stream || stream->status != kCFStreamStatusOpen || length < 0 || (length > 0 && !buffer))
        return -1;
    const qint64 written = stream->file.write(reinterpret_cast<const char*>(buffer), length);
    if (written != length) {
        stream->fail();
        return -1;
    }
    return CFIndex(written);
}

void CFWriteStreamClose(CFWriteStreamRef stream)
{
    if (!stream)
        return;
    if (stream->status == kCFStreamStatusOpen) {
        // Flushed and synced to disk, then renamed over the target. The
        // flush comes first on its own: commit() does not notice a flush
        // that stops part way (a full disk) and would rename a cut-off file
        // over the target.
        if (!stream->file.flush()) {
            stream->fail();
            stream->file.cancelWriting();
        } else if (stream->file.commit()) {
            stream->status = kCFStreamStatusClosed;
        } else {
            stream->fail();
        }
    } else if (stream->status == kCFStreamStatusError) {
        stream->file.cancelWriting();
    }
}

SInt32 CFWriteStreamGetErrorNumber(CFWriteStreamRef stream)
{
    return stream ? stream->error : 0;
}

void CFRelease(CFWriteStreamRef stream)
{
    if (stream && stream->file.isOpen())
        stream->file.cancelWriting();
    delete stream;
}
