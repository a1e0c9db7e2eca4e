#include "platform/drawnicon.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace {

class DrawnIconEngine final : public QIconEngine {
public:
    explicit DrawnIconEngine(IconDrawing draw) : draw(std::move(draw)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        QPalette palette = QGuiApplication::palette();
        if (mode == QIcon::Disabled)
            palette.setCurrentColorGroup(QPalette::Disabled);
        const qreal side = qMin(rect.width(), rect.height());
        const QRectF box(rect.x() + (rect.width() - side) / 2,
                         rect.y() + (rect.height() - side) / 2, side, side);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        draw(*painter, box, palette);
        painter->restore();
    }

    // QIcon asks for size times the ratio; the drawing is made at that size.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QIconEngine* clone() const override { return new DrawnIconEngine(draw); }

private:
    IconDrawing draw;
};

// Coordinates of a 16-unit design grid in the box.
struct Grid {
    const QRectF& box;
    qreal unit() const { return box.width() / 16.0; }
    QPointF at(qreal x, qreal y) const { return {box.left() + x * unit(), box.top() + y * unit()}; }
    QRectF rect(qreal x, qreal y, qreal w, qreal h) const
    {
        return {at(x, y), QSizeF(w * unit(), h * unit())};
    }
};

} // namespace

QIcon DrawnIcon(IconDrawing draw)
{
    return QIcon(new DrawnIconEngine(std::move(draw)));
}

QIcon DrawnSearchIcon()
{
    return DrawnIcon([](QPainter& painter, const QRectF& box, const QPalette& palette) {
        const Grid g{box};
        const QColor ink = palette.color(QPalette::Text);
        painter.setPen(QPen(ink, 1.6 * g.unit()));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(g.rect(2, 2, 8, 8));
        painter.drawLine(g.at(9, 9), g.at(13.5, 13.5));
        QPainterPath arrow; // the menu's small triangle
        arrow.moveTo(g.at(11, 3));
        arrow.lineTo(g.at(15, 3));
        arrow.lineTo(g.at(13, 5.5));
        arrow.closeSubpath();
        painter.fillPath(arrow, ink);
    });
}

QIcon DrawnClearIcon()
{
    return DrawnIcon([](QPainter& painter, const QRectF& box, const QPalette& palette) {
        const Grid g{box};
        // A disc in the placeholder text's colour, the cross cut out of it in
        // the field's own background.
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette.color(QPalette::PlaceholderText));
        painter.drawEllipse(g.rect(1, 1, 14, 14));
        painter.setPen(
            QPen(palette.color(QPalette::Base), 1.8 * g.unit(), Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(g.at(5.2, 5.2), g.at(10.8, 10.8));
        painter.drawLine(g.at(10.8, 5.2), g.at(5.2, 10.8));
    });
}

QIcon DrawnSpeakerIcon()
{
    return DrawnIcon([](QPainter& painter, const QRectF& box, const QPalette& palette) {
        const Grid g{box};
        const QColor ink = palette.color(QPalette::ButtonText);
        QPainterPath speaker;
        speaker.moveTo(g.at(1.5, 6));
        speaker.lineTo(g.at(4.5, 6));
        speaker.lineTo(g.at(8.5, 2.5));
        speaker.lineTo(g.at(8.5, 13.5));
        speaker.lineTo(g.at(4.5, 10));
        speaker.lineTo(g.at(1.5, 10));
        speaker.closeSubpath();
        painter.fillPath(speaker, ink);
        painter.setPen(QPen(ink, 1.3 * g.unit(), Qt::SolidLine, Qt::RoundCap));
        painter.setBrush(Qt::NoBrush);
        // Two sound waves: arcs round the cone's mouth.
        painter.drawArc(g.rect(6.5, 5, 6, 6), -50 * 16, 100 * 16);
        painter.drawArc(g.rect(5, 2.5, 10, 11), -55 * 16, 110 * 16);
    });
}
