#pragma once
// Drawing a character's strokes with paths, at any size: the practice grid,
// the strokes written so far (one of them partly, as a brush draws it along
// its median), their numbers, and the strip of steps that adds one stroke a
// frame. Colours come from the caller, so they follow the palette.

#include "store/strokes.h"

#include <QColor>
#include <QPainterPath>
#include <QRectF>
#include <QString>

#include <vector>

class QImage;
class QPainter;

namespace strokedrawing {

struct Colours {
    QColor ink;     // strokes written
    QColor newest;  // the stroke being written, and each step's new stroke
    QColor ghost;   // strokes still to write
    QColor grid;    // the practice grid
    QColor numbers; // stroke numbers
};

// The stroke's outline in a square box.
QPainterPath outlinePath(const strokes::Stroke& stroke, const QRectF& box);
// The median's length in the data's units.
double medianLength(const strokes::Stroke& stroke);

// The four-square grid: the square, and its halves in dashes.
void drawGrid(QPainter& painter, const QRectF& box, const QColor& colour);

// A frame of the animation: `done` strokes written, the next one written to
// `progress` (0 to 1) of its median; the rest in the ghost colour when it is
// valid. Stroke numbers beside each written stroke when `numbers`.
void drawCharacter(QPainter& painter, const QRectF& box,
                   const std::vector<strokes::Stroke>& strokes, int done, double progress,
                   const Colours& colours, bool numbers);

// The strip of steps: frame k (from 1) shows strokes 1..k, stroke k in the
// newest colour, each frame a grid square of `cell` units, `gap` apart.
QSizeF stepStripSize(std::size_t strokeCount, double cell, double gap);
void drawStepStrip(QPainter& painter, const QPointF& origin,
                   const std::vector<strokes::Stroke>& strokes, double cell, double gap,
                   const Colours& colours);
QImage stepStripImage(const std::vector<strokes::Stroke>& strokes, double cell,
                      const Colours& colours, const QColor& background);
// The same strip as an SVG document (paths, so it scales).
QByteArray stepStripSvg(const std::vector<strokes::Stroke>& strokes, double cell,
                        const Colours& colours, const QString& title);

} // namespace strokedrawing
