// Draws Tavi's pictures: the eight splitter pictures, the feedback logo and
// the application icon (PNG and SVG from the same geometry).
//
//   tavi_make_pictures OUTPUT_FOLDER
//
// The pictures are committed; run this (target tavi_regenerate_pictures)
// only after changing the drawing below.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QTextStream>

#include <cstdio>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Splitter bars and grips

// Colours across a bar, from one edge to the other: a soft translucent rim,
// a highlight, a gentle gradient, a shade and the other rim.
struct BarColours {
    QColor rimStart, highlight, innerStart, innerEnd, shade, rimEnd;
};

const BarColours kEnabledBar{QColor(120, 128, 140, 110), QColor(252, 253, 255),
                             QColor(238, 241, 246),      QColor(218, 223, 231),
                             QColor(196, 202, 212),      QColor(110, 118, 130, 150)};
// Disabled forms are plain grey (red = green = blue) and flatter.
const BarColours kDisabledBar{QColor(150, 150, 150, 80), QColor(250, 250, 250),
                              QColor(241, 241, 241),     QColor(233, 233, 233),
                              QColor(216, 216, 216),     QColor(150, 150, 150, 100)};

QColor mix(const QColor& a, const QColor& b, double t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t),
                            float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

// The colour at position i of a bar `thickness` pixels thick.
QColor barColour(const BarColours& c, int i, int thickness)
{
    if (i == 0)
        return c.rimStart;
    if (i == thickness - 1)
        return c.rimEnd;
    if (i == 1)
        return c.highlight;
    if (i == thickness - 2)
        return c.shade;
    const int innerCount = thickness - 4;
    const double t = innerCount > 1 ? double(i - 2) / (innerCount - 1) : 0.0;
    return mix(c.innerStart, c.innerEnd, t);
}

// The bar is stretched along its length when drawn, so every line across
// it is the same; only its thickness matters.
QImage bar(const BarColours& c, int thickness, int length, bool vertical)
{
    QImage img(vertical ? thickness : length, vertical ? length : thickness, QImage::Format_ARGB32);
    for (int i = 0; i < thickness; ++i) {
        const QRgb px = barColour(c, i, thickness).rgba();
        for (int j = 0; j < length; ++j) {
            if (vertical)
                img.setPixel(i, j, px);
            else
                img.setPixel(j, i, px);
        }
    }
    return img;
}

struct RidgeColours {
    QColor dark, light;
};
const RidgeColours kEnabledRidges{QColor(96, 104, 118), QColor(255, 255, 255, 230)};
const RidgeColours kDisabledRidges{QColor(172, 172, 172), QColor(255, 255, 255, 150)};

// Three ridges, each a dark line with a light line beside it, running across
// the bar; their ends are softer. `across` is the grip's size across the bar.
QImage ridges(const RidgeColours& c, int across, bool vertical)
{
    const int along = 8; // 3 ridges of 2 pixels, with 1-pixel gaps
    QImage img(vertical ? across : along, vertical ? along : across, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    for (int p = 0; p < along; ++p) {
        const int inRidge = p % 3; // 0 dark, 1 light, 2 gap
        if (inRidge == 2)
            continue;
        for (int q = 0; q < across; ++q) {
            QColor col = inRidge == 0 ? c.dark : c.light;
            if (q == 0 || q == across - 1)
                col.setAlphaF(col.alphaF() * 0.55f);
            if (vertical)
                img.setPixel(q, p, col.rgba());
            else
                img.setPixel(p, q, col.rgba());
        }
    }
    return img;
}

// ---------------------------------------------------------------------------
// Icon: the character 文 ("writing") in our own strokes, cream on a red seal.

struct Stroke {
    QPointF from, c1, c2, to; // a cubic curve; a straight line has c1 = from, c2 = to
};

const std::vector<Stroke> kStrokes = {
    // dot
    {{124, 50}, {131, 57}, {136, 66}, {139, 77}},
    // horizontal, rising slightly to the right
    {{64, 101}, {64, 101}, {192, 96}, {192, 96}},
    // left-falling sweep
    {{166, 108}, {148, 158}, {114, 192}, {62, 212}},
    // right-falling sweep
    {{90, 110}, {112, 158}, {148, 192}, {198, 210}},
};
constexpr double kStrokeWidth = 19.0;
constexpr double kIconSize = 256.0;
const QColor kSealTop(214, 58, 46);
const QColor kSealBottom(168, 32, 26);
const QColor kCream(251, 243, 228);

void paintIcon(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 8, 0, 248);
    g.setColorAt(0, kSealTop);
    g.setColorAt(1, kSealBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 48, 48);

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kCream, 5));
    p.drawRoundedRect(QRectF(24, 24, 208, 208), 32, 32);

    p.setPen(QPen(kCream, kStrokeWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const Stroke& s : kStrokes) {
        QPainterPath path(s.from);
        path.cubicTo(s.c1, s.c2, s.to);
        p.drawPath(path);
    }
}

