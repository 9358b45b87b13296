#include "volume/landmarks.h"

namespace dulvex {

std::string SectorNameRule(const VolumeGeometry& g, std::optional<std::int32_t> sector) {
  if (!sector) return "-";
  const std::int64_t n = *sector;
  const bool fat32 = g.FatType == 3;
  // The first case that matches decides, even when its name is empty.
  if (n == 0) return "Master Boot Record Sector 0";
  if (n == 1) return fat32 ? "Boot Record Sector 1" : "";
  if (n == 2) return fat32 ? "Boot Record Sector 2" : "";
  if (n == g.Fat1Sector) return "First Sector Of FAT1 (Original FAT)";
  if (n == g.Fat2Sector) return "First Sector Of FAT2 (FAT Copy)";
  if (n == 6) return fat32 ? "Backup copy of Boot Record Sector0" : "";
  if (n == 7) return fat32 ? "Backup copy of Boot Record Sector1" : "";
  if (n == 8) return fat32 ? "Backup copy of Boot Record Sector2" : "";
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

}  // namespace dulvex
