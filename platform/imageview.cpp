#include "platform/imageview.h"

#include "platform/controladapter.h"
#include "platform/controls.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// The device pixel ratio a picture was drawn for, from its resolution: 96
// dots per inch (3780 per metre) for each unit. Pictures that say less, or
// nothing, are 1x.
qreal drawnRatio(const QImage& image)
{
    const int ratio = int(std::lround(image.dotsPerMeterX() / 3780.0));
    return std::clamp(ratio, 1, 4);
}

// Control data tag of an image view: the picture, as a CGImageRef.
constexpr ResType kHIImageViewImageTag = FOUR_CHAR_CODE("imag");

class ImageViewAdapter : public ControlAdapter {
public:
    bool appliesTo(const QWidget* widget) const override
    {
        return qobject_cast<const QLabel*>(widget);
    }

    OSStatus setData(ControlRef control, ControlPartCode, ResType tag, Size size,
                     const void* data) const override
    {
        if (tag != kHIImageViewImageTag)
            return eventNotHandledErr;
        if (size != Size(sizeof(CGImageRef)))
            return errDataSizeMismatch;
        auto* label = static_cast<QLabel*>(GetControlWidget(control));
        const CGImageRef image = *static_cast<const CGImageRef*>(data);
        if (image == nullptr || image->isNull())
            label->clear();
        else
            label->setPixmap(ImageViewPixmap(*image, label->devicePixelRatioF()));
        return noErr;
    }
};

// The adapter joins the layer on first use of an image view.
void registerImageViewAdapter()
{
    static const bool registered = [] {
        RegisterControlAdapter(std::make_unique<ImageViewAdapter>());
        return true;
    }();
    (void)registered;
}

} // namespace

QPixmap ImageViewPixmap(const QImage& image, qreal screenRatio)
{
    const qreal drawn = drawnRatio(image);
    if (drawn <= 1.0)
        return QPixmap::fromImage(image);
    if (screenRatio >= drawn) {
        QPixmap pixmap = QPixmap::fromImage(image);
        pixmap.setDevicePixelRatio(drawn);
        return pixmap;
    }
    const QSize pixels = (QSizeF(image.size()) * (screenRatio / drawn)).toSize();
    QPixmap pixmap =
        QPixmap::fromImage(image.scaled(pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(screenRatio);
    return pixmap;
}

CGDataProviderRef CGDataProviderCreateWithURL(const QString& path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return nullptr;
    return new CGDataProvider(file.readAll());
}

void CGDataProviderRelease(CGDataProviderRef provider)
{
    delete provider;
}

CGImageRef CGImageCreateWithPNGDataProvider(CGDataProviderRef provider)
{
    if (provider == nullptr)
        return nullptr;
    QBuffer buffer;
    buffer.setData(provider->bytes);
    QImageReader reader(&buffer, "png");
    reader.setDecideFormatFromContent(false);
    QImage image = reader.read();
    if (image.isNull())
        return nullptr;
    return new QImage(std::move(image));
}

OSStatus HIImageViewSetImage(HIViewRef view, CGImageRef image)
{
    registerImageViewAdapter();
    return SetControlData(view, kControlEntireControl, kHIImageViewImageTag, sizeof image, &image);
}
