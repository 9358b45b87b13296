// Landmark names of sector numbers: the first case that matches wins.
#include "view/landmarks.h"

#include <gtest/gtest.h>

namespace dulvex {
namespace {

// clang-format off
// 1.44 MB FAT12: 1 reserved, 2 FATs of 9, 224 root entries.
const VolumeGeometry kFloppy{.BPB_SecPerClus = 1, .BPB_NumFATs = 2, .RootDirSectors = 14,
    .FATSz = 9, .FirstDataSector = 33, .FatType = 1, .Fat1Sector = 1, .Fat2Sector = 10,
    .Cluster0Sector = 31, .RootDirEntrySector = 19};
// 32 reserved, 3 FATs of 1000, FSInfo at 1, no backup, root directory in cluster 2.
const VolumeGeometry kFat32{.BPB_SecPerClus = 8, .BPB_NumFATs = 3, .BPB_FSInfo = 1,
    .BPB_BkBootSec = 0, .FATSz = 1000, .FirstDataSector = 3032, .FatType = 3, .Fat1Sector = 32,
    .Fat2Sector = 1032, .Cluster0Sector = 3016, .RootDirEntrySector = 3032};
// clang-format on
const VolumeGeometry kNone{};  // nothing read yet

// Sector 0, FAT2, the first data sector and the FAT32 boot record's names are shown in
// volume_menu.scn and volume_panel.scn.
TEST(SectorNameRule, NamesEachLandmarkFirstCaseWins) {
  const struct {
    const VolumeGeometry& g;
    std::optional<std::int32_t> sector;
    const char* name;
  } cases[] = {
      {kFloppy, 1, ""},  // FAT1 starts here, but case 1 comes first on FAT12/FAT16
      {kFloppy, 20, "Root Dir Sector"},
      {kFloppy, 31, "First Sector Of Cluster ZERO"},  // inside the root region
      {kFloppy, 34, "-"},
      {kFloppy, std::nullopt, "-"},
      {kFat32, 2032, "First Sector Of FAT3 (FAT Copy)"},
      {kFat32, 6, "-"},     // BPB_BkBootSec 0: no backup
      {kFat32, 3033, "-"},  // no fixed root region on FAT32
      {kNone, 7, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SectorNameRule(c.g, c.sector), c.name)
        << c.g.FatType << " sector " << c.sector.value_or(-99);
  }
}

}  // namespace
}  // namespace dulvex
