#include "ui/cell_grid_widget.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <cmath>

#include "core/contrast.h"
#include "ui/design_look.h"

namespace dulvex::ui {

namespace {

// The cache holds every cell a sector can show in a few sizes and colours; a flood of
// colours from later tools simply starts it again.
constexpr std::size_t kCacheLimit = 8192;

}  // namespace

CellGridWidget::CellGridWidget(const std::array<Control*, kCells>& hex,
                               const std::array<Control*, kCells>& text, double originLeft,
                               double originTop, QWidget* parent)
    : QWidget(parent),
      cells_(std::size_t{2} * kCells),
      hexName_(hex[0]->name),
      textName_(text[0]->name),
      originLeft_(originLeft),
      originTop_(originTop),
      hexWidth_(hex[0]->width),
      hexHeight_(hex[0]->height),
      textWidth_(text[0]->width),
      textHeight_(text[0]->height) {
  setMouseTracking(true);
  for (int i = 0; i < kCells; ++i) {
    cells_[static_cast<std::size_t>(i)].control = hex[static_cast<std::size_t>(i)];
    cells_[std::size_t{kCells} + static_cast<std::size_t>(i)].control =
        text[static_cast<std::size_t>(i)];
  }
  for (Shown& cell : cells_) Take(cell);
}

void CellGridWidget::Take(Shown& s) const {
  const Control& c = *s.control;
  s.caption = c.caption;
  s.back = c.back;
  s.fore = c.fore;
  s.fontSize = c.fontSize;
  s.bold = c.bold;
  s.visible = c.visible;
  s.align = c.align;
  s.face = c.face;
  s.left = c.left;
  s.top = c.top;
  s.width = c.width;
  s.height = c.height;
  s.tile = QPixmap();
  s.rect = PixelRect(c.left, c.top, c.width, c.height, scale_)
               .translated(-TwipsToPixels(originLeft_, scale_), -TwipsToPixels(originTop_, scale_));
  const bool hex = c.name == hexName_;
  s.raised = hex ? (c.width > hexWidth_ || c.height > hexHeight_)
                 : (c.width > textWidth_ || c.height > textHeight_);
}

bool CellGridWidget::Sync() {
  QRect dirty;
  for (Shown& s : cells_) {
    const Control& c = *s.control;
    if (c.caption == s.caption && c.back == s.back && c.fontSize == s.fontSize &&
        c.bold == s.bold && c.fore == s.fore && c.width == s.width && c.height == s.height &&
        c.left == s.left && c.top == s.top && c.visible == s.visible && c.align == s.align &&
        c.face == s.face) {
      continue;  // a tooltip is read from the model when it is shown
    }
    dirty |= s.rect;
    Take(s);
    dirty |= s.rect;
  }
  if (dirty.isEmpty()) return false;
  update(dirty);
  return true;
}

void CellGridWidget::SetScale(double scale) {
  if (scale == scale_) return;
  scale_ = scale;
  tiles_.clear();
  for (Shown& cell : cells_) Take(cell);
  update();
}

const QPixmap& CellGridWidget::Tile(const Shown& cell) {
  const qreal ratio = devicePixelRatioF();
  std::string key = cell.caption;
  key += '\x1f';
  key += std::to_string(static_cast<int>(cell.fontSize * 100));
  key += cell.bold ? 'b' : 'n';
  key += cell.face == FontFace::Fixed ? 'f' : 's';
  key += static_cast<char>('0' + static_cast<int>(cell.align));
  key += std::to_string(cell.fore);
  key += '/';
  key += std::to_string(cell.back);
  key += '/';
  key += std::to_string(cell.rect.width());
  key += 'x';
  key += std::to_string(cell.rect.height());
  key += '@';
  key += std::to_string(static_cast<int>(ratio * 100));
  auto it = tiles_.find(key);
  if (it != tiles_.end()) return it->second;
  if (tiles_.size() >= kCacheLimit) tiles_.clear();

  // The whole cell once: background, then the caption from the top edge, aligned as the
  // cell says and clipped to it.
  // Whole device pixels, rounded up: at a fractional scale (125 %) a tile rounded down would
  // leave a seam of background between neighbours; one rounded up lies under the next cell.
  QPixmap tile(static_cast<int>(std::ceil(cell.rect.width() * ratio)),
               static_cast<int>(std::ceil(cell.rect.height() * ratio)));
  tile.setDevicePixelRatio(ratio);
  tile.fill(ToQColor(cell.back));
  if (!cell.caption.empty()) {
    const QFont font = DesignFont(cell.face, cell.fontSize, cell.bold, scale_);
    const QFontMetrics fm(font);
    const QString text = QString::fromStdString(cell.caption);
    const int width = fm.horizontalAdvance(text);
    int x = 0;
    if (cell.align == Align::Center) x = (cell.rect.width() - width) / 2;
    if (cell.align == Align::Right) x = cell.rect.width() - width;
    QPainter p(&tile);
    p.setFont(font);
    p.setPen(ToQColor(cell.fore));
    p.drawText(QPoint(x, fm.ascent()), text);
  }
  ++renderedTiles_;
  return tiles_.emplace(std::move(key), std::move(tile)).first->second;
}

void CellGridWidget::PaintCell(QPainter& painter, Shown& cell, const QRect& clip) {
  if (!cell.visible || cell.rect.isEmpty() || !cell.rect.intersects(clip)) return;
  if (cell.tile.isNull() || cell.tile.devicePixelRatio() != devicePixelRatioF()) {
    cell.tile = Tile(cell);
  }
  painter.drawPixmap(cell.rect.topLeft(), cell.tile);
}

void CellGridWidget::paintEvent(QPaintEvent* event) {
  ++paints_;
  QPainter painter(this);
  const QRect clip = event->rect();
  // Later cells lie over earlier ones; a magnified cell lies over all its neighbours.
  for (Shown& cell : cells_) {
    if (!cell.raised) PaintCell(painter, cell, clip);
  }
  for (Shown& cell : cells_) {
    if (cell.raised) PaintCell(painter, cell, clip);
  }
  if (cursor_ >= 0) {
    PaintCursor(painter, cells_[static_cast<std::size_t>(cursor_)]);
    PaintCursor(painter,
                cells_[static_cast<std::size_t>(kCells) + static_cast<std::size_t>(cursor_)]);
  }
}

// Two frames inside the cell: the outer one in black or white, whichever stands out more from
// the cell's colour, the inner one in the other, so the cursor shows on any cell in any
// palette. With the keyboard focus elsewhere the outer frame is thinner.
void CellGridWidget::PaintCursor(QPainter& painter, const Shown& cell) const {
  if (!cell.visible || cell.rect.isEmpty()) return;
  const Rgb black = MakeRgb(0, 0, 0), white = MakeRgb(255, 255, 255);
  const bool dark = ContrastRatio(black, cell.back) >= ContrastRatio(white, cell.back);
  const int outer = hasFocus() ? 2 : 1;
  const QRect r = cell.rect.adjusted(0, 0, -1, -1);  // drawRect covers one pixel more
  painter.save();
  painter.setBrush(Qt::NoBrush);
  painter.setPen(ToQColor(dark ? black : white));
  for (int i = 0; i < outer; ++i) painter.drawRect(r.adjusted(i, i, -i, -i));
  painter.setPen(ToQColor(dark ? white : black));
  painter.drawRect(r.adjusted(outer, outer, -outer, -outer));
  painter.restore();
}

void CellGridWidget::SetCursorCell(int index) {
  if (index < -1 || index >= kCells) index = -1;
  if (index == cursor_) return;
  update(CursorArea());
  cursor_ = index;
  update(CursorArea());
}

QRect CellGridWidget::CursorArea() const {
  if (cursor_ < 0) return {};
  return cells_[static_cast<std::size_t>(cursor_)].rect |
         cells_[static_cast<std::size_t>(kCells) + static_cast<std::size_t>(cursor_)].rect;
}

void CellGridWidget::keyPressEvent(QKeyEvent* event) {
  // The arrows of the number pad are the arrows.
  const QKeyCombination pressed(event->modifiers() & ~Qt::KeypadModifier, Qt::Key(event->key()));
  const QString keys = QKeySequence(pressed).toString(QKeySequence::PortableText);
  if (keyed && keyed(keys.toStdString())) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void CellGridWidget::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update(CursorArea());
}

void CellGridWidget::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update(CursorArea());
}

