#include "core/form1_design.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/numbers.h"

namespace dulvex {

namespace {

using K = ControlKind;
constexpr FontFace kFixed = FontFace::Fixed;
constexpr FontFace kSans = FontFace::Sans;
constexpr Align kL = Align::Left;
constexpr Align kC = Align::Center;
constexpr Align kR = Align::Right;
constexpr Rgb kBlack = MakeRgb(0, 0, 0);
constexpr Rgb kShapeColour = MakeRgb(128, 128, 255);
constexpr Rgb kStatusText = MakeRgb(255, 255, 192);

// One line of the design. Flags: 'b' bold, 'B' bordered, 'h' hidden, 'd' disabled,
// 't' transparent background.
struct Row {
  const char* name;
  int index;
  ControlKind kind;
  const char* parent;
  double left, top, width, height;
  const char* caption;
  Rgb back, fore;
  FontFace face;
  double size;
  Align align;
  const char* flags;
};

// Back to front among siblings: Frame1 lies behind Frame2, both behind Frame6 and Frame4.
const Row kDesign[] = {
    // name        idx kind       parent    left   top    width  height caption
    //   back        fore        face    size  align flags
    {"Form1", -1, K::Form, "", 0, 0, 15036, 10824, "HEX EDITOR", MakeRgb(0, 0, 64), kBlack, kSans,
     8, kL, ""},
    {"Frame1", -1, K::Frame, "", 9960, 0, 5052, 10815, "Volume Informations", kNavy, kWhite, kSans,
     8, kL, ""},
    {"Frame2", -1, K::Frame, "", 9960, 0, 2712, 8652, "", kNavy, kWhite, kSans, 8, kL, ""},
    {"Frame5", -1, K::Frame, "", 0, 0, 7815, 10812, "", kNavy, kWhite, kSans, 8, kL, ""},
    {"Frame6", -1, K::Frame, "", 7800, 0, 7212, 10812, "", kNavy, kWhite, kSans, 8, kL, "h"},
    {"Frame4", -1, K::Frame, "", 7920, 660, 6972, 8472, "", kBlue, kWhite, kSans, 8, kL, "h"},

    // Sector panel.
    {"Label62", -1, K::Label, "Frame5", 120, 240, 2292, 252, "CURRENT SECTOR", kNavy, kYellow,
     kSans, 9, kL, "b"},
    {"Command1", 0, K::Button, "Frame5", 1860, 180, 312, 372, "<", kButtonBlue, kBlack, kSans, 12,
     kC, "d"},
    {"Text21", -1, K::TextBox, "Frame5", 2220, 180, 1872, 372, "0", MakeRgb(192, 255, 192), kBlack,
     kFixed, 12, kC, "bd"},
    {"Command1", 1, K::Button, "Frame5", 4140, 180, 312, 372, ">", kButtonBlue, kBlack, kSans, 12,
     kC, "d"},
    {"Label45", -1, K::Label, "Frame5", 4530, 240, 1440, 300, "0x00000000", MakeRgb(224, 224, 224),
     kBlack, kFixed, 10.8, kC, "bB"},
    {"Label57", -1, K::Label, "Frame5", 6000, 240, 912, 252, "Device:", kNavy, kYellow, kSans, 9,
     kR, ""},
    {"Label58", -1, K::Label, "Frame5", 7020, 180, 732, 360, "-", kYellow, kBlack, kSans, 12, kC,
     "bB"},
    {"Frame3", -1, K::Frame, "Frame5", 60, 540, 7695, 8712, "", kBlue, kWhite, kSans, 8, kL, ""},
    {"Command7", -1, K::Button, "Frame5", 60, 9360, 2052, 255, "RESET SELECTION", kButtonBlue,
     kBlack, kSans, 8, kC, ""},
    {"Command2", -1, K::Button, "Frame5", 60, 9660, 2052, 255, "COPY SELECTION", kButtonBlue,
     kBlack, kSans, 8, kC, ""},
    {"Command9", -1, K::Button, "Frame5", 60, 9960, 2052, 255, "COPY SECTOR", kButtonBlue, kBlack,
     kSans, 8, kC, ""},
    {"Label49", -1, K::Label, "Frame5", 2220, 9360, 5472, 252,
     "Reset all locations selected for the copy ", kNavy, kYellow, kSans, 8, kL, ""},
    {"Label50", -1, K::Label, "Frame5", 2220, 9660, 5472, 252,
     "Copy in COPY BUFFER all locations selected", kNavy, kYellow, kSans, 8, kL, ""},
    {"Label54", -1, K::Label, "Frame5", 2220, 9960, 5472, 252,
     "Copy all the locations of the current sector in the COPY BUFFER", kNavy, kYellow, kSans, 8,
     kL, ""},
    {"Label52", -1, K::Label, "Frame5", 3000, 10860, 1692, 252, "Last Location offset:", kNavy,
     kYellow, kSans, 8, kL, ""},
    {"Label51", -1, K::Label, "Frame5", 4800, 10860, 852, 252, "-", kWhite, kBlack, kSans, 8, kC,
     "B"},
    // The status line, three lines in the strip under the buttons.
    {"lblStatus", 0, K::Label, "Frame5", 60, 10245, 7695, 190, "", kNavy, kStatusText, kSans, 7.5,
     kL, ""},
    {"lblStatus", 1, K::Label, "Frame5", 60, 10435, 7695, 190, "", kNavy, kStatusText, kSans, 7.5,
     kL, ""},
    {"lblStatus", 2, K::Label, "Frame5", 60, 10625, 7695, 190, "", kNavy, kStatusText, kSans, 7.5,
     kL, ""},

    // Sector grid panel (the cells follow from Label3(0) and Label55(0)).
    {"Shape1", -1, K::Shape, "Frame3", 768, 768, 492, 7812, "", kBlue, kShapeColour, kSans, 8, kL,
     "t"},
    {"Shape2", -1, K::Shape, "Frame3", 1248, 768, 4212, 7812, "", kBlue, kShapeColour, kSans, 8, kL,
     "t"},
    {"Shape3", -1, K::Shape, "Frame3", 5448, 768, 2172, 7812, "", kBlue, kShapeColour, kSans, 8, kL,
     "t"},
    {"Label5", -1, K::Label, "Frame3", 60, 180, 7575, 255, "", kYellow, kBlack, kFixed, 9, kL, "B"},
    {"Label53", -1, K::Label, "Frame3", 1260, 450, 6375, 255, "", kYellow, kBlack, kFixed, 9, kL,
     "B"},
    {"Label77", 1, K::Label, "Frame3", 156, 500, 1044, 204, "00000000", kButtonBlue, kYellow,
     kFixed, 9, kR, ""},
    {"Label3", 0, K::Cell, "Frame3", 1320, 840, 252, 240, "--", HexPlainColour, kBlack, kFixed, 9,
     kC, ""},
    {"Label55", 0, K::Cell, "Frame3", 5520, 840, 132, 240, "-", TextPlainColour, kBlack, kFixed, 9,
     kC, ""},

    // Copy-buffer panel.
    {"Label59", -1, K::Label, "Frame6", 120, 240, 2292, 252, "COPY BUFFER", kNavy, kYellow, kSans,
     9, kL, "b"},
    {"Frame7", -1, K::Frame, "Frame6", 60, 540, 7095, 8712, "", kBlue, kWhite, kSans, 8, kL, ""},
    {"Command8", -1, K::Button, "Frame6", 60, 9360, 2052, 255, "RESET BUFFER", kButtonBlue, kBlack,
     kSans, 8, kC, ""},
    {"Command5", -1, K::Button, "Frame6", 60, 9660, 2052, 255, "PASTE LAST SELECTION", kButtonBlue,
     kBlack, kSans, 8, kC, ""},
    {"Command10", -1, K::Button, "Frame6", 60, 9960, 2052, 255, "PASTE WITH OFFSET", kButtonBlue,
     kBlack, kSans, 8, kC, ""},
    {"Label56", -1, K::Label, "Frame6", 2160, 9360, 4932, 252,
     "Reset all locations selected for the copy ", kNavy, kYellow, kSans, 8, kL, ""},
    {"Label60", -1, K::Label, "Frame6", 2160, 9660, 4932, 252,
     "Copy in the current sector all locations selected", kNavy, kYellow, kSans, 8, kL, ""},
    {"Label61", -1, K::Label, "Frame6", 2160, 9960, 4932, 252,
     "Copy in the current sector all locations selected from this offset", kNavy, kYellow, kSans, 8,
     kL, ""},
    {"Label66", -1, K::Label, "Frame6", 3000, 10860, 1692, 252, "Last Location offset:", kNavy,
     kYellow, kSans, 8, kL, ""},
    {"Label67", -1, K::Label, "Frame6", 4800, 10860, 852, 252, "-", kWhite, kBlack, kSans, 8, kC,
     "B"},

    // Board panel (the cells follow from LabelB3(0) and LabelB55(0)).
    {"Label47", -1, K::Label, "Frame7", 540, 180, 4212, 492,
     "CLICK ON A LOCATION TO EDIT HIT HEX VALUE", kBlue, kYellow, kSans, 8, kC, "b"},
    {"Label48", -1, K::Label, "Frame7", 4800, 180, 2172, 492,
     "CLICK ON A LOCATION TO EDIT A TEXT STRING", kBlue, kYellow, kSans, 8, kC, "b"},
    {"Shape4", -1, K::Shape, "Frame7", 108, 768, 492, 7812, "", kBlue, kShapeColour, kSans, 8, kL,
     "t"},
    {"Shape5", -1, K::Shape, "Frame7", 588, 768, 4212, 7812, "", kBlue, kShapeColour, kSans, 8, kL,
     "t"},
    {"Shape6", -1, K::Shape, "Frame7", 4788, 768, 2172, 7812, "", kBlue, kShapeColour, kSans, 8, kL,
     "t"},
    {"LabelB3", 0, K::Cell, "Frame7", 660, 840, 255, 240, "--", BoardHexEmptyColour, kBlack, kFixed,
     9, kC, ""},
    {"LabelB55", 0, K::Cell, "Frame7", 4860, 840, 135, 240, "-", BoardTextEmptyColour, kBlack,
     kFixed, 9, kC, ""},

    // Menu bar, left to right, each menu followed by its items.
    {"mnuFile", -1, K::Menu, "", 0, 0, 0, 0, "File", kWhite, kBlack, kSans, 8, kL, ""},
    {"mnuOpenImage", -1, K::MenuItem, "mnuFile", 0, 0, 0, 0, "Open Image…", kWhite, kBlack, kSans,
     8, kL, ""},
    {"mnuOpenDevice", -1, K::MenuItem, "mnuFile", 0, 0, 0, 0, "Open Device…", kWhite, kBlack, kSans,
     8, kL, ""},
    // mnuRecentFile(0..9), the last ten images opened, are added in AddForm1Design.
    {"mnuRecent", -1, K::MenuItem, "mnuFile", 0, 0, 0, 0, "Recent", kWhite, kBlack, kSans, 8, kL,
     "d"},
    {"mnuOpenBar", -1, K::MenuItem, "mnuFile", 0, 0, 0, 0, "-", kWhite, kBlack, kSans, 8, kL, ""},
    {"mnuUndoWrite", -1, K::MenuItem, "mnuFile", 0, 0, 0, 0, "Undo Last Write", kWhite, kBlack,
     kSans, 8, kL, ""},
    {"mnuWriteHistory", -1, K::MenuItem, "mnuFile", 0, 0, 0, 0, "Write History…", kWhite, kBlack,
     kSans, 8, kL, ""},
    {"mnuCodePage", -1, K::MenuItem, "mnuFile", 0, 0, 0, 0, "Short-Name Code Page…", kWhite, kBlack,
     kSans, 8, kL, ""},
    {"mnuWriteSep", -1, K::MenuItem, "mnuFile", 0, 0, 0, 0, "-", kWhite, kBlack, kSans, 8, kL, ""},
    {"mnUsci", -1, K::MenuItem, "mnuFile", 0, 0, 0, 0, "EXIT Program", kWhite, kBlack, kSans, 8, kL,
     ""},
    {"mnuVolume", -1, K::Menu, "", 0, 0, 0, 0, "Volume", kWhite, kBlack, kSans, 8, kL, ""},
    // mnuA(0..17) "A:" ... "R:" and the separator mnuNukk are added in AddForm1Design.
    {"mnuTolls", -1, K::Menu, "", 0, 0, 0, 0, "TOOLS", kWhite, kBlack, kSans, 8, kL, "d"},
    {"mnuFileList", -1, K::MenuItem, "mnuTolls", 0, 0, 0, 0, "1st File List", kWhite, kBlack, kSans,
     8, kL, ""},
    {"mnuAnalFile", -1, K::MenuItem, "mnuTolls", 0, 0, 0, 0, "Analyze Act. Sec. as File List",
     kWhite, kBlack, kSans, 8, kL, ""},
    {"mnuFileFollow", -1, K::MenuItem, "mnuTolls", 0, 0, 0, 0, "File Follower", kWhite, kBlack,
     kSans, 8, kL, ""},
    {"mnuClusChain", -1, K::MenuItem, "mnuTolls", 0, 0, 0, 0, "Cluster Chain", kWhite, kBlack,
     kSans, 8, kL, ""},
    {"mnuFFind", -1, K::MenuItem, "mnuTolls", 0, 0, 0, 0, "Find File Cluster", kWhite, kBlack,
     kSans, 8, kL, ""},
    {"mnuFString", -1, K::MenuItem, "mnuTolls", 0, 0, 0, 0, "Find String", kWhite, kBlack, kSans, 8,
     kL, ""},
    // F3 repeats the last search, Shift+F3 repeats it the other way.
    {"mnuFindNext", -1, K::MenuItem, "mnuTolls", 0, 0, 0, 0, "Find Next", kWhite, kBlack, kSans, 8,
     kL, ""},
    {"mnuFindPrev", -1, K::MenuItem, "mnuTolls", 0, 0, 0, 0, "Find Previous", kWhite, kBlack, kSans,
     8, kL, ""},
    {"mnuFileData", -1, K::MenuItem, "mnuTolls", 0, 0, 0, 0, "File's Data", kWhite, kBlack, kSans,
     8, kL, ""},
    {"mnuCheckVolume", -1, K::MenuItem, "mnuTolls", 0, 0, 0, 0, "Check Volume", kWhite, kBlack,
     kSans, 8, kL, ""},
    {"mnuGoto_Cluster", -1, K::MenuItem, "mnuTolls", 0, 0, 0, 0, "Go to Cluster", kWhite, kBlack,
     kSans, 8, kL, ""},
    {"mnuInspector", -1, K::MenuItem, "mnuTolls", 0, 0, 0, 0, "Data Inspector", kWhite, kBlack,
     kSans, 8, kL, ""},
    {"mnuVolDa", -1, K::Menu, "", 0, 0, 0, 0, "MBR Data", kWhite, kBlack, kSans, 8, kL, ""},
    {"mnuCopyB", -1, K::Menu, "", 0, 0, 0, 0, "Copy Buffer", kWhite, kBlack, kSans, 8, kL, ""},
    // Opening the menu shows the board, as a click on it did; its items reach the clipboard.
    {"mnuCopyHex", -1, K::MenuItem, "mnuCopyB", 0, 0, 0, 0, "Copy Selection as Hex", kWhite, kBlack,
     kSans, 8, kL, ""},
    {"mnuCopyText", -1, K::MenuItem, "mnuCopyB", 0, 0, 0, 0, "Copy Selection as Text", kWhite,
     kBlack, kSans, 8, kL, ""},
    {"mnuPasteClip", -1, K::MenuItem, "mnuCopyB", 0, 0, 0, 0, "Paste from Clipboard", kWhite,
     kBlack, kSans, 8, kL, ""},
    {"mnuHelp", -1, K::Menu, "", 0, 0, 0, 0, "Help", kWhite, kBlack, kSans, 8, kL, ""},
    {"mnuAbout", -1, K::Menu, "", 0, 0, 0, 0, "About", kWhite, kBlack, kSans, 8, kL, ""},
};

// The items under the letters of the Volume menu: name and caption.
const char* const kSectorMoves[][2] = {{"mnuMoveSep", "-"},
                                       {"mnuPrevSector", "Previous Sector"},
                                       {"mnuNextSector", "Next Sector"},
                                       {"mnuFirstSector", "First Sector"},
                                       {"mnuLastSector", "Last Sector"},
                                       {"mnuGotoSector", "Go to Sector…"}};

bool HasFlag(const char* flags, char f) {
  for (const char* p = flags; *p != 0; ++p) {
    if (*p == f) return true;
  }
  return false;
}

Control FromRow(const Row& r) {
  Control c = Control::Placed(r.name, r.index, r.kind, r.parent, r.left, r.top, r.width, r.height,
                              r.caption);
  c.back = r.back;
  c.fore = r.fore;
  c.face = r.face;
  c.fontSize = r.size;
  c.align = r.align;
  c.bold = HasFlag(r.flags, 'b');
  c.border = HasFlag(r.flags, 'B');
  c.visible = !HasFlag(r.flags, 'h');
  c.enabled = !HasFlag(r.flags, 'd');
  c.transparent = HasFlag(r.flags, 't');
  return c;
}

// The row offsets "000" ... "1F0" of the two grids.
std::string RowOffset(int row) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%03X", 16 * row);
  return buf;
}

Control RowOffsetLabel(int index, const char* parent, double left, double top, double width,
                       double height, int row) {
  Control c = Control::Placed("Label4", index, ControlKind::Label, parent, left, top, width, height,
                              RowOffset(row));
  c.back = kButtonBlue;
  c.fore = MakeRgb(255, 255, 192);
  c.face = FontFace::Fixed;
  c.fontSize = 9;
  c.align = Align::Center;
  return c;
}

// Builds cells 1 to 511 of one grid from its cell 0, row by row, 16 cells a row; the text
// cells move by half the hex pitch.
void BuildGrid(WindowModel& model, const char* hexName, const char* textName,
               std::array<Control*, 512>& hexCells, std::array<Control*, 512>& textCells) {
  Control& hex0 = model.At(hexName, 0);
  Control& text0 = model.At(textName, 0);
  hexCells[0] = &hex0;
  textCells[0] = &text0;
  const double w = RoundHalfEven(hex0.width);
  const double rowPitch = RoundHalfEven(hex0.height);
  double x = w;
  double y = 0;
  for (int i = 1; i < 512; ++i) {
    Control hex = hex0;
    hex.index = i;
    hex.visible = true;
    hex.left += x;
    hex.top += y;
    hexCells[i] = &model.Add(std::move(hex));
    Control text = text0;
    text.index = i;
    text.visible = true;
    text.left += x / 2;
    text.top += y;
    textCells[i] = &model.Add(std::move(text));
    if ((i + 1) % 16 != 0) {
      x += w;
    } else {
      x = 0;
      y += rowPitch;
    }
  }
}

}  // namespace

