#include "windows/strokeorder/strokedrawing.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPathStroker>

#include <algorithm>
#include <cmath>

namespace strokedrawing {

namespace {

// The data's box: 1024 units, y up, the top at 900.
constexpr double kUnits = 1024;
constexpr double kTop = 900;
// The brush that uncovers a stroke: wide enough for the widest stroke.
constexpr double kBrushWidth = 150;

QPointF mapped(strokes::Point p, const QRectF& box)
{
    const double s = box.width() / kUnits;
    return {box.left() + p.x * s, box.top() + (kTop - p.y) * s};
}

// The median up to `length` units from its start.
QPainterPath partialMedian(const strokes::Stroke& stroke, double length, const QRectF& box)
{
    QPainterPath path;
    if (stroke.median.empty())
        return path;
    path.moveTo(mapped(stroke.median.front(), box));
    double left = length;
    for (std::size_t i = 1; i < stroke.median.size() && left > 0; ++i) {
        const QPointF a = mapped(stroke.median[i - 1], box), b = mapped(stroke.median[i], box);
        const double unitLength = std::hypot(stroke.median[i].x - stroke.median[i - 1].x,
                                             stroke.median[i].y - stroke.median[i - 1].y);
        if (unitLength <= left) {
            path.lineTo(b);
        } else {
            path.lineTo(a + (b - a) * (left / unitLength));
        }
        left -= unitLength;
    }
    // A median of one point still uncovers a dot.
    if (path.elementCount() == 1)
        path.lineTo(path.currentPosition() + QPointF(0.01, 0));
    return path;
}

void fillStroke(QPainter& painter, const strokes::Stroke& stroke, const QRectF& box,
                const QColor& colour)
{
    painter.fillPath(outlinePath(stroke, box), colour);
}

QString svgNumber(double v)
{
    return QString::number(v, 'f', 2);
}

QString svgPath(const strokes::Stroke& stroke, const QRectF& box)
{
    QString d;
    std::size_t p = 0;
    for (char op : stroke.operations) {
        d += QLatin1Char(op);
        for (int k = 0; k < strokes::pointsOf(op) && p < stroke.points.size(); ++k, ++p) {
            const QPointF at = mapped(stroke.points[p], box);
            d += QLatin1Char(' ') + svgNumber(at.x()) + QLatin1Char(' ') + svgNumber(at.y()) +
                 QLatin1Char(' ');
        }
    }
    return d.trimmed();
}

} // namespace

QPainterPath outlinePath(const strokes::Stroke& stroke, const QRectF& box)
{
    QPainterPath path;
    std::size_t p = 0;
    auto next = [&] { return mapped(stroke.points[p++], box); };
    for (char op : stroke.operations) {
        if (p + std::size_t(std::max(0, strokes::pointsOf(op))) > stroke.points.size())
            break;
        switch (op) {
        case 'M':
            path.moveTo(next());
            break;
        case 'L':
            path.lineTo(next());
            break;
        case 'Q': {
            const QPointF c = next();
            path.quadTo(c, next());
            break;
        }
        case 'C': {
            const QPointF c1 = next(), c2 = next();
            path.cubicTo(c1, c2, next());
            break;
        }
        case 'Z':
            path.closeSubpath();
            break;
        default:
            break;
        }
    }
    return path;
}

double medianLength(const strokes::Stroke& stroke)
{
    double length = 0;
    for (std::size_t i = 1; i < stroke.median.size(); ++i)
        length += std::hypot(stroke.median[i].x - stroke.median[i - 1].x,
                             stroke.median[i].y - stroke.median[i - 1].y);
    return length;
}

void drawGrid(QPainter& painter, const QRectF& box, const QColor& colour)
{
    painter.save();
    const double w = std::max(1.0, box.width() / 256);
    painter.setPen(QPen(colour, w));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box);
    QPen dashed(colour, w * 0.75, Qt::DashLine);
    painter.setPen(dashed);
    painter.drawLine(QPointF(box.center().x(), box.top()), QPointF(box.center().x(), box.bottom()));
    painter.drawLine(QPointF(box.left(), box.center().y()), QPointF(box.right(), box.center().y()));
    painter.restore();
}

