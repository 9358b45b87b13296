#include "ui/design_look.h"

#include <QFontDatabase>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "core/form1_design.h"

namespace dulvex::ui {

namespace {

// The first of `wanted` that is installed, else a face picked by style hint.
QFont BaseFont(const QStringList& wanted, QFont::StyleHint hint, const QString& generic) {
  for (const QString& family : wanted) {
    if (QFontDatabase::hasFamily(family)) return QFont(family);
  }
  QFont font(generic);
  font.setStyleHint(hint);
  return font;
}

const QFont& FixedBase() {
  // Liberation Mono has the metrics of Courier New.
  static const QFont font = BaseFont({"Courier New", "Liberation Mono", "DejaVu Sans Mono"},
                                     QFont::TypeWriter, "monospace");
  return font;
}

const QFont& SansBase() {
  static const QFont font =
      BaseFont({"MS Sans Serif", "Microsoft Sans Serif", "Arial", "Liberation Sans", "DejaVu Sans"},
               QFont::SansSerif, "sans-serif");
  return font;
}

}  // namespace

int TwipsToPixels(double twips, double scale) {
  return static_cast<int>(std::lround(twips * scale / kTwipsPerPixel));
}

QRect PixelRect(double left, double top, double width, double height, double scale) {
  const int x0 = TwipsToPixels(left, scale);
  const int y0 = TwipsToPixels(top, scale);
  const int x1 = TwipsToPixels(left + width, scale);
  const int y1 = TwipsToPixels(top + height, scale);
  return QRect(x0, y0, x1 - x0, y1 - y0);
}

QColor ToQColor(Rgb rgb) {
  return QColor(RedOf(rgb), GreenOf(rgb), BlueOf(rgb));
}

QFont DesignFont(FontFace face, double points, bool bold, double scale) {
  QFont font = face == FontFace::Fixed ? FixedBase() : SansBase();
  font.setPointSizeF(points > 0 ? points * scale : scale);
  font.setBold(bold);
  return font;
}

double FitScale(const QSize& form, const QSize& chrome, const QSize& available, double floor) {
  if (form.isEmpty()) return 1;
  const double w = static_cast<double>(available.width() - chrome.width()) / form.width();
  const double h = static_cast<double>(available.height() - chrome.height()) / form.height();
  return std::clamp(std::min(w, h), floor, 1.0);
}

Qt::Alignment ToQtAlignment(Align align) {
  switch (align) {
    case Align::Center:
      return Qt::AlignHCenter;
    case Align::Right:
      return Qt::AlignRight;
    case Align::Left:
      break;
  }
  return Qt::AlignLeft;
}

}  // namespace dulvex::ui
