// One cell grid (512 hex cells and 512 text cells) as ONE widget that paints the cells
// from the window model, with a frame round the cells of the cell cursor. Each cell look (caption,
// size, weight, colours, cell size) is rendered once into a tile and then blitted, so a full
// repaint stays well under a millisecond.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <array>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/control.h"

namespace dulvex::ui {

class CellGridWidget : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kCells = 512;

  // `hex` and `text` are the model's two arrays of one grid; `origin` is the design
  // position (twips, in the parent panel) that the widget's top-left corner stands for.
  CellGridWidget(const std::array<Control*, kCells>& hex, const std::array<Control*, kCells>& text,
                 double originLeft, double originTop, QWidget* parent = nullptr);

  // Called with the array name and the cell index when a cell is clicked or the mouse
  // pointer moves over it.
  std::function<void(const std::string& name, int index)> clicked;
  std::function<void(const std::string& name, int index)> moved;

  // Brings the widget up to date with the model: schedules a repaint of the cells whose
  // look changed. Returns whether any did.
  bool Sync();

  // Keys pressed while the grid has the keyboard focus, spelt as Qt spells them ("Left",
  // "Shift+Down"); returns whether they were taken. Keys not taken go on to the window.
  std::function<bool(const std::string& keys)> keyed;
  // Frames position `index` (its hex cell and its text cell) as the cell cursor; -1: none.
  void SetCursorCell(int index);
  int cursorCell() const { return cursor_; }

  // Draws the cells at `scale` times their design size (the form's scale when it is shrunk
  // to fit the screen).
  void SetScale(double scale);
  double scale() const { return scale_; }

  // The cell under a point of the widget: slot 0-511 hex cell i, 512-1023 text cell i;
  // -1 for none. The cell drawn on top wins.
  int SlotAt(const QPoint& point) const;
  // The rectangle of a slot as it is drawn now.
  QRect SlotRect(int slot) const { return cells_[static_cast<std::size_t>(slot)].rect; }

  // What the widget draws of one cell (taken from the model by the last Sync).
  struct Shown {
    const Control* control = nullptr;
    std::string caption;
    Rgb back = 0, fore = 0;
    double fontSize = 0;
    bool bold = false;
    bool visible = true;
    Align align = Align::Center;
    FontFace face = FontFace::Fixed;
    double left = 0, top = 0, width = 0, height = 0;
    QRect rect;           // in widget pixels
    bool raised = false;  // bigger than its design size: drawn over its neighbours
    QPixmap tile;         // the cell as drawn; null until painted with this look
  };
  const Shown& ShownAt(int slot) const { return cells_[static_cast<std::size_t>(slot)]; }

  // Number of cell tiles rendered so far (a cache miss each).
  int renderedTiles() const { return renderedTiles_; }
  // Number of paint events handled so far.
  int paints() const { return paints_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void Take(Shown& shown) const;
  void PaintCell(QPainter& painter, Shown& cell, const QRect& clip);
  const QPixmap& Tile(const Shown& cell);
  void Forward(const std::function<void(const std::string&, int)>& to, int slot) const;
  void PaintCursor(QPainter& painter, const Shown& cell) const;
  // The area the cursor's frames cover.
  QRect CursorArea() const;

  std::vector<Shown> cells_;  // kCells hex slots, then kCells text slots
  std::string hexName_, textName_;
  double originLeft_, originTop_;
  double scale_ = 1;
  double hexWidth_, hexHeight_, textWidth_, textHeight_;  // design size of cell 0
  std::unordered_map<std::string, QPixmap> tiles_;
  int renderedTiles_ = 0;
  int paints_ = 0;
  int pressedSlot_ = -1;
  int cursor_ = -1;
};

}  // namespace dulvex::ui
