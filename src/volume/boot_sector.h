// Reading a boot sector: the BIOS Parameter Block decoded into the volume geometry, the
// regions of the volume derived from it, and the texts of the "Volume Informations" panel.
// A pure function of the 512 bytes and the geometry before, so that any byte pattern can be
// tried on it without a device or a window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "volume/volume_geometry.h"

namespace dulvex {

// A text for one value box of the panel (Label2, Label32 or Label33).
struct PanelText {
  const char* name;
  int index;
  std::string text;
};

enum class BootSectorOutcome {
  Complete,     // the geometry is whole and every sector number fits the program's range
  Implausible,  // a field that must not be 0 is 0: bytes per sector, sectors per cluster,
                // number of FATs or sectors per track
  OutOfRange,   // a derived sector number does not fit the program's 32-bit sector numbers
};

struct BootSectorReading {
  BootSectorOutcome outcome = BootSectorOutcome::Complete;
  // The geometry after the reading. An implausible sector has overwritten only the plain
  // fields (offsets 11 to 35); the derived members keep the previous volume's values.
  VolumeGeometry geometry;
  // The value boxes to write, in the order the refresh fills them.
  std::vector<PanelText> texts;
  // For OutOfRange: what did not fit, for the message box.
  std::string problem;
};

// Lowest and highest sector number the program can read or write.
inline constexpr std::int64_t kLowestSectorNumber = -2147483647;
inline constexpr std::int64_t kHighestSectorNumber = 2147483647;

// Reads `b`. `previous` supplies the members a sector does not rewrite: the FAT32 fields
// (BPB_FATSz32, BPB_RootClus) when the sector has the FAT12/FAT16 layout, and the derived
// members when it is implausible.
BootSectorReading ReadBootSector(const SectorBytes& b, const VolumeGeometry& previous);

// Value texts of the panel: bytes `first` to `last` as upper-case hex, each byte without a
// leading zero, concatenated ("EB 3C 90" gives "EB3C90", "05 00" gives "50"); `count` bytes
// from `first` as characters of the code page, a NUL shown as a visible placeholder.
std::string HexRun(const SectorBytes& b, std::size_t first, std::size_t last);
std::string CharRun(const SectorBytes& b, std::size_t first, std::size_t count);

}  // namespace dulvex
