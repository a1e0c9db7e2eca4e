#include "platform/writestream.h"

#include "platform/durablefile.h"

#include <QDir>

namespace {

constexpr CFStreamStatus kCFStreamStatusNotOpen = 0;
constexpr CFStreamStatus kCFStreamStatusClosed = 6;

} // namespace

class WriteStream {
public:
    explicit WriteStream(const QString& path) : file(path) {}
    DurableFile file;
    CFStreamStatus status = kCFStreamStatusNotOpen;

    void fail() { status = kCFStreamStatusError; }
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
    if (!stream->file.open()) {
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
    if (!stream->file.write(reinterpret_cast<const char*>(buffer), length)) {
        stream->fail();
        return -1;
    }
    return length;
}

void CFWriteStreamClose(CFWriteStreamRef stream)
{
    if (!stream)
        return;
    if (stream->status == kCFStreamStatusOpen)
        stream->status = stream->file.commit() ? kCFStreamStatusClosed : kCFStreamStatusError;
    else if (stream->status == kCFStreamStatusError)
        stream->file.cancel();
}

SInt32 CFWriteStreamGetErrorNumber(CFWriteStreamRef stream)
{
    return stream ? SInt32(stream->file.error()) : 0;
}

QString CFWriteStreamCopyError(CFWriteStreamRef stream)
{
    if (!stream)
        return QStringLiteral("the file cannot be written");
    return stream->file.errorString();
}

void CFRelease(CFWriteStreamRef stream)
{
    delete stream; // an uncommitted file is discarded
}
