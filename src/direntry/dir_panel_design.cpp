// The design of the directory panel Frame4, one line per control; positions in twips
// relative to Frame4.
#include "core/form1_design.h"
#include "direntry/dir_panel.h"
#include "direntry/entry_views.h"

namespace dulvex {

namespace {

using K = ControlKind;
constexpr Rgb kBlack = MakeRgb(0, 0, 0);
constexpr Rgb kReportColour = MakeRgb(128, 128, 255);
constexpr Rgb kLegendFrameColour = MakeRgb(0, 255, 255);

struct PanelRow {
  const char* name;
  int index;
  ControlKind kind;
  double left, top, width, height;
  const char* caption;
  Rgb back;
};

// Back to front: the legend rectangles first, then what they enclose.
const PanelRow kPanel[] = {
    // name      idx kind      left  top   width height caption back
    {"Text5", -1, K::TextBox, 120, 240, 6732, 4932, "", kReportColour},
    {"Shape7", -1, K::Shape, 60, 5340, 6852, 912, "", kBlue},
    {"Shape8", -1, K::Shape, 60, 6420, 6852, 912, "", kBlue},
    {"Command11", -1, K::Button, 120, 5400, 3552, 252, "VIEW COLORS for short file name",
     kButtonBlue},
    {"Command12", -1, K::Button, 120, 6480, 3552, 252, "VIEW COLORS for long file name",
     kButtonBlue},
    {"Command4", -1, K::Button, 4860, 8100, 2052, 252, "CLOSE", kButtonBlue},

    // Legend of the short-name layout: first row bytes 0-15, second row bytes 16-31.
    {"Label63", -1, K::Label, 120, 5700, 2652, 252, "FILE NAME", HexPlainColour},
    {"Label64", 0, K::Label, 2760, 5700, 672, 252, "EXT", kExtColour},
    {"Label64", 1, K::Label, 3420, 5700, 612, 252, "ATT", kAttrColour},
    {"Label64", 2, K::Label, 4020, 5700, 612, 252, "Res.", HexPlainColour},
    {"Label64", 3, K::Label, 4620, 5700, 1092, 252, "Speed Creat.", kFineTimeColour},
    {"Label64", 4, K::Label, 5700, 5700, 1152, 252, "Time Creation", kTimeColour},
    {"Label64", 5, K::Label, 120, 5940, 1032, 252, "DateCreation", kDateColour},
    {"Label64", 6, K::Label, 1140, 5940, 972, 252, "LastAccess", kNameColour},
    {"Label64", 7, K::Label, 2100, 5940, 972, 252, "MSB1stClus", kClusterHighColour},
    {"Label64", 9, K::Label, 3060, 5940, 972, 252, "TimeLastWr", kTimeColour},
    {"Label64", 10, K::Label, 4020, 5940, 972, 252, "DateLastWr", kDateColour},
    {"Label64", 8, K::Label, 4980, 5940, 1092, 252, "LSB1stClus", kClusterLowColour},
    {"Label64", 11, K::Label, 6060, 5940, 792, 252, "Size", kAttrColour},

    // Legend of the long-name layout, column by column under the short one.
    {"Label64", 24, K::Label, 120, 6780, 252, 252, "ID", kAttrColour},
    {"Label65", -1, K::Label, 360, 6780, 2412, 252, "name", kNameColour},
    {"Label64", 23, K::Label, 2760, 6780, 672, 252, "EXT", kNameColour},
    {"Label64", 22, K::Label, 3420, 6780, 612, 252, "ATT", kAttrColour},
    {"Label64", 21, K::Label, 4020, 6780, 612, 252, "NT", HexPlainColour},
    {"Label64", 20, K::Label, 4620, 6780, 1092, 252, "rsvd", kFineTimeColour},
    {"Label64", 19, K::Label, 5700, 6780, 1152, 252, "name", kNameColour},
    {"Label64", 18, K::Label, 120, 7020, 1032, 252, "name", kNameColour},
    {"Label64", 17, K::Label, 1140, 7020, 972, 252, "", kNameColour},
    {"Label64", 16, K::Label, 2100, 7020, 972, 252, "", kNameColour},
    {"Label64", 14, K::Label, 3060, 7020, 972, 252, "", kNameColour},
    {"Label64", 13, K::Label, 4020, 7020, 972, 252, "", kNameColour},
    {"Label64", 15, K::Label, 4980, 7020, 1092, 252, "0000h", kClusterLowColour},
    {"Label64", 12, K::Label, 6060, 7020, 792, 252, "name", kNameColour},
};

Control FromPanelRow(const PanelRow& r) {
  Control c = Control::Placed(r.name, r.index, r.kind, "Frame4", r.left, r.top, r.width, r.height,
                              r.caption);
  c.back = r.back;
  c.fore = kBlack;
  c.face = FontFace::Sans;
  c.fontSize = 8;
  c.align = Align::Center;
  switch (r.kind) {
    case K::TextBox:  // the report: several lines, both scroll bars, fixed pitch
      c.face = FontFace::Fixed;
      c.fontSize = 9;
      c.align = Align::Left;
      c.multiline = true;
      c.readOnly = true;
      break;
    case K::Shape:  // unfilled rectangle around a legend and its button
      c.fore = kLegendFrameColour;
      c.transparent = true;
      break;
    default:
      break;
  }
  return c;
}

}  // namespace

void AddDirPanelDesign(WindowModel& model) {
  for (const PanelRow& row : kPanel) model.Add(FromPanelRow(row));
}

}  // namespace dulvex
