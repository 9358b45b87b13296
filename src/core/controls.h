// The controls of the main window by what they are. The design tables (form1_design.cpp and
// the panel designs) spell the design names; the rules reach a control through one of these
// handles, so a misspelt name fails to compile, and every use of a control can be found.
#pragma once

#include <string_view>

namespace dulvex {

// One control: its design name and, for an element of a control array, its index.
struct ControlId {
  std::string_view name;
  int index = -1;
};

// A control array: the handle of its elements' name, and each element by index.
struct ControlArray {
  std::string_view name;
  constexpr ControlId operator[](int index) const { return {name, index}; }
};

// --- The window and its panels ----------------------------------------------------------------
inline constexpr ControlId kForm{"Form1"};
inline constexpr ControlId kVolumePanel{"Frame1"};     // "Volume Informations"
inline constexpr ControlId kSectorPanel{"Frame5"};     // the sector box, the grid and its buttons
inline constexpr ControlId kGridPanel{"Frame3"};       // the sector grid
inline constexpr ControlId kBufferPanel{"Frame6"};     // the copy buffer, over the volume panel
inline constexpr ControlId kBoardPanel{"Frame7"};      // the copy buffer's board
inline constexpr ControlId kDirectoryPanel{"Frame4"};  // the directory report

// --- The sector panel ---------------------------------------------------------------------------
inline constexpr ControlId kSectorBox{"Text21"};        // the current sector number
inline constexpr ControlArray kStepButton{"Command1"};  // "<" and ">"
inline constexpr int kStepBack = 0, kStepForward = 1;
inline constexpr ControlId kSectorHex{"Label45"};     // the sector number in hex
inline constexpr ControlId kDeviceName{"Label58"};    // the chosen device
inline constexpr ControlId kHoverReadout{"Label5"};   // the offset under the pointer
inline constexpr ControlId kLandmarkName{"Label53"};  // the role of the shown sector
inline constexpr ControlArray kRowOffset{"Label77"};  // the offset of each grid row
inline constexpr ControlArray kHexCell{"Label3"};     // byte i of the shown sector, in hex
inline constexpr ControlArray kTextCell{"Label55"};   // byte i of the shown sector, as text
inline constexpr ControlId kResetSelection{"Command7"};
inline constexpr ControlId kCopySelection{"Command2"};
inline constexpr ControlId kCopySector{"Command9"};
inline constexpr ControlId kRefreshBoot{"Command3"};  // the boot-sector refresh, never shown
// The status line under the buttons: where the pointer and the selection lie, who owns the
// shown sector and what Undo would take back, the last command's result.
inline constexpr ControlArray kStatusLine{"lblStatus"};
inline constexpr int kStatusPlace = 0, kStatusOwner = 1, kStatusResult = 2;

// --- The copy buffer
// ------------------------------------------------------------------------------
inline constexpr ControlArray kBoardHexCell{"LabelB3"};
inline constexpr ControlArray kBoardTextCell{"LabelB55"};
inline constexpr ControlId kResetBuffer{"Command8"};
inline constexpr ControlId kPasteSelection{"Command5"};  // "PASTE LAST SELECTION"
inline constexpr ControlId kPasteWithOffset{"Command10"};

// --- The directory panel
// --------------------------------------------------------------------------
inline constexpr ControlId kDirectoryReport{"Text5"};
inline constexpr ControlId kShortEntryView{"Command11"};
inline constexpr ControlId kLongEntryView{"Command12"};
inline constexpr ControlId kCloseDirectory{"Command4"};

// --- The volume panel's value boxes
// --------------------------------------------------------------- The boot-sector fields common to
// every FAT type, and the values derived from them.
enum class PanelField : int {
  JumpBoot = 0,
  OemName = 1,
  BytsPerSec = 2,
  SecPerClus = 3,
  RsvdSec = 4,
  NumFATs = 5,
  RootEntCnt = 6,
  TotSec16 = 7,
  Media = 8,
  FATSz16 = 9,
  SecPerTrk = 10,
  NumHeads = 11,
  HiddSec = 12,
  TotSec32 = 13,
  Fat2Sector = 14,
  Fat1Sector = 15,
  RootDirSectors = 19,
  RootDirEntrySector = 22,
  FirstDataSector = 23,
  Cluster0Sector = 24,
  DataSec = 27,
  CountofClusters = 28,
  FatType = 29,
};
// The fields of the FAT12/FAT16 extension after offset 35.
enum class Fat1216Field : int { DrvNum, Reserved1, BootSig, VolID, VolLab, FilSysType };
// The fields of the FAT32 extension after offset 35.
enum class Fat32Field : int {
  FATSz32,
  ExtFlags,
  FSVer,
  RootClus,
  FSInfo,
  BkBootSec,
  Reserved,
  DrvNum,
  Reserved1,
  BootSig,
  VolID,
  VolLab,
  FilSysType,
};
inline constexpr ControlArray kPanelFields{"Label2"};
inline constexpr ControlArray kFat1216Fields{"Label32"};
inline constexpr ControlArray kFat32Fields{"Label33"};
constexpr ControlId kPanelField(PanelField f) {
  return kPanelFields[static_cast<int>(f)];
}
constexpr ControlId kFat1216Field(Fat1216Field f) {
  return kFat1216Fields[static_cast<int>(f)];
}
constexpr ControlId kFat32Field(Fat32Field f) {
  return kFat32Fields[static_cast<int>(f)];
}

// --- Menus
// ------------------------------------------------------------------------------------------
inline constexpr ControlId kFileMenu{"mnuFile"};
inline constexpr ControlId kOpenImage{"mnuOpenImage"};
inline constexpr ControlId kOpenDevice{"mnuOpenDevice"};
inline constexpr ControlId kRecentMenu{"mnuRecent"};
inline constexpr ControlArray kRecentFile{"mnuRecentFile"};
inline constexpr ControlId kUndoWrite{"mnuUndoWrite"};
inline constexpr ControlId kWriteHistory{"mnuWriteHistory"};
inline constexpr ControlId kShortNameCodePage{"mnuCodePage"};
inline constexpr ControlId kExit{"mnUsci"};
inline constexpr ControlId kVolumeMenu{"mnuVolume"};
inline constexpr ControlArray kVolumeLetter{"mnuA"};  // "A:" ... "R:"
// Moving between sectors from the keyboard (PgUp, PgDn, Ctrl+Home, Ctrl+End, Ctrl+G).
inline constexpr ControlId kPreviousSector{"mnuPrevSector"};
inline constexpr ControlId kNextSector{"mnuNextSector"};
inline constexpr ControlId kFirstSector{"mnuFirstSector"};
inline constexpr ControlId kLastSector{"mnuLastSector"};
inline constexpr ControlId kGotoSector{"mnuGotoSector"};
inline constexpr ControlId kToolsMenu{"mnuTolls"};
inline constexpr ControlId kFileList{"mnuFileList"};  // "1st File List"
inline constexpr ControlId kAnalyzeSector{"mnuAnalFile"};
inline constexpr ControlId kFileFollower{"mnuFileFollow"};
inline constexpr ControlId kClusterChain{"mnuClusChain"};
inline constexpr ControlId kFindFileCluster{"mnuFFind"};
inline constexpr ControlId kFindString{"mnuFString"};
inline constexpr ControlId kFindNext{"mnuFindNext"};      // F3
inline constexpr ControlId kFindPrevious{"mnuFindPrev"};  // Shift+F3
inline constexpr ControlId kFileData{"mnuFileData"};
inline constexpr ControlId kGotoCluster{"mnuGoto_Cluster"};
inline constexpr ControlId kDataInspector{"mnuInspector"};
inline constexpr ControlId kCheckVolume{"mnuCheckVolume"};
inline constexpr ControlId kVolumeData{"mnuVolDa"};  // "MBR Data"
inline constexpr ControlId kCopyBufferMenu{"mnuCopyB"};
inline constexpr ControlId kCopyHex{"mnuCopyHex"};           // the selection as "EB 3C 90"
inline constexpr ControlId kCopyText{"mnuCopyText"};         // the selection as Windows-1252 text
inline constexpr ControlId kPasteClipboard{"mnuPasteClip"};  // hex text into the board
inline constexpr ControlId kHelpMenu{"mnuHelp"};
inline constexpr ControlId kAboutMenu{"mnuAbout"};

// --- The Check Volume window and its repair preview (Qt windows over commands/check_command)
inline constexpr ControlId kCheckWindow{"frmCheckVolume"};
inline constexpr ControlId kCheckSummary{"lblCheckSummary"};
inline constexpr ControlId kFindingList{"lstFindings"};
inline constexpr ControlId kFindingText{"lblFindingText"};  // the selected finding's sentence
inline constexpr ControlId kFindingRepairs{"cboRepairs"};   // the selected finding's repairs
inline constexpr ControlId kShowFinding{"cmdShowFinding"};
inline constexpr ControlId kRepairFinding{"cmdRepair"};
inline constexpr ControlId kRepairAll{"cmdRepairAll"};
inline constexpr ControlId kCheckAgain{"cmdCheckAgain"};
inline constexpr ControlId kPreviewWindow{"frmRepairPreview"};
inline constexpr ControlId kPreviewSummary{"lblPreviewSummary"};
inline constexpr ControlId kPreviewSectors{"lstPreviewSectors"};
inline constexpr ControlId kPreviewDiff{"txtPreviewDiff"};
inline constexpr ControlId kApplyRepair{"cmdApply"};
inline constexpr ControlId kCancelRepair{"cmdCancelRepair"};

}  // namespace dulvex
