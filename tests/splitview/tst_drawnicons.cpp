// The pictures drawn by code: sharp at a device pixel ratio of 2 (not a 1x
// picture blown up, which a high-density screen shows blurred) and in the
// palette's colours (fixed greys vanished on a dark theme).

#include "platform/drawnicon.h"
#include "platform/imageview.h"
#include "splitview/splitview.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QTest>

#include <functional>

namespace {

using IconMaker = std::function<QIcon()>;
// A picture drawn at a device pixel ratio.
using Renderer = std::function<QImage(qreal ratio)>;

QImage render(const QIcon& icon, qreal ratio)
{
    return icon.pixmap(QSize(16, 16), ratio).toImage().convertToFormat(QImage::Format_ARGB32);
}

Renderer iconRenderer(IconMaker make)
{
    return [make](qreal ratio) { return render(make(), ratio); };
}

// A short stretch of a splitter bar with its grip, as the split view draws it.
Renderer splitterRenderer(bool vertical, bool enabled)
{
    return [vertical, enabled](qreal ratio) {
        const QSize size = vertical ? QSize(10, 24) : QSize(24, 8);
        QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        DrawSplitterBar(painter, QRectF(QPointF(0, 0), size),
                        vertical ? QSizeF(5, 8) : QSizeF(8, 5), vertical, enabled,
                        QGuiApplication::palette());
        painter.end();
        return image.convertToFormat(QImage::Format_ARGB32);
    };
}

// The feedback logo as an image view shows it on a screen of the ratio, at
// the same logical size on either.
QImage renderLogo(qreal ratio)
{
    const QImage file(QStringLiteral(TAVI_BUILD_SHARE_DIR "/small_logo.png"));
    const QPixmap shown = ImageViewPixmap(file, ratio);
    if (shown.deviceIndependentSize() != QSizeF(64, 64))
        return QImage();
    return shown.toImage().convertToFormat(QImage::Format_ARGB32);
}

// The largest difference of any channel between two images of one size.
int largestDifference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest =
                std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    }
    return largest;
}

// The colour of the picture's most opaque pixel.
QColor inkOf(const QImage& image)
{
    QRgb ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > qAlpha(ink))
                ink = image.pixel(x, y);
        }
    }
    return QColor::fromRgba(ink);
}

} // namespace

class DrawnIconsTest : public QObject {
    Q_OBJECT
private slots:
    void sharpAtRatioTwo_data();
    void sharpAtRatioTwo();
    void inThePalettesColours_data();
    void inThePalettesColours();
};

void DrawnIconsTest::sharpAtRatioTwo_data()
{
    QTest::addColumn<Renderer>("draw");
    QTest::newRow("search magnifier") << iconRenderer(DrawnSearchIcon);
    QTest::newRow("clear button") << iconRenderer(DrawnClearIcon);
    QTest::newRow("speaker") << iconRenderer(DrawnSpeakerIcon);
    QTest::newRow("horizontal splitter") << splitterRenderer(false, true);
    QTest::newRow("vertical splitter") << splitterRenderer(true, true);
    QTest::newRow("disabled splitter") << splitterRenderer(false, false);
    QTest::newRow("feedback logo") << Renderer(renderLogo);
}

void DrawnIconsTest::inThePalettesColours_data()
{
    QTest::addColumn<IconMaker>("make");
    QTest::addColumn<int>("role"); // the palette role of the ink
    QTest::newRow("search magnifier") << IconMaker(DrawnSearchIcon) << int(QPalette::Text);
    QTest::newRow("clear button") << IconMaker(DrawnClearIcon) << int(QPalette::PlaceholderText);
    QTest::newRow("speaker") << IconMaker(DrawnSpeakerIcon) << int(QPalette::ButtonText);
}

void DrawnIconsTest::sharpAtRatioTwo()
{
    QFETCH(Renderer, draw);
    const QImage one = draw(1.0);
    const QImage two = draw(2.0);
    QVERIFY(!one.isNull() && !two.isNull());
    QCOMPARE(two.size(), one.size() * 2);
    QCOMPARE(two.devicePixelRatio(), 2.0);
    // Blown up from 1x, by either kind of scaling, it would match one of these.
    for (const auto mode : {Qt::FastTransformation, Qt::SmoothTransformation}) {
        const QImage blownUp = one.scaled(two.size(), Qt::IgnoreAspectRatio, mode);
        QVERIFY2(largestDifference(two, blownUp) > 64, mode == Qt::FastTransformation
                                                           ? "pixel-doubled 1x picture"
                                                           : "smoothly scaled 1x picture");
    }
}

void DrawnIconsTest::inThePalettesColours()
{
    QFETCH(IconMaker, make);
    QFETCH(int, role);
    const QPalette original = QGuiApplication::palette();
    for (const QColor ink : {QColor(230, 230, 230), QColor(20, 20, 20), QColor(200, 40, 40)}) {
        QPalette palette = original;
        palette.setColor(QPalette::ColorRole(role), ink);
        QGuiApplication::setPalette(palette);
        const QColor drawn = inkOf(render(make(), 2.0));
        QGuiApplication::setPalette(original);
        QCOMPARE(drawn.rgb(), ink.rgb());
    }
}

QTEST_MAIN(DrawnIconsTest)
#include "tst_drawnicons.moc"
