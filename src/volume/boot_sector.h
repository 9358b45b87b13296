// Presenting a boot sector: its decoding (fat/boot_sector.h) as the texts and tooltips of the
// "Volume Informations" panel. A pure function of the 512 bytes and the geometry before, so
// that any byte pattern can be tried on it without a device or a window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/sector.h"
#include "base/volume_geometry.h"
#include "core/controls.h"

namespace dulvex {

// A text for one value box of the panel.
struct PanelText {
  ControlId box;
  std::string text;
};

// The value boxes of the values derived from the fields, in the order the refresh fills them.
inline constexpr PanelField kDerivedFields[] = {
    PanelField::RootDirSectors, PanelField::FirstDataSector,
    PanelField::DataSec,        PanelField::CountofClusters,
    PanelField::FatType,        PanelField::Fat2Sector,
    PanelField::Fat1Sector,     PanelField::RootDirEntrySector,
    PanelField::Cluster0Sector};

enum class BootSectorOutcome {
  Complete,  // a FAT volume: every rule holds and every sector number fits the program's range
  Refused,   // readable, but not a FAT volume this program can analyse (see `refusal`)
};

struct BootSectorReading {
  BootSectorOutcome outcome = BootSectorOutcome::Complete;
  // The geometry after the reading: the fields as read; for a refused sector the derived
  // members are 0 (FatType 0), so nothing works from a layout that does not hold.
  VolumeGeometry geometry;
  // The value boxes to write, in the order the refresh fills them: every field as read, the
  // derived values, or "-" for each of them when refused.
  std::vector<PanelText> texts;
  // Tooltips of the derived value boxes: how each value is worked out, with this volume's
  // numbers, and for a refused volume the rule that failed.
  std::vector<PanelText> tooltips;
  // For Refused: the first rule the sector breaks, e.g. "sectors per cluster 3 is not a
  // power of two".
  std::string refusal;
};

// Reads `b`. `previous` supplies the members a sector does not rewrite: the FAT32 fields
// (BPB_FATSz32, BPB_RootClus, BPB_FSInfo, BPB_BkBootSec) when the sector has the FAT12/FAT16
// layout.
BootSectorReading ReadBootSector(const SectorBytes& b, const VolumeGeometry& previous);

// Value texts of the panel: bytes `first` to `last` as upper-case hex, each byte without a
// leading zero, concatenated ("EB 3C 90" gives "EB3C90", "05 00" gives "50"); `count` bytes
// from `first` as characters of the code page, a NUL shown as a visible placeholder.
std::string HexRun(const SectorBytes& b, std::size_t first, std::size_t last);
std::string CharRun(const SectorBytes& b, std::size_t first, std::size_t count);

}  // namespace dulvex
