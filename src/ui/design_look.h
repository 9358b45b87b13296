// How design values become Qt values: twips to pixels, colours, and the two font faces.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>

#include "core/control.h"

namespace dulvex::ui {

// Pixels of a twips coordinate on screen (15 twips a logical pixel).
int TwipsToPixels(double twips);

// The pixel rectangle of a design rectangle; both edges are rounded, so neighbouring
// controls share their edges exactly.
QRect PixelRect(double left, double top, double width, double height);

QColor ToQColor(Rgb rgb);

// Courier New (or the nearest fixed-pitch face installed) or a sans-serif face, at the
// design's size in points.
QFont DesignFont(FontFace face, double points, bool bold);

Qt::Alignment ToQtAlignment(Align align);

}  // namespace dulvex::ui
