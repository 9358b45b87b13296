// Check Volume: reads a FAT volume (boot sector, FSInfo, every FAT copy, the directory tree
// and every chain) and lists what is wrong with it, as findings. It never writes. It runs as
// long work: progress in thousandths of the whole check, and it stops soon after a cancel.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/progress.h"
#include "base/sector.h"
#include "base/volume_geometry.h"
#include "check/finding.h"
#include "fat/byte_source.h"
#include "fat/fat_table.h"
#include "fat/owner_map.h"
#include "fat/tree.h"

namespace dulvex::check {

struct CheckResult {
  // In the order found. At most kMaxPerKind findings of one kind are kept; `omitted` counts
  // those left out, by kind.
  std::vector<Finding> findings;
  std::array<std::uint64_t, kFindingKinds> omitted{};
  static constexpr std::size_t kMaxPerKind = 1000;
  bool cancelled = false;
  // False when the check could not go through the whole volume (no usable boot sector, the
  // FAT in use unreadable, or a cancel): the findings then cover only what was read.
  bool complete = false;

  // What the check read, for the repairs and the window.
  SectorBytes boot{};                // sector 0 as read
  std::int64_t geometrySector = -1;  // the boot sector the geometry comes from (0, or the
                                     // backup when sector 0 breaks a rule); -1 for none
  VolumeGeometry geometry;
  std::optional<fat::Layout> layout;
  std::optional<fat::FatTable> fatTable;  // the copy the chains are read from, read whole
  unsigned fatInUse = 0;                  // which copy that is (0 for FAT1)
  std::optional<fat::Tree> tree;
  std::optional<fat::OwnerMap> owners;
  std::uint64_t freeClusters = 0;  // entries of the FAT in use that say free
  // Every lost chain (the findings keep at most kMaxPerKind): its first cluster and length.
  struct LostRun {
    std::uint32_t head = 0;
    std::uint64_t length = 0;
  };
  std::vector<LostRun> lostChains;

  bool Clean() const { return complete && findings.empty(); }
  // Findings of `kind`, the omitted ones included.
  std::uint64_t Count(FindingKind kind) const;
  std::uint64_t Total() const;
  const fat::FatTable& fat() const { return *fatTable; }
};

// Checks the volume on `medium` (its sector 0 is its boot sector); short names in the
// findings are read in `page`.
CheckResult CheckVolume(fat::ByteSource& medium, WorkProgress* progress = nullptr,
                        OemCodePage page = kDefaultOemCodePage);

}  // namespace dulvex::check
