// Where the parts of a FAT volume lie, in the program's 512-byte sectors, taken from the
// volume geometry of the last refresh. Every tool of the FAT engine works from a Layout, so
// a geometry that cannot describe a FAT volume is refused once, here, with its reason.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/volume_geometry.h"

namespace dulvex::fat {

inline constexpr std::uint64_t kSectorBytes = 512;

enum class FatKind : std::uint8_t { Fat12, Fat16, Fat32 };

struct Layout {
  FatKind kind = FatKind::Fat12;
  std::uint32_t sectorsPerCluster = 1;
  std::uint32_t clusterBytes = 512;
  std::uint32_t numFats = 1;
  // The FAT the volume keeps up to date (0 for FAT1): FAT1, unless a FAT32 volume has turned
  // mirroring off and names another one in its extended flags.
  unsigned activeFat = 0;
  bool mirrored = true;  // every FAT is a copy of the active one
  std::int64_t fat1Sector = 0;
  std::int64_t fatSectors = 0;  // sectors of one FAT
  std::int64_t rootSector = 0;  // FAT12/FAT16: the fixed root directory region
  std::int64_t rootSectors = 0;
  std::uint32_t rootCluster = 0;     // FAT32: first cluster of the root directory
  std::int64_t firstDataSector = 0;  // first sector of cluster 2
  // Data clusters: the volume's count, cut to what its FAT can describe and to the sector
  // numbers the program reaches. Clusters are numbered 2 to MaxCluster().
  std::uint32_t clusterCount = 0;

  std::uint32_t MaxCluster() const { return clusterCount + 1; }
  bool IsCluster(std::uint64_t n) const { return n >= 2 && n <= MaxCluster(); }
  // Bits of one FAT entry: 12, 16 or 32 (of which FAT32 uses the low 28).
  unsigned EntryBits() const;
  std::int64_t FatSector(unsigned fatIndex) const { return fat1Sector + fatIndex * fatSectors; }
  std::int64_t ClusterSector(std::uint32_t n) const {
    return firstDataSector + static_cast<std::int64_t>(n - 2) * sectorsPerCluster;
  }
  std::uint64_t ClusterOffset(std::uint32_t n) const {
    return static_cast<std::uint64_t>(ClusterSector(n)) * kSectorBytes;
  }
  // The cluster that holds sector `sector`, when it lies in the data region.
  std::optional<std::uint32_t> ClusterOfSector(std::int64_t sector) const;
  // Which FAT (0 for FAT1) holds sector `sector`, when it lies in one.
  std::optional<unsigned> FatOfSector(std::int64_t sector) const;
};

// The layout of a refreshed volume, or why its geometry describes no FAT volume the tools
// can use (a short phrase: "no FAT volume has been read").
struct LayoutReading {
  std::optional<Layout> layout;
  std::string problem;
};
LayoutReading LayoutOf(const VolumeGeometry& g);

}  // namespace dulvex::fat
