// Landmark names of sector numbers.
#include "volume/landmarks.h"

#include <gtest/gtest.h>

namespace dulvex {
namespace {

VolumeGeometry Floppy() {
  VolumeGeometry g;  // 1.44 MB FAT12: 1 reserved, 2 FATs of 9, 224 root entries
  g.FatType = 1;
  g.BPB_SecPerClus = 1;
  g.RootDirSectors = 14;
  g.Fat1Sector = 1;
  g.Fat2Sector = 10;
  g.RootDirEntrySector = 19;
  g.FirstDataSector = 33;
  g.Cluster0Sector = 31;
  return g;
}

VolumeGeometry Fat32() {
  VolumeGeometry g;  // 32 reserved, 2 FATs of 1000, root directory in cluster 2
  g.FatType = 3;
  g.BPB_SecPerClus = 8;
  g.Fat1Sector = 32;
  g.Fat2Sector = 1032;
  g.FirstDataSector = 2032;
  g.Cluster0Sector = 2016;
  g.RootDirEntrySector = 2032;
  return g;
}

VolumeGeometry Fat16() {
  VolumeGeometry g;  // FAT1 at sector 1, as on a small FAT16 volume
  g.FatType = 2;
  g.BPB_SecPerClus = 4;
  g.RootDirSectors = 32;
  g.Fat1Sector = 1;
  g.Fat2Sector = 200;
  g.RootDirEntrySector = 399;
  g.FirstDataSector = 431;
  g.Cluster0Sector = 423;
  return g;
}

TEST(SectorNameRule, NamesEachLandmarkFirstCaseWins) {
  struct Case {
    const char* volume;
    VolumeGeometry g;
    std::optional<std::int32_t> sector;
    const char* name;
  } cases[] = {
      {"floppy", Floppy(), 0, "Master Boot Record Sector 0"},
      {"floppy", Floppy(), 1, ""},  // FAT1 starts here, but case 2 comes first
      {"floppy", Floppy(), 2, ""},
      {"floppy", Floppy(), 6, ""},
      {"floppy", Floppy(), 10, "First Sector Of FAT2 (FAT Copy)"},
      {"floppy", Floppy(), 19, "Root Dir Entry Sector"},
      {"floppy", Floppy(), 20, "Root Dir Sector"},
      {"floppy", Floppy(), 30, "Root Dir Sector"},
      {"floppy", Floppy(), 31, "First Sector Of Cluster ZERO"},  // inside the root region
      {"floppy", Floppy(), 32, "Root Dir Sector"},
      {"floppy", Floppy(), 33, "First Data Sector (1st Sector Of Cluster 2)"},
      {"floppy", Floppy(), 34, "-"},
      {"floppy", Floppy(), 18, "-"},
      {"floppy", Floppy(), -1, "-"},
      {"floppy", Floppy(), std::nullopt, "-"},
      {"fat32", Fat32(), 1, "Boot Record Sector 1"},
      {"fat32", Fat32(), 2, "Boot Record Sector 2"},
      {"fat32", Fat32(), 6, "Backup copy of Boot Record Sector0"},
      {"fat32", Fat32(), 7, "Backup copy of Boot Record Sector1"},
      {"fat32", Fat32(), 8, "Backup copy of Boot Record Sector2"},
      {"fat32", Fat32(), 32, "First Sector Of FAT1 (Original FAT)"},
      {"fat32", Fat32(), 1032, "First Sector Of FAT2 (FAT Copy)"},
      {"fat32", Fat32(), 2016, "First Sector Of Cluster ZERO"},
      {"fat32", Fat32(), 2032, "First Data Sector (1st Sector Of Cluster 2)"},
      {"fat32", Fat32(), 2033, "-"},  // no fixed root region on FAT32
      {"fat16", Fat16(), 1, ""},
      {"fat16", Fat16(), 200, "First Sector Of FAT2 (FAT Copy)"},
      {"fat16", Fat16(), 399, "Root Dir Entry Sector"},
      {"fat16", Fat16(), 430, "Root Dir Sector"},
      {"fat16", Fat16(), 423, "First Sector Of Cluster ZERO"},
      {"fat16", Fat16(), 2147483647, "-"},
      {"none", VolumeGeometry{}, 0, "Master Boot Record Sector 0"},
      {"none", VolumeGeometry{}, 1, ""},
      {"none", VolumeGeometry{}, 2, ""},
      {"none", VolumeGeometry{}, 6, ""},
      {"none", VolumeGeometry{}, 7, ""},
      {"none", VolumeGeometry{}, 8, ""},
      {"none", VolumeGeometry{}, 3, "-"},
      {"none", VolumeGeometry{}, 14, "-"},
      {"none", VolumeGeometry{}, -2147483647 - 1, "-"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SectorNameRule(c.g, c.sector), c.name)
        << c.volume << " sector " << (c.sector ? std::to_string(*c.sector) : "none");
  }
}

}  // namespace
}  // namespace dulvex