int CellGridWidget::SlotAt(const QPoint& point) const {
  const int count = static_cast<int>(cells_.size());
  for (int slot = count - 1; slot >= 0; --slot) {
    const Shown& s = cells_[static_cast<std::size_t>(slot)];
    if (s.raised && s.visible && s.rect.contains(point)) return slot;
  }
  for (int slot = count - 1; slot >= 0; --slot) {
    const Shown& s = cells_[static_cast<std::size_t>(slot)];
    if (!s.raised && s.visible && s.rect.contains(point)) return slot;
  }
  return -1;
}

void CellGridWidget::Forward(const std::function<void(const std::string&, int)>& to,
                             int slot) const {
  if (!to || slot < 0) return;
  if (slot < kCells) {
    to(hexName_, slot);
  } else {
    to(textName_, slot - kCells);
  }
}

void CellGridWidget::mouseMoveEvent(QMouseEvent* event) {
  Forward(moved, SlotAt(event->position().toPoint()));
}

void CellGridWidget::mousePressEvent(QMouseEvent* event) {
  pressedSlot_ = event->button() == Qt::LeftButton ? SlotAt(event->position().toPoint()) : -1;
}

void CellGridWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const int slot = SlotAt(event->position().toPoint());
  const bool same = slot >= 0 && slot == pressedSlot_;
  pressedSlot_ = -1;
  if (same) Forward(clicked, slot);
}

bool CellGridWidget::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int slot = SlotAt(help->pos());
    const std::string tip =
        slot < 0 ? std::string() : cells_[static_cast<std::size_t>(slot)].control->tooltip;
    if (tip.empty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), QString::fromStdString(tip), this, SlotRect(slot));
    }
    return true;
  }
  return QWidget::event(event);
}

}  // namespace dulvex::ui
