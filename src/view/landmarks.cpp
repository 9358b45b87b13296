#include "view/landmarks.h"

namespace dulvex {

namespace {

// BPB_FSInfo and BPB_BkBootSec name no sector when 0 or 0xFFFF.
bool NamesASector(std::int64_t field) {
  return field != 0 && field != 0xFFFF;
}

}  // namespace

std::string SectorNameRule(const VolumeGeometry& g, std::optional<std::int32_t> sector) {
  if (!sector) return "-";
  const std::int64_t n = *sector;
  const bool fat32 = g.FatType == 3;
  // The first case that matches decides, even when its name is empty.
  if (n == 0) return "Master Boot Record Sector 0";
  if (fat32) {
    // The FAT32 boot record: the boot sector, the FSInfo sector, a further boot sector.
    if (NamesASector(g.BPB_FSInfo) && n == g.BPB_FSInfo) return "Boot Record Sector 1";
    if (n == 2) return "Boot Record Sector 2";
  } else if (n == 1 || n == 2) {
    return "";
  }
  if (n == g.Fat1Sector) return "First Sector Of FAT1 (Original FAT)";
  // The copies follow FAT1 at FATSz intervals; a volume may have one FAT, or more than two.
  if (g.FATSz > 0 && n > g.Fat1Sector && (n - g.Fat1Sector) % g.FATSz == 0) {
    const std::int64_t fat = (n - g.Fat1Sector) / g.FATSz + 1;
    if (fat <= g.BPB_NumFATs) return "First Sector Of FAT" + std::to_string(fat) + " (FAT Copy)";
  }
  if (fat32) {
    // The backup of the three boot-record sectors.
    const std::int64_t backup = g.BPB_BkBootSec;
    if (NamesASector(backup) && n >= backup && n <= backup + 2)
      return "Backup copy of Boot Record Sector" + std::to_string(n - backup);
  } else if (n >= 6 && n <= 8) {
    return "";
  }
  if (n == g.FirstDataSector) return "First Data Sector (1st Sector Of Cluster 2)";
  if (n == g.Cluster0Sector) return "First Sector Of Cluster ZERO";
  if (n == g.RootDirEntrySector) return "Root Dir Entry Sector";
  // The further sectors of a FAT12/FAT16 root directory region.
  if ((g.FatType == 1 || g.FatType == 2) && n > g.RootDirEntrySector &&
      n < g.RootDirEntrySector + g.RootDirSectors) {
    return "Root Dir Sector";
  }
  return "-";
}

std::string LandmarkName(const AppState& state, std::optional<std::int32_t> sector) {
  static const VolumeGeometry kNone{};
  return SectorNameRule(state.geometryUsable ? state.geometry : kNone, sector);
}

}  // namespace dulvex