void drawCharacter(QPainter& painter, const QRectF& box,
                   const std::vector<strokes::Stroke>& strokes, int done, double progress,
                   const Colours& colours, bool numbers)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const int n = int(strokes.size());
    done = std::clamp(done, 0, n);
    if (colours.ghost.isValid()) {
        for (int i = done; i < n; ++i)
            fillStroke(painter, strokes[std::size_t(i)], box, colours.ghost);
    }
    for (int i = 0; i < done; ++i)
        fillStroke(painter, strokes[std::size_t(i)], box, colours.ink);
    if (done < n && progress > 0) {
        const strokes::Stroke& s = strokes[std::size_t(done)];
        QPainterPathStroker brush;
        brush.setWidth(kBrushWidth * box.width() / kUnits);
        brush.setCapStyle(Qt::RoundCap);
        brush.setJoinStyle(Qt::RoundJoin);
        painter.save();
        painter.setClipPath(
            brush.createStroke(partialMedian(s, medianLength(s) * std::min(progress, 1.0), box)),
            Qt::IntersectClip);
        fillStroke(painter, s, box, colours.newest);
        painter.restore();
    }
    if (numbers && done > 0) {
        QFont font = painter.font();
        font.setPixelSize(std::max(8, int(box.width() / 18)));
        painter.setFont(font);
        painter.setPen(colours.numbers);
        const double r = box.width() / 28;
        for (int i = 0; i < done; ++i) {
            const strokes::Stroke& s = strokes[std::size_t(i)];
            if (s.median.empty())
                continue;
            // Just before where the brush starts, away from the stroke.
            QPointF at = mapped(s.median.front(), box);
            if (s.median.size() > 1) {
                const QPointF towards = mapped(s.median[1], box) - at;
                const double len = std::hypot(towards.x(), towards.y());
                if (len > 0)
                    at -= towards / len * r * 1.6;
            }
            const QRectF label(at.x() - r, at.y() - r, 2 * r, 2 * r);
            painter.drawText(label, Qt::AlignCenter, QString::number(i + 1));
        }
    }
    painter.restore();
}

QSizeF stepStripSize(std::size_t strokeCount, double cell, double gap)
{
    const double n = double(std::max<std::size_t>(strokeCount, 1));
    return {n * cell + (n - 1) * gap, cell};
}

void drawStepStrip(QPainter& painter, const QPointF& origin,
                   const std::vector<strokes::Stroke>& strokes, double cell, double gap,
                   const Colours& colours)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    for (std::size_t k = 0; k < strokes.size(); ++k) {
        const QRectF box(origin.x() + double(k) * (cell + gap), origin.y(), cell, cell);
        drawGrid(painter, box, colours.grid);
        for (std::size_t i = 0; i <= k; ++i)
            fillStroke(painter, strokes[i], box, i == k ? colours.newest : colours.ink);
    }
    painter.restore();
}

QImage stepStripImage(const std::vector<strokes::Stroke>& strokes, double cell,
                      const Colours& colours, const QColor& background)
{
    const double gap = cell / 8, margin = cell / 8;
    const QSizeF size = stepStripSize(strokes.size(), cell, gap);
    QImage image(int(std::ceil(size.width() + 2 * margin)),
                 int(std::ceil(size.height() + 2 * margin)), QImage::Format_ARGB32_Premultiplied);
    image.fill(background);
    QPainter painter(&image);
    drawStepStrip(painter, QPointF(margin, margin), strokes, cell, gap, colours);
    return image;
}

QByteArray stepStripSvg(const std::vector<strokes::Stroke>& strokes, double cell,
                        const Colours& colours, const QString& title)
{
    const double gap = cell / 8, margin = cell / 8;
    const QSizeF size = stepStripSize(strokes.size(), cell, gap);
    const double w = size.width() + 2 * margin, h = size.height() + 2 * margin;
    auto colour = [](const QColor& c) { return c.name(QColor::HexRgb); };
    QString svg = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" "
                                 "height=\"%2\" viewBox=\"0 0 %1 %2\">\n<title>%3</title>\n")
                      .arg(svgNumber(w), svgNumber(h), title.toHtmlEscaped());
    const double line = std::max(1.0, cell / 256);
    for (std::size_t k = 0; k < strokes.size(); ++k) {
        const QRectF box(margin + double(k) * (cell + gap), margin, cell, cell);
        svg += QStringLiteral("<g>\n<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%3\" "
                              "fill=\"none\" stroke=\"%4\" stroke-width=\"%5\"/>\n")
                   .arg(svgNumber(box.x()), svgNumber(box.y()), svgNumber(cell),
                        colour(colours.grid), svgNumber(line));
        svg += QStringLiteral("<path d=\"M %1 %2 V %3 M %4 %5 H %6\" fill=\"none\" stroke=\"%7\" "
                              "stroke-width=\"%8\" stroke-dasharray=\"%9\"/>\n")
                   .arg(svgNumber(box.center().x()), svgNumber(box.top()), svgNumber(box.bottom()),
                        svgNumber(box.left()), svgNumber(box.center().y()), svgNumber(box.right()),
                        colour(colours.grid), svgNumber(line * 0.75), svgNumber(line * 4));
        for (std::size_t i = 0; i <= k; ++i)
            svg +=
                QStringLiteral("<path d=\"%1\" fill=\"%2\"/>\n")
                    .arg(svgPath(strokes[i], box), colour(i == k ? colours.newest : colours.ink));
        svg += QStringLiteral("</g>\n");
    }
    svg += QStringLiteral("</svg>\n");
    return svg.toUtf8();
}

} // namespace strokedrawing
