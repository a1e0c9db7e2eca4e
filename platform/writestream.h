#pragma once
// File URLs and write streams. A write stream on a file URL writes a new
// file beside the target and puts it in the target's place when it is
// closed, so a failed or interrupted write never leaves a half-written file
// where a complete one was; an existing regular file of that name is
// replaced, anything else (a device, a named pipe, a folder) is refused
// when the stream opens (durablefile.h).

#include "platform/types.h"

#include <QString>
#include <QUrl>

class WriteStream;
using CFWriteStreamRef = WriteStream*;
using CFAllocatorRef = const void*;

using CFStreamStatus = SInt32;
constexpr CFStreamStatus kCFStreamStatusOpening = 1;
constexpr CFStreamStatus kCFStreamStatusOpen = 2;
constexpr CFStreamStatus kCFStreamStatusError = 7;

using CFURLPathStyle = SInt32;
constexpr CFURLPathStyle kCFURLPOSIXPathStyle = 0;

// A file URL of a local path; an empty URL for an empty path.
QUrl CFURLCreateWithFileSystemPath(CFAllocatorRef allocator, const QString& path,
                                   CFURLPathStyle style, Boolean isDirectory);
QUrl CFURLCreateCopyAppendingPathComponent(CFAllocatorRef allocator, const QUrl& url,
                                           const QString& component, Boolean isDirectory);

// Null for a URL that is not a local file.
CFWriteStreamRef CFWriteStreamCreateWithFile(CFAllocatorRef allocator, const QUrl& fileURL);
// false when the file cannot be made; the status is then kCFStreamStatusError.
Boolean CFWriteStreamOpen(CFWriteStreamRef stream);
Boolean CFWriteStreamCanAcceptBytes(CFWriteStreamRef stream);
CFStreamStatus CFWriteStreamGetStatus(CFWriteStreamRef stream);
// The bytes written, or -1 on failure (the status is then kCFStreamStatusError).
CFIndex CFWriteStreamWrite(CFWriteStreamRef stream, const UInt8* buffer, CFIndex length);
// Puts the written file in place; after a failure the status is
// kCFStreamStatusError and the target is left as it was.
void CFWriteStreamClose(CFWriteStreamRef stream);
// The file error (QFileDevice::FileError) of the first failure, 0 for none.
SInt32 CFWriteStreamGetErrorNumber(CFWriteStreamRef stream);
// Why the stream failed, in words; empty when it has not.
QString CFWriteStreamCopyError(CFWriteStreamRef stream);
// Releases the stream; an unclosed stream's file is discarded.
void CFRelease(CFWriteStreamRef stream);