void AddForm1Design(WindowModel& model) {
  for (const Row& r : kDesign) {
    model.Add(FromRow(r));
    if (std::string(r.name) == "mnuVolume") {
      for (int k = 0; k < 18; ++k) {
        Row item{"mnuA", k,      K::MenuItem, "mnuVolume", 0, 0,  0, 0,
                 "",     kWhite, kBlack,      kSans,       8, kL, ""};
        Control c = FromRow(item);
        c.caption = std::string(1, static_cast<char>('A' + k)) + ":";
        model.Add(std::move(c));
      }
      model.Add(FromRow({"mnuNukk", -1, K::MenuItem, "mnuVolume", 0, 0, 0, 0, "-", kWhite, kBlack,
                         kSans, 8, kL, ""}));
      // Under the letters, the moves between sectors the keyboard reaches.
      for (const auto& item : kSectorMoves) {
        model.Add(FromRow({item[0], -1, K::MenuItem, "mnuVolume", 0, 0, 0, 0, item[1], kWhite,
                           kBlack, kSans, 8, kL, ""}));
      }
    }
    if (std::string(r.name) == "mnuRecent") {
      for (int k = 0; k < 10; ++k) {
        model.Add(FromRow({"mnuRecentFile", k, K::MenuItem, "mnuRecent", 0, 0, 0, 0, "", kWhite,
                           kBlack, kSans, 8, kL, "h"}));
      }
    }
    if (std::string(r.name) == "Label77") {
      for (int row = 0; row < 32; ++row) {
        model.Add(RowOffsetLabel(row, "Frame3", 840, 840 + 240.0 * row, 348, 204, row));
      }
    }
    if (std::string(r.name) == "Label48") {
      for (int k = 32; k < 64; ++k) {
        model.Add(RowOffsetLabel(k, "Frame7", 180, 840 + 240.0 * (63 - k), 345, 210, 63 - k));
      }
    }
  }
}

void Caselle(WindowModel& model) {
  BuildGrid(model, "Label3", "Label55", model.Label3, model.Label55);
}

void Caselle_Board(WindowModel& model) {
  BuildGrid(model, "LabelB3", "LabelB55", model.LabelB3, model.LabelB55);
}

}  // namespace dulvex
