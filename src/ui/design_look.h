// How design values become Qt values: twips to pixels, colours, and the two font faces.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QSize>

#include "core/control.h"

namespace dulvex::ui {

// Pixels of a twips coordinate on screen (15 twips a logical pixel at scale 1; a window that
// does not fit its screen is drawn at a smaller scale, every coordinate by the same factor).
int TwipsToPixels(double twips, double scale = 1);

// The pixel rectangle of a design rectangle; both edges are rounded, so neighbouring
// controls share their edges exactly.
QRect PixelRect(double left, double top, double width, double height, double scale = 1);

QColor ToQColor(Rgb rgb);

// Courier New (or the nearest fixed-pitch face installed) or a sans-serif face, at the
// design's size in points times `scale`.
QFont DesignFont(FontFace face, double points, bool bold, double scale = 1);

// The scale at which a form of `form` pixels (at scale 1), with `chrome` pixels of menu bar
// and window frame around it, fits into `available`: 1 when it fits, else the largest factor
// that fits, but never below `floor` (a smaller form would be unreadable; a scroll area shows
// the rest).
double FitScale(const QSize& form, const QSize& chrome, const QSize& available, double floor = 0.5);

Qt::Alignment ToQtAlignment(Align align);

}  // namespace dulvex::ui
