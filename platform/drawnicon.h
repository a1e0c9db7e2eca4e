#pragma once
// Pictures drawn by code rather than read from files: drawn afresh at the
// size and device pixel ratio they are shown at, so they stay sharp on a
// high-density screen, and in the colours of the palette in use, so they
// stay visible under a dark theme.

#include <QIcon>

#include <functional>

class QPainter;
class QPalette;
class QRectF;

// Draws into `box` (a square; its side is the picture's size in pixels).
using IconDrawing = std::function<void(QPainter&, const QRectF& box, const QPalette&)>;

// An icon that calls `draw` whenever it is shown at a new size, ratio or mode
// (a disabled icon is drawn with the palette's disabled colours).
QIcon DrawnIcon(IconDrawing draw);

// The search field's magnifier with its menu triangle, and its clear button.
QIcon DrawnSearchIcon();
QIcon DrawnClearIcon();
// A loudspeaker with sound waves, for "speak" where the icon theme has none.
QIcon DrawnSpeakerIcon();
