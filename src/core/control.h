// One record type for every control of the main window: panels, labels, buttons, text
// boxes, shapes, menus and the cells of the four grids. The window design creates them,
// the rules change their runtime properties, and the Qt layer draws them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace dulvex {

// A colour as 0xRRGGBB.
using Rgb = std::uint32_t;
constexpr Rgb MakeRgb(int r, int g, int b) {
  return (static_cast<Rgb>(r) << 16) | (static_cast<Rgb>(g) << 8) | static_cast<Rgb>(b);
}
constexpr int RedOf(Rgb c) {
  return static_cast<int>((c >> 16) & 0xFF);
}
constexpr int GreenOf(Rgb c) {
  return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int BlueOf(Rgb c) {
  return static_cast<int>(c & 0xFF);
}

enum class ControlKind {
  Form,   // the window itself
  Frame,  // a panel that holds other controls
  Label,
  Button,
  TextBox,
  Shape,     // an unfilled rectangle drawn in `fore`
  Line,      // a straight line from (left, top) to (left + width, top + height) in `fore`
  Menu,      // a top-level menu or a command on the menu bar
  MenuItem,  // an item of a top-level menu; caption "-" is a separator
  Cell,      // a cell of one of the four grids (Label3, Label55, LabelB3, LabelB55)
};

enum class Align { Left, Center, Right };

// Courier New (or the nearest fixed-pitch face) or a sans-serif face.
enum class FontFace { Fixed, Sans };

struct Control {
  std::string name;  // design name, for example "Label2" or "Text21"
  int index = -1;    // element of a control array, -1 for a single control
  ControlKind kind = ControlKind::Label;
  std::string parent;  // key of the containing panel or menu; empty for top-level controls
  // Design geometry in twips, relative to the parent panel.
  double left = 0, top = 0, width = 0, height = 0;
  std::string caption;  // the caption, or the text of a text box (UTF-8)
  Rgb back = MakeRgb(255, 255, 255);
  Rgb fore = MakeRgb(0, 0, 0);
  bool transparent = false;  // no background of its own (panel colour shows through)
  FontFace face = FontFace::Fixed;
  double fontSize = 9;  // points
  bool bold = false;
  Align align = Align::Left;
  bool border = false;
  std::string tooltip;
  bool visible = true;
  bool enabled = true;
  bool multiline = false;  // text boxes: several lines with both scroll bars
  bool readOnly = false;   // text boxes the user reads but does not type into

  // A control of `kind` at (left, top, width, height) twips inside `parent`, with its
  // caption; every other property keeps its default.
  static Control Placed(std::string name, int index, ControlKind kind, std::string parent,
                        double left, double top, double width, double height, std::string caption) {
    Control c;
    c.name = std::move(name);
    c.index = index;
    c.kind = kind;
    c.parent = std::move(parent);
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
    c.caption = std::move(caption);
    return c;
  }

  // "Name" for a single control, "Name(index)" for an element of an array.
  std::string Key() const { return MakeKey(name, index); }
  static std::string MakeKey(const std::string& name, int index) {
    return index < 0 ? name : name + "(" + std::to_string(index) + ")";
  }
};

}  // namespace dulvex
