// The small widgets of the design that Qt has no ready-made equal for: a panel with an
// optional caption, an unfilled rectangle, a straight line, and a text box that knows typing
// from pasting.
#pragma once

#include <QColor>
#include <QLineEdit>
#include <QString>
#include <QWidget>

namespace dulvex::ui {

// A panel (Frame): filled with its background; with a caption it gets a thin border and
// the caption as a title over the top edge, like a group box.
class PanelWidget : public QWidget {
  Q_OBJECT
 public:
  explicit PanelWidget(QWidget* parent = nullptr);
  void SetLook(const QColor& back, const QColor& fore, const QString& caption);
  QColor back() const { return back_; }
  QColor fore() const { return fore_; }
  QString caption() const { return caption_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor back_, fore_;
  QString caption_;
};

// An unfilled rectangle (Shape) in its colour; the mouse goes through it.
class ShapeWidget : public QWidget {
  Q_OBJECT
 public:
  explicit ShapeWidget(QWidget* parent = nullptr);
  void SetColour(const QColor& colour);
  QColor colour() const { return colour_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor colour_;
};

// A single-line text box that tells a key typed from other edits (a paste, a drop, the
// context menu): keying() is true while a key press other than Paste edits the text.
class LineBoxWidget : public QLineEdit {
  Q_OBJECT
 public:
  explicit LineBoxWidget(QWidget* parent = nullptr) : QLineEdit(parent) {}
  bool keying() const { return keying_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool keying_ = false;
};

// A straight line (Line) across its rectangle; `falling` runs from the top-left to the
// bottom-right corner, otherwise from the bottom-left to the top-right.
class LineWidget : public QWidget {
  Q_OBJECT
 public:
  explicit LineWidget(QWidget* parent = nullptr);
  void SetLine(const QColor& colour, bool falling);
  QColor colour() const { return colour_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor colour_;
  bool falling_ = true;
};

}  // namespace dulvex::ui
