#include "platform/cgimage.h"

#include "platform/internal.h"

#include "platform/folders.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>

OSStatus CopyBundleResourcePath(const QString& fileName, QString* outPath)
{
    if (fileName.isEmpty() || !outPath)
        return paramErr;
    const QString path = QDir(GetBundleResourcesFolder()).filePath(fileName);
    if (!QFileInfo(path).isFile())
        return fnfErr;
    *outPath = path;
    return noErr;
}

CGImageRef CGImageCreateWithPNGFile(const QString& path)
{
    QImageReader reader(path, "png");
    reader.setDecideFormatFromContent(false);
    QImage image = reader.read();
    if (image.isNull())
        return nullptr;
    return new QImage(std::move(image));
}

void CGImageRelease(CGImageRef image)
{
    delete image;
}

std::size_t CGImageGetWidth(CGImageRef image)
{
    return image ? std::size_t(image->width()) : 0;
}

std::size_t CGImageGetHeight(CGImageRef image)
{
    return image ? std::size_t(image->height()) : 0;
}

OSStatus HIViewDrawCGImage(CGContextRef context, const HIRect* bounds, CGImageRef image)
{
    if (!context || !bounds || !image)
        return paramErr;
    context->drawImage(
        QRectF(bounds->origin.x, bounds->origin.y, bounds->size.width, bounds->size.height),
        *image);
    return noErr;
}
