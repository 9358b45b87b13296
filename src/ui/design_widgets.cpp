#include "ui/design_widgets.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>

namespace dulvex::ui {

PanelWidget::PanelWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PanelWidget::SetLook(const QColor& back, const QColor& fore, const QString& caption) {
  if (back == back_ && fore == fore_ && caption == caption_) return;
  back_ = back;
  fore_ = fore;
  caption_ = caption;
  update();
}

void PanelWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), back_);
  if (caption_.isEmpty()) return;
  const QFontMetrics fm(font());
  const int titleTop = fm.height() / 2;
  // An etched border below the title line, broken where the title stands.
  const QRect border = rect().adjusted(0, titleTop, -1, -1);
  p.setPen(back_.lighter(160));
  p.drawRect(border.translated(1, 1).adjusted(0, 0, -1, -1));
  p.setPen(back_.darker(160));
  p.drawRect(border.adjusted(0, 0, -1, -1));
  const int textWidth = fm.horizontalAdvance(caption_);
  const QRect title(8, 0, textWidth + 4, fm.height());
  p.fillRect(title, back_);
  p.setPen(fore_);
  p.drawText(title.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop, caption_);
}

ShapeWidget::ShapeWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ShapeWidget::SetColour(const QColor& colour) {
  if (colour == colour_) return;
  colour_ = colour;
  update();
}

void ShapeWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setPen(colour_);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

LineWidget::LineWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LineWidget::SetLine(const QColor& colour, bool falling) {
  if (colour == colour_ && falling == falling_) return;
  colour_ = colour;
  falling_ = falling;
  update();
}

void LineWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setPen(colour_);
  const QRect r = rect().adjusted(0, 0, -1, -1);
  if (falling_) {
    p.drawLine(r.topLeft(), r.bottomRight());
  } else {
    p.drawLine(r.bottomLeft(), r.topRight());
  }
}

void LineBoxWidget::keyPressEvent(QKeyEvent* event) {
  keying_ = !event->matches(QKeySequence::Paste);
  QLineEdit::keyPressEvent(event);
  keying_ = false;
}

}  // namespace dulvex::ui
