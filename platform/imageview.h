#pragma once
// Image views and the pictures they show.
//
// A picture file is read into a data provider (its bytes), the provider is
// decoded into an image (cgimage.h), and the image is set into an image view.
// Any QLabel control serves as an image view: it shows the picture at its own
// size, placed by the label's alignment. The view keeps its own copy, so the
// caller releases its image as soon as it is set.

#include "platform/cgimage.h"

#include <QByteArray>
#include <QString>

// The bytes of a file, read at creation.
class CGDataProvider {
public:
    explicit CGDataProvider(QByteArray bytes) : bytes(std::move(bytes)) {}
    const QByteArray bytes;
};
using CGDataProviderRef = CGDataProvider*;

// Reads the file at path; null when it cannot be read.
CGDataProviderRef CGDataProviderCreateWithURL(const QString& path);
void CGDataProviderRelease(CGDataProviderRef provider);

// Decodes the provider's bytes as PNG data; null when they are no PNG picture.
CGImageRef CGImageCreateWithPNGDataProvider(CGDataProviderRef provider);

// Shows a copy of the picture (null clears the view). errDataNotSupported
// when the control is no image view.
OSStatus HIImageViewSetImage(HIViewRef view, CGImageRef image);
