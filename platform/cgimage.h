#pragma once
// Pictures from the bundle resources and drawing them into a view.
//
// A CGImageRef is a decoded picture owned by whoever created it; it is given
// back with CGImageRelease. Sizes are in pixels.

#include "platform/types.h"

#include <QString>

class QImage;
using CGImageRef = QImage*;

// The path of a file in the bundle resources (folders.h); fnfErr when there
// is no such file.
OSStatus CopyBundleResourcePath(const QString& fileName, QString* outPath);

// Decodes a PNG file; null when the file cannot be read or is not a PNG
// picture.
CGImageRef CGImageCreateWithPNGFile(const QString& path);
void CGImageRelease(CGImageRef image);
std::size_t CGImageGetWidth(CGImageRef image);
std::size_t CGImageGetHeight(CGImageRef image);

// Draws the picture stretched into the rectangle (view coordinates).
OSStatus HIViewDrawCGImage(CGContextRef context, const HIRect* bounds, CGImageRef image);
