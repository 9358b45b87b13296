#include "volume/volume_panel_design.h"

#include <string>

#include "core/form1_design.h"

namespace dulvex {

namespace {

// Geometry shared by the rows, in twips within the panels.
constexpr double kValueLeft = 2760;  // value boxes, in Frame1 (right of Frame2)
constexpr double kValueWidth = 1152;
constexpr double kWideValueWidth = 2232;  // up to the right edge of the panel
constexpr double kValueHeight = 252;
constexpr double kFieldCaptionLeft = 60;  // captions on Frame2, right-aligned
constexpr double kFieldCaptionWidth = 2580;
constexpr double kRowCaptionLeft = 180;    // Frame1's own captions (Label1)
constexpr double kRowCaptionWidth = 2556;  // up to the value boxes
constexpr double kCaptionHeight = 240;
constexpr double kCaptionSize = 7.8;

// One row of the panel: its value box and the caption beside it.
struct Row {
  double top;
  const char* caption;
  const char* box;  // Label2, Label32 or Label33
  int index;
  Rgb boxColour;
  Rgb captionColour;
};

constexpr Rgb kC = kCaptionCommonColour;
constexpr Rgb kE = kCaptionFat1216Colour;
constexpr Rgb kF = kCaptionFat32Colour;

// The boot-sector rows: captions on Frame2 (Label34(0) ... in this order).
const Row kFieldRows[] = {
    {360, "BS_jmpBoot 0-2", "Label2", 0, kValuePlainColour, kC},
    {600, "BS_OEMName 3-10", "Label2", 1, kValuePlainColour, kC},
    {840, "BPB_BytsPerSec 11-12", "Label2", 2, kValueSizeColour, kC},
    {1080, "BPB_SecPerClus 13", "Label2", 3, kValuePlainColour, kC},
    {1320, "BPB_RsvdSec 14-15", "Label2", 4, kValuePlainColour, kC},
    {1560, "BPB_NumFATs 16", "Label2", 5, kValuePlainColour, kC},
    {1800, "BPB_RootEntCnt 17-18", "Label2", 6, kValueSizeColour, kC},
    {2040, "BPB_TotSec16 19-20", "Label2", 7, kValuePlainColour, kC},
    {2280, "BPB_Media 21", "Label2", 8, kValuePlainColour, kC},
    {2520, "BPB_FATSz16 22-23", "Label2", 9, kValuePlainColour, kC},
    {2760, "BPB_SecPerTrk 24-25", "Label2", 10, kValuePlainColour, kC},
    {3000, "BPB_NumHeads 26-27", "Label2", 11, kValuePlainColour, kC},
    {3240, "BPB_HiddSec 28-29-30-31", "Label2", 12, kValuePlainColour, kC},
    {3480, "BPB_TotSec32 32-33-34-35", "Label2", 13, kValuePlainColour, kC},
    {3960, "BS_DrvNum 36", "Label32", 0, kValueFat1216Colour, kE},
    {4200, "BS_Reserved1 37", "Label32", 1, kValueFat1216Colour, kE},
    {4440, "BS_BootSig 38", "Label32", 2, kValueFat1216Colour, kE},
    {4680, "BS_VolID 39-42", "Label32", 3, kValueFat1216Colour, kE},
    {4920, "BS_VolLab 43-53", "Label32", 4, kValueFat1216Colour, kE},
    {5160, "BS_FilSysType 54-61", "Label32", 5, kValueFat1216Colour, kE},
    {5520, "BPB_FATSz32 36-39", "Label33", 0, kValueFat32Colour, kF},
    {5760, "BPB_ExtFlags 40-41", "Label33", 1, kValueFat32Colour, kF},
    {6000, "BPB_FSVer 42-43", "Label33", 2, kValueFat32Colour, kF},
    {6240, "BPB_RootClus 44-47", "Label33", 3, kValueFat32Colour, kF},
    {6480, "BPB_FSInfo 48-49", "Label33", 4, kValueFat32Colour, kF},
    {6720, "BPB_BkBootSec 50-51", "Label33", 5, kValueFat32Colour, kF},
    {6960, "BPB_Reserved 52-63", "Label33", 6, kValueFat32Colour, kF},
    {7200, "BS_DrvNum 64", "Label33", 7, kValueFat32Colour, kF},
    {7440, "BS_Reserved1 65", "Label33", 8, kValueFat32Colour, kF},
    {7680, "BS_BootSig 66", "Label33", 9, kValueFat32Colour, kF},
    {7920, "BS_VolID 67-70", "Label33", 10, kValueFat32Colour, kF},
    {8160, "BS_VolLab 71-81", "Label33", 11, kValueFat32Colour, kF},
    {8400, "BS_FilSysType 82-89", "Label33", 12, kValueFat32Colour, kF},
};

constexpr Rgb kD = kCaptionDerivedColour;

// The derived rows below Frame2: captions on Frame1 (Label1(0) ... in this order).
const Row kDerivedRows[] = {
    {8700, "RootDirSectors", "Label2", 19, kValueSizeColour, kD},
    {8940, "Data sector(1st sec of clus2)", "Label2", 23, kValueSizeColour, kD},
    {9180, "Sect in Data Region", "Label2", 27, kValueDataSecColour, kD},
    {9420, "Count of Cluster", "Label2", 28, kValueClustersColour, kD},
    {9720, "FAT1 sector", "Label2", 15, kValuePlainColour, kD},
    {9960, "FAT2 sector", "Label2", 14, kValuePlainColour, kD},
    {10260, "Cluster 0 Sector", "Label2", 24, kValueCluster0Colour, kD},
    {10500, "Root Dir Entry sector", "Label2", 22, kValueRootDirColour, kD},
};

Control Make(const char* name, int index, ControlKind kind, const char* parent, double left,
             double top, double width, double height, const char* caption, Rgb back, Rgb fore) {
  Control c = Control::Placed(name, index, kind, parent, left, top, width, height, caption);
  c.back = back;
  c.fore = fore;
  c.face = FontFace::Sans;
  c.fontSize = 8;
  return c;
}

// A value box: bordered, empty until a refresh fills it.
Control ValueBox(const char* name, int index, double left, double top, double width, Rgb back) {
  Control c = Make(name, index, ControlKind::Label, "Frame1", left, top, width, kValueHeight, "",
                   back, MakeRgb(0, 0, 0));
  c.border = true;
  return c;
}

Control Caption(const char* name, int index, const char* parent, double left, double top,
                double width, double height, const char* caption, Rgb fore, Align align) {
  Control c =
      Make(name, index, ControlKind::Label, parent, left, top, width, height, caption, kNavy, fore);
  c.fontSize = kCaptionSize;
  c.bold = true;
  c.align = align;
  return c;
}

}  // namespace

void AddVolumePanelDesign(WindowModel& model) {
  Control refresh = Make("Command3", -1, ControlKind::Button, "Frame1", 1500, 180, 3495, 255,
                         "REFRESH Master Boot Record", kButtonBlue, MakeRgb(0, 0, 0));
  refresh.align = Align::Center;
  refresh.visible = false;  // the Volume menu starts the refresh; the button is never shown
  model.Add(std::move(refresh));

  int captionIndex = 0;
  for (const Row& r : kFieldRows) {
    // BPB_Reserved shows twelve bytes in hex, up to 24 digits: the width of the panel, in
    // a smaller font.
    const bool reserved = std::string(r.box) == "Label33" && r.index == 6;
    Control& box = model.Add(ValueBox(r.box, r.index, kValueLeft, r.top,
                                      reserved ? kWideValueWidth : kValueWidth, r.boxColour));
    if (reserved) box.fontSize = 7;
    model.Add(Caption("Label34", captionIndex++, "Frame2", kFieldCaptionLeft, r.top,
                      kFieldCaptionWidth, kCaptionHeight, r.caption, r.captionColour,
                      Align::Right));
  }
  model.Add(Caption("Label35", 0, "Frame2", 60, 3780, 1032, 180, "FAT12/FAT16",
                    kCaptionCommonColour, Align::Left));
  model.Add(Caption("Label35", 1, "Frame2", 60, 5340, 1032, 180, "FAT32", kCaptionCommonColour,
                    Align::Left));

  captionIndex = 0;
  for (const Row& r : kDerivedRows) {
    model.Add(ValueBox(r.box, r.index, kValueLeft, r.top, kValueWidth, r.boxColour));
    model.Add(Caption("Label1", captionIndex++, "Frame1", kRowCaptionLeft, r.top, kRowCaptionWidth,
                      kCaptionHeight, r.caption, r.captionColour, Align::Left));
  }
  // The FAT type beside the cluster count, after a small ">".
  model.Add(Caption("Label36", -1, "Frame1", 3960, 9420, 120, kCaptionHeight, ">",
                    kCaptionDerivedColour, Align::Left));
  model.Add(ValueBox("Label2", 29, 4080, 9420, 912, kValueClustersColour));
}

}  // namespace dulvex
