// Decoding a boot sector: the BIOS Parameter Block read into the volume geometry, checked by
// the rules the program works by, and the regions of the volume derived from it. A pure
// function of the 512 bytes (and of the geometry before, for the fields a FAT12/FAT16
// sector does not hold), so any byte pattern can be tried on it.
#pragma once

#include <cstdint>
#include <string>

#include "base/sector.h"
#include "base/volume_geometry.h"

namespace dulvex::fat {

struct BootSectorDecoding {
  // The geometry to work from: for an accepted sector the fields and every derived member;
  // for a refused one the fields as read and the derived members 0 (FatType 0), so nothing
  // works from a layout that does not hold.
  VolumeGeometry geometry;
  // The derived members worked out as far as the divisors allow, also for a refused sector:
  // what the panel's tooltips explain. `worked` is false when a divisor field is 0.
  VolumeGeometry working;
  bool worked = false;
  // Empty for a FAT volume the program can analyse; else the first rule the sector breaks,
  // e.g. "sectors per cluster 3 is not a power of two".
  std::string refusal;
  bool accepted() const { return refusal.empty(); }
};

// Decodes `b`. `previous` supplies the members a sector does not rewrite: the FAT32 fields
// (BPB_FATSz32, BPB_ExtFlags, BPB_RootClus, BPB_FSInfo, BPB_BkBootSec) when the sector has the
// FAT12/FAT16 layout.
BootSectorDecoding DecodeBootSector(const SectorBytes& b, const VolumeGeometry& previous);

// "FAT12", "FAT16" or "FAT32" for a FatType of 1, 2 or 3.
const char* FatTypeName(std::uint8_t fatType);

}  // namespace dulvex::fat
