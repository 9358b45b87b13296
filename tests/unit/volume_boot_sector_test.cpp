// Boot sectors built by hand, for what mkfs.fat never writes: thresholds, wide fields,
// refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "volume/boot_sector.h"

namespace dulvex::testing {
namespace {

// The fields a test varies; the defaults are those of a 1.44 MB floppy. fatSz32 and rootClus
// are written only in the FAT32 layout (fatSz16 = 0).
struct BootFields {
  std::uint32_t bytsPerSec = 512, secPerClus = 1, rsvdSec = 1, numFATs = 2, rootEntCnt = 224,
                totSec16 = 2880, fatSz16 = 9, secPerTrk = 18, hiddSec = 0, totSec32 = 0,
                fatSz32 = 0, rootClus = 2;
};

SectorBytes BootSector(const BootFields& f) {
  // Offset, width and value of each field, in threes.
  // clang-format off
  const std::uint32_t fields[] = {
      0, 3, 0x903CEB,   11, 2, f.bytsPerSec, 13, 1, f.secPerClus, 14, 2, f.rsvdSec,
      16, 1, f.numFATs, 17, 2, f.rootEntCnt, 19, 2, f.totSec16,   21, 1, 0xF0,
      22, 2, f.fatSz16, 24, 2, f.secPerTrk,  26, 2, 2,            28, 4, f.hiddSec,
      32, 4, f.totSec32, 36, 4, f.fatSz16 ? 0 : f.fatSz32, 44, 4, f.fatSz16 ? 0 : f.rootClus,
      510, 2, 0xAA55};
  // clang-format on
  SectorBytes b{};
  for (std::size_t k = 0; k < std::size(fields); k += 3) {
    for (std::uint32_t i = 0; i < fields[k + 1]; ++i)
      b[fields[k] + i] = (fields[k + 2] >> (8 * i)) & 0xFF;
  }
  return b;
}

BootSectorReading Read(const BootFields& f, const VolumeGeometry& before = {}) {
  return ReadBootSector(BootSector(f), before);
}

// The text the reading gives the box `name(index)`, "<unset>" for none.
std::string TextOf(const BootSectorReading& r, const std::string& name, int index) {
  const auto t = std::find_if(r.texts.begin(), r.texts.end(), [&](const PanelText& t) {
    return name == t.name && t.index == index;
  });
  return t == r.texts.end() ? "<unset>" : t->text;
}

// The FAT type follows the cluster count alone; a partial cluster does not count. A FAT32
// count in the FAT12/FAT16 layout finds the root directory by the previous volume's root
// cluster.
TEST(BootSector, FatTypeByClusterCount) {
  const struct {
    std::uint32_t clusters, extraSectors;
    const char* type;
  } cases[] = {{4084, 3, "FAT12"},  {4085, 0, "FAT16"},  {4085, 3, "FAT16"},
               {65524, 3, "FAT16"}, {65525, 0, "FAT32"}, {0, 3, "FAT12"}};
  const VolumeGeometry before{.BPB_RootClus = 7};
  for (const auto& c : cases) {
    const BootSectorReading r = Read(
        {.secPerClus = 4, .totSec16 = 0, .totSec32 = 33 + 4 * c.clusters + c.extraSectors}, before);
    ASSERT_EQ(r.outcome, BootSectorOutcome::Complete);
    EXPECT_EQ(r.geometry.CountofClusters, c.clusters);
    EXPECT_EQ(TextOf(r, "Label2", 29), c.type) << c.clusters;
    EXPECT_EQ(r.geometry.RootDirEntrySector, c.type == std::string("FAT32") ? 33 + 4 * 5 : 19);
  }
}

// TotSec16 wins when not 0; 16-bit fields with the top bit set stay positive.
TEST(BootSector, TotalSectorsFields) {
  const struct {
    std::uint32_t totSec16, totSec32;
    std::int64_t totSec;
  } cases[] = {{0, 5000, 5000}, {2880, 99999, 2880}, {40960, 0, 40960}, {65535, 7, 65535}};
  for (const auto& c : cases) {
    const BootSectorReading r =
        Read({.rootEntCnt = 40960, .totSec16 = c.totSec16, .totSec32 = c.totSec32});
    ASSERT_EQ(r.outcome, BootSectorOutcome::Complete);
    EXPECT_EQ(r.geometry.TotSec, c.totSec);
    EXPECT_EQ(TextOf(r, "Label2", 7) + " " + TextOf(r, "Label2", 13) + " " + TextOf(r, "Label2", 6),
              std::to_string(c.totSec16) + " " + std::to_string(c.totSec32) + " 40960");
    EXPECT_EQ(r.geometry.DataSec, c.totSec - (1 + 18 + 2560));
  }
}

// The FAT32 layout of `f`: no root region, only the 32-bit sizes.
BootFields Fat32(BootFields f) {
  f.rootEntCnt = f.totSec16 = f.fatSz16 = 0;
  return f;
}

// Fields beyond 31 bits are shown as they are; the volume is usable while its sectors fit.
TEST(BootSector, FieldsBeyondThirtyOneBits) {
  const BootSectorReading r = Read(Fat32(
      {.secPerClus = 64, .hiddSec = 4294967295u, .totSec32 = 3000000000u, .fatSz32 = 366211}));
  EXPECT_EQ(r.outcome, BootSectorOutcome::Complete);
  EXPECT_EQ(TextOf(r, "Label2", 12), "4294967295");
  EXPECT_EQ(TextOf(r, "Label2", 13), "3000000000");
  EXPECT_EQ(TextOf(r, "Label2", 27), "2999267577");
}

TEST(BootSector, SectorNumbersThatDoNotFitAreRefused) {
  const struct {
    BootFields fields;
    const char* problem;
  } cases[] = {
      {Fat32({.numFATs = 1, .totSec32 = 4294967295u, .fatSz32 = 4294967295u}),
       "Fat2Sector 4294967296"},
      {Fat32({.totSec32 = 4294967295u, .fatSz32 = 1500000000u}), "FirstDataSector 3000000001"},
      {Fat32({.secPerClus = 2, .totSec32 = 4294967295u, .fatSz32 = 1000, .rootClus = 0x80000002u}),
       "RootDirEntrySector 4294969297"}};
  for (const auto& c : cases) {
    const BootSectorReading r = Read(c.fields);
    EXPECT_EQ(r.outcome, BootSectorOutcome::OutOfRange);
    EXPECT_EQ(r.problem, c.problem);
    EXPECT_EQ(TextOf(r, "Label33", 3), std::to_string(c.fields.rootClus));  // shown all the same
  }
}

// A zero divisor field: only the jump code and OEM name are shown; derived members stay.
TEST(BootSector, ZeroFieldsAreImplausible) {
  const VolumeGeometry before{.FirstDataSector = 1234};
  for (const BootFields& f : {BootFields{.bytsPerSec = 0}, BootFields{.secPerClus = 0},
                              BootFields{.numFATs = 0}, BootFields{.secPerTrk = 0}}) {
    const BootSectorReading r = Read(f, before);
    EXPECT_EQ(r.outcome, BootSectorOutcome::Implausible);
    EXPECT_EQ(r.texts.size(), 2u);
    EXPECT_EQ(r.geometry.FirstDataSector, 1234);
  }
}

}  // namespace
}  // namespace dulvex::testing