QImage icon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.scale(size / kIconSize, size / kIconSize);
    paintIcon(p);
    return img;
}

QString svgColour(const QColor& c)
{
    return c.name(QColor::HexRgb);
}

QString iconSvg()
{
    QString out;
    QTextStream s(&out);
    s << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
         "viewBox=\"0 0 256 256\">\n"
      << "  <title>Tavi</title>\n"
      << "  <defs>\n"
      << "    <linearGradient id=\"seal\" x1=\"0\" y1=\"8\" x2=\"0\" y2=\"248\" "
         "gradientUnits=\"userSpaceOnUse\">\n"
      << "      <stop offset=\"0\" stop-color=\"" << svgColour(kSealTop) << "\"/>\n"
      << "      <stop offset=\"1\" stop-color=\"" << svgColour(kSealBottom) << "\"/>\n"
      << "    </linearGradient>\n"
      << "  </defs>\n"
      << "  <rect x=\"8\" y=\"8\" width=\"240\" height=\"240\" rx=\"48\" "
         "fill=\"url(#seal)\"/>\n"
      << "  <rect x=\"24\" y=\"24\" width=\"208\" height=\"208\" rx=\"32\" fill=\"none\" "
         "stroke=\""
      << svgColour(kCream) << "\" stroke-width=\"5\"/>\n"
      << "  <g fill=\"none\" stroke=\"" << svgColour(kCream) << "\" stroke-width=\"" << kStrokeWidth
      << "\" stroke-linecap=\"round\" stroke-linejoin=\"round\">\n";
    for (const Stroke& st : kStrokes) {
        s << "    <path d=\"M " << st.from.x() << ' ' << st.from.y() << " C " << st.c1.x() << ' '
          << st.c1.y() << ", " << st.c2.x() << ' ' << st.c2.y() << ", " << st.to.x() << ' '
          << st.to.y() << "\"/>\n";
    }
    s << "  </g>\n</svg>\n";
    return out;
}

// ---------------------------------------------------------------------------
// Feedback logo: the seal alone, drawn for a device pixel ratio of 2. The
// name and caption beside it are text of the window, so they take the
// window's font and palette; the picture's resolution says its ratio.

QImage smallLogo()
{
    constexpr int kRatio = 2;
    constexpr int kLogical = 64;
    QImage img(kLogical * kRatio, kLogical * kRatio, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    // 96 dots per inch for each unit of the ratio (3780 dots per metre).
    img.setDotsPerMeterX(3780 * kRatio);
    img.setDotsPerMeterY(3780 * kRatio);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(img.width() / kIconSize, img.height() / kIconSize);
    paintIcon(p);
    return img;
}

// ---------------------------------------------------------------------------

bool save(const QImage& img, const QDir& dir, const QString& name)
{
    const QString path = dir.filePath(name);
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "tavi_make_pictures: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tavi_make_pictures OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists() && !QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "tavi_make_pictures: cannot make %s\n", argv[1]);
        return 1;
    }

    // Bar thickness: 8 across a horizontal bar, 10 across a vertical one.
    constexpr int kHThickness = 8;
    constexpr int kVThickness = 10;
    constexpr int kLength = 16;
    constexpr int kGripAcross = 5;

    bool ok = true;
    ok &= save(bar(kEnabledBar, kHThickness, kLength, false), dir, QStringLiteral("HSplitter.png"));
    ok &= save(bar(kEnabledBar, kVThickness, kLength, true), dir, QStringLiteral("VSplitter.png"));
    ok &= save(ridges(kEnabledRidges, kGripAcross, false), dir, QStringLiteral("HRidges.png"));
    ok &= save(ridges(kEnabledRidges, kGripAcross, true), dir, QStringLiteral("VRidges.png"));
    ok &= save(bar(kDisabledBar, kHThickness, kLength, false), dir,
               QStringLiteral("HSplitterDisabled.png"));
    ok &= save(bar(kDisabledBar, kVThickness, kLength, true), dir,
               QStringLiteral("VSplitterDisabled.png"));
    ok &= save(ridges(kDisabledRidges, kGripAcross, false), dir,
               QStringLiteral("HRidgesDisabled.png"));
    ok &= save(ridges(kDisabledRidges, kGripAcross, true), dir,
               QStringLiteral("VRidgesDisabled.png"));
    ok &= save(smallLogo(), dir, QStringLiteral("small_logo.png"));
    ok &= save(icon(256), dir, QStringLiteral("tavi.png"));

    QFile svg(dir.filePath(QStringLiteral("tavi.svg")));
    if (!svg.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        svg.write(iconSvg().toUtf8()) < 0) {
        std::fprintf(stderr, "tavi_make_pictures: cannot write %s\n", qPrintable(svg.fileName()));
        ok = false;
    }
    return ok ? 0 : 1;
}
