// Landmark names of sector numbers.
#include "volume/landmarks.h"

#include <gtest/gtest.h>

namespace dulvex {
namespace {

// 1.44 MB FAT12: 1 reserved, 2 FATs of 9, 224 root entries.
const VolumeGeometry kFloppy{.BPB_SecPerClus = 1,
                             .RootDirSectors = 14,
                             .FirstDataSector = 33,
                             .FatType = 1,
                             .Fat1Sector = 1,
                             .Fat2Sector = 10,
                             .Cluster0Sector = 31,
                             .RootDirEntrySector = 19};
// 32 reserved, 2 FATs of 1000, root directory in cluster 2.
const VolumeGeometry kFat32{.BPB_SecPerClus = 8,
                            .FirstDataSector = 2032,
                            .FatType = 3,
                            .Fat1Sector = 32,
                            .Fat2Sector = 1032,
                            .Cluster0Sector = 2016,
                            .RootDirEntrySector = 2032};
const VolumeGeometry kNone{};

TEST(SectorNameRule, NamesEachLandmarkFirstCaseWins) {
  const struct {
    const VolumeGeometry& g;
    std::optional<std::int32_t> sector;
    const char* name;
  } cases[] = {
      {kFloppy, 0, "Master Boot Record Sector 0"},
      {kFloppy, 1, ""},  // FAT1 starts here, but case 2 comes first
      {kFloppy, 10, "First Sector Of FAT2 (FAT Copy)"},
      {kFloppy, 19, "Root Dir Entry Sector"},
      {kFloppy, 20, "Root Dir Sector"},
      {kFloppy, 31, "First Sector Of Cluster ZERO"},  // inside the root region
      {kFloppy, 32, "Root Dir Sector"},
      {kFloppy, 33, "First Data Sector (1st Sector Of Cluster 2)"},
      {kFloppy, 34, "-"},
      {kFloppy, -1, "-"},
      {kFloppy, std::nullopt, "-"},
      {kFat32, 2, "Boot Record Sector 2"},
      {kFat32, 6, "Backup copy of Boot Record Sector0"},
      {kFat32, 8, "Backup copy of Boot Record Sector2"},
      {kFat32, 32, "First Sector Of FAT1 (Original FAT)"},
      {kFat32, 2016, "First Sector Of Cluster ZERO"},
      {kFat32, 2032, "First Data Sector (1st Sector Of Cluster 2)"},
      {kFat32, 2033, "-"},  // no fixed root region on FAT32
      {kNone, 0, "Master Boot Record Sector 0"},
      {kNone, 7, ""},
      {kNone, INT32_MIN, "-"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SectorNameRule(c.g, c.sector), c.name)
        << c.g.FatType << " sector " << c.sector.value_or(-99);
  }
}

}  // namespace
}  // namespace dulvex
