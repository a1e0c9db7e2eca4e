#pragma once
// Image views and the pictures they show.
//
// A picture file is read into a data provider (its bytes), the provider is
// decoded into an image (cgimage.h), and the image is set into an image view.
// Any QLabel control serves as an image view: it shows the picture at its
// logical size (a picture whose resolution says it was drawn for a device
// pixel ratio of 2 shows at half its pixels), placed by the label's
// alignment. The view keeps its own copy, so the caller releases its image
// as soon as it is set.

#include "platform/cgimage.h"

#include <QByteArray>
#include <QPixmap>
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

// The pixmap an image view shows of the picture on a screen of the given
// device pixel ratio: a picture drawn for a higher ratio than the screen's
// is scaled down smoothly to the screen's pixels, one drawn for the
// screen's ratio or less is shown as it is.
QPixmap ImageViewPixmap(const QImage& image, qreal screenRatio);
