// Contrast between two colours as the Web Content Accessibility Guidelines measure it, and a
// colour moved just far enough towards black or white to be read on a background: text of
// the program's own colours stays readable in light and dark palettes alike.
#pragma once

#include "core/control.h"

namespace dulvex {

// Text should reach this against its background.
inline constexpr double kReadableContrast = 4.5;

// The relative luminance of an sRGB colour, 0 (black) to 1 (white).
double RelativeLuminance(Rgb colour);

// (L1 + 0.05) / (L2 + 0.05) with L1 the lighter: 1 (the same) to 21 (black on white).
double ContrastRatio(Rgb a, Rgb b);

// `fore` when it reaches `minimum` on `back`; else `fore` mixed with black or white (whichever
// stands out more from `back`) just enough to reach it, keeping as much of its hue as it can.
// Pure black or white when even they fall short (no colour reaches 4.5 on a mid grey's
// neighbours of both sides; the better of the two is taken).
Rgb ReadableOn(Rgb fore, Rgb back, double minimum = kReadableContrast);

}  // namespace dulvex
