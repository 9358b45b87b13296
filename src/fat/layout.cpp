#include "fat/layout.h"

#include <algorithm>

#include "base/sector.h"

namespace dulvex::fat {

namespace {

// Cluster numbers above these hold the reserved, bad and end-of-chain values.
std::uint32_t HighestClusterOfKind(FatKind kind) {
  switch (kind) {
    case FatKind::Fat12:
      return 0xFF6;
    case FatKind::Fat16:
      return 0xFFF6;
    case FatKind::Fat32:
      break;
  }
  return 0x0FFFFFF6;
}

}  // namespace

unsigned Layout::EntryBits() const {
  return kind == FatKind::Fat12 ? 12 : kind == FatKind::Fat16 ? 16 : 32;
}

std::optional<std::uint32_t> Layout::ClusterOfSector(std::int64_t sector) const {
  if (sector < firstDataSector) return std::nullopt;
  const std::int64_t n = 2 + (sector - firstDataSector) / sectorsPerCluster;
  if (n > MaxCluster()) return std::nullopt;
  return static_cast<std::uint32_t>(n);
}

std::optional<unsigned> Layout::FatOfSector(std::int64_t sector) const {
  if (sector < fat1Sector || fatSectors <= 0) return std::nullopt;
  const std::int64_t k = (sector - fat1Sector) / fatSectors;
  if (k >= numFats) return std::nullopt;
  return static_cast<unsigned>(k);
}

LayoutReading LayoutOf(const VolumeGeometry& g) {
  if (g.FatType < 1 || g.FatType > 3) return {std::nullopt, "no FAT volume has been read"};
  if (g.BPB_BytsPerSec != 512)
    return {std::nullopt, "its sectors are " + std::to_string(g.BPB_BytsPerSec) +
                              " bytes long, and the tools work in sectors of 512 bytes"};
  if (g.BPB_SecPerClus < 1 || g.BPB_SecPerClus > 255 || g.BPB_NumFATs < 1 || g.FATSz < 1 ||
      g.BPB_RsvdSec < 0)
    return {std::nullopt, "its boot sector gives no FAT"};
  Layout l;
  l.kind = g.FatType == 1 ? FatKind::Fat12 : g.FatType == 2 ? FatKind::Fat16 : FatKind::Fat32;
  l.sectorsPerCluster = static_cast<std::uint32_t>(g.BPB_SecPerClus);
  l.clusterBytes = l.sectorsPerCluster * static_cast<std::uint32_t>(kSectorBytes);
  l.numFats = static_cast<std::uint32_t>(g.BPB_NumFATs);
  // The extended flags are read only from a FAT32-layout boot sector (FATSz16 = 0).
  if (l.kind == FatKind::Fat32 && g.BPB_FATSz16 == 0 && (g.BPB_ExtFlags & 0x80) != 0) {
    l.mirrored = false;
    // Flags that name a FAT the volume does not have fall back to FAT1.
    const auto named = static_cast<unsigned>(g.BPB_ExtFlags & 0x0F);
    l.activeFat = named < l.numFats ? named : 0;
  }
  l.fat1Sector = g.BPB_RsvdSec;
  l.fatSectors = g.FATSz;
  l.rootSector = g.BPB_RsvdSec + g.BPB_NumFATs * g.FATSz;
  l.rootSectors = std::max<std::int64_t>(g.RootDirSectors, 0);
  l.rootCluster =
      static_cast<std::uint32_t>(std::clamp<std::int64_t>(g.BPB_RootClus, 0, 0xFFFFFFFF));
  l.firstDataSector = g.FirstDataSector;
  if (l.firstDataSector < 0 || l.firstDataSector > kHighestSectorNumber)
    return {std::nullopt, "its data region lies beyond the sectors the program reaches"};

  // Entries one FAT can hold, the two reserved ones included.
  const std::int64_t entries =
      std::min<std::int64_t>(g.FATSz, (std::int64_t{1} << 40) / 512) * 512 * 8 / l.EntryBits();
  std::int64_t count = std::min<std::int64_t>(g.CountofClusters, entries - 2);
  count = std::min<std::int64_t>(count, HighestClusterOfKind(l.kind) - 1);
  count = std::min<std::int64_t>(
      count, (kHighestSectorNumber - l.firstDataSector + 1) / l.sectorsPerCluster);
  if (count < 1) return {std::nullopt, "it has no data clusters"};
  l.clusterCount = static_cast<std::uint32_t>(count);
  return {l, {}};
}

}  // namespace dulvex::fat
