#include "core/contrast.h"

#include <algorithm>
#include <cmath>

namespace dulvex {

namespace {

double Linear(int channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

Rgb Mix(Rgb from, Rgb to, double t) {
  const auto channel = [t](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * t)); };
  return MakeRgb(channel(RedOf(from), RedOf(to)), channel(GreenOf(from), GreenOf(to)),
                 channel(BlueOf(from), BlueOf(to)));
}

}  // namespace

double RelativeLuminance(Rgb colour) {
  return 0.2126 * Linear(RedOf(colour)) + 0.7152 * Linear(GreenOf(colour)) +
         0.0722 * Linear(BlueOf(colour));
}

double ContrastRatio(Rgb a, Rgb b) {
  const double la = RelativeLuminance(a);
  const double lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Rgb ReadableOn(Rgb fore, Rgb back, double minimum) {
  if (ContrastRatio(fore, back) >= minimum) return fore;
  constexpr Rgb kBlack = MakeRgb(0, 0, 0);
  constexpr Rgb kWhite = MakeRgb(255, 255, 255);
  const Rgb pole = ContrastRatio(kBlack, back) >= ContrastRatio(kWhite, back) ? kBlack : kWhite;
  if (ContrastRatio(pole, back) < minimum) return pole;
  // The contrast grows as the colour nears the pole: the least mix that reaches it.
  double lo = 0, hi = 1;
  for (int i = 0; i < 24; ++i) {
    const double mid = (lo + hi) / 2;
    (ContrastRatio(Mix(fore, pole, mid), back) >= minimum ? hi : lo) = mid;
  }
  // Rounding to whole channels may fall a hair short: step on until it does not.
  Rgb mixed = Mix(fore, pole, hi);
  for (double t = hi; ContrastRatio(mixed, back) < minimum && t < 1;) {
    t = std::min(1.0, t + 1.0 / 255);
    mixed = Mix(fore, pole, t);
  }
  return mixed;
}

}  // namespace dulvex
