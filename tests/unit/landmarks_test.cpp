// Landmark names of sector numbers: the first case that matches wins.
#include "view/landmarks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "view/byte_values.h"

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

// The data inspector near the sector's end reads what is there and says what is not; a
// number of each width at its limits; a date and time that cannot be; text either way.
// (The values of a FAT date-time and a 32-bit number: status_line.scn.)
TEST(Inspector, ReadsWhatLiesThereAtAnyBytes) {
  AppState state;
  state.geometry = kFloppy;
  state.geometry.CountofClusters = 2847;
  state.geometryUsable = true;
  const auto lines = [&state](int index, std::vector<std::uint8_t> bytes) {
    return InspectorLines(
        state,
        {index, std::uint64_t{19} * 512 + static_cast<std::uint64_t>(index), std::move(bytes)});
  };
  const auto has = [](const std::vector<std::string>& all, const std::string& line) {
    return std::find(all.begin(), all.end(), line) != all.end();
  };
  const auto end = lines(510, {0xFF, 0xFF});
  EXPECT_TRUE(has(end, "Byte 0x27FE (10238), offset 510 of the sector"));
  EXPECT_TRUE(has(end, "8-bit  u 255 s -1"));
  EXPECT_TRUE(has(end, "16-bit  LE u 65535 s -1  BE u 65535 s -1"));
  EXPECT_TRUE(has(end, "32-bit: past the end of the sector"));
  EXPECT_TRUE(
      has(end, "FAT time 31:63:62 (not a valid time)   FAT date 2107-15-31 (not a valid date)"));
  EXPECT_TRUE(has(end, "UTF-16LE \"\uFFFF\""));
  const auto high = lines(0, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80});
  EXPECT_TRUE(has(high, "64-bit  LE u 9223372036854775808 s -9223372036854775808  BE u 128 s 128"));
  const auto cluster = lines(0, {0x02, 0x00, 0x00, 0x00, 0x13, 0x00});
  EXPECT_TRUE(has(cluster, "Cluster 2 → sector 33"));
  EXPECT_TRUE(has(cluster, "UTF-16LE \"...\""));
  EXPECT_EQ(lines(0, {}).size(), 1u);
}

}  // namespace
}  // namespace dulvex
