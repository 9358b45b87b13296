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
    return name == t.box.name && t.box.index == index;
  });
  return t == r.texts.end() ? "<unset>" : t->text;
}

// The FAT32 layout of `f`: no root region, only the 32-bit sizes.
BootFields Fat32(BootFields f) {
  f.rootEntCnt = f.totSec16 = f.fatSz16 = 0;
  return f;
}

// A FAT12/FAT16 layout of `totSec32` sectors in clusters of 4, with FATs of 256 sectors.
BootFields Wide(std::uint32_t totSec32) {
  return {.secPerClus = 4, .totSec16 = 0, .fatSz16 = 256, .totSec32 = totSec32};
}

// The FAT type follows the cluster count alone; a partial cluster does not count. TotSec16
// wins when not 0; fields beyond 15 or 31 bits are shown as they are.
TEST(BootSector, TypeByClusterCountAndWideFields) {
  const struct {
    BootFields f;
    std::int64_t clusters;
    const char* type;
  } cases[] = {
      {Wide(527 + 4 * 4084 + 3), 4084, "FAT12"},
      {Wide(527 + 4 * 4085), 4085, "FAT16"},
      {Wide(527 + 4 * 65524 + 3), 65524, "FAT16"},
      {Fat32({.secPerClus = 4, .totSec32 = 1025 + 4 * 65525, .fatSz32 = 512}), 65525, "FAT32"},
      {{.rootEntCnt = 40960, .totSec16 = 65535, .fatSz16 = 246, .totSec32 = 7}, 62482, "FAT16"},
      {Fat32(
           {.secPerClus = 64, .hiddSec = 4294967295u, .totSec32 = 3000000000u, .fatSz32 = 366211}),
       46863555, "FAT32"},
  };
  for (const auto& c : cases) {
    const BootSectorReading r = Read(c.f);
    ASSERT_EQ(r.refusal, "") << c.clusters;
    EXPECT_EQ(TextOf(r, "Label2", 28) + " " + TextOf(r, "Label2", 29),
              std::to_string(c.clusters) + " " + c.type);
    EXPECT_EQ(TextOf(r, "Label2", 12) + " " + TextOf(r, "Label2", 13),
              std::to_string(c.f.hiddSec) + " " + std::to_string(c.f.totSec32));
  }
}

// Each rule a boot sector must keep, starting from a good floppy (clusters of 3 sectors are in
// volume_panel.scn); a refused sector shows its fields as read and "-" for every derived
// value, and leaves no derived geometry behind.
TEST(BootSector, EachRuleRefusesWithItsReason) {
  const std::pair<BootFields, const char*> cases[] = {
      {{.bytsPerSec = 1000}, "bytes per sector 1000 is not 512, 1024, 2048 or 4096"},
      {{.bytsPerSec = 4096},
       "bytes per sector 4096: this program works with 512-byte sectors only"},
      {{.secPerClus = 0}, "sectors per cluster 0 is not a power of two"},
      {{.rsvdSec = 0}, "reserved sectors 0 is less than 1"},
      {{.numFATs = 0}, "number of FATs 0 is less than 1"},
      {{.fatSz16 = 0}, "FAT size 0 is less than 1"},
      {{.totSec16 = 0}, "total sectors 0 is not greater than the first data sector 33"},
      {{.secPerClus = 2, .totSec16 = 34}, "count of clusters 0 is less than 1"},
      {{.totSec16 = 0, .totSec32 = 70000},
       "count of clusters 69967 makes FAT32, but BPB_FATSz16 9 gives the FAT12/FAT16 layout"},
      {{.fatSz16 = 1}, "FAT size 1 holds 341 entries, fewer than 2865 for 2863 clusters"},
      {Fat32({.totSec32 = 70000, .fatSz32 = 600, .rootClus = 0}),
       "root cluster 0 is not a cluster of this volume (2 to 68800)"},
      {Fat32({.totSec32 = 4294967295u, .fatSz32 = 33554432}),
       "count of clusters 4227858430 is more than FAT32 can number"},
      {Fat32({.secPerClus = 128, .totSec32 = 4294967295u, .fatSz32 = 1500000000u}),
       "FirstDataSector 3000000001 is out of range (sector numbers go from -2147483647 to "
       "2147483647)"},
  };
  for (const auto& [fields, reason] : cases) {
    const BootSectorReading r = Read(fields, VolumeGeometry{.FirstDataSector = 1234});
    EXPECT_EQ(r.outcome, BootSectorOutcome::Refused) << reason;
    EXPECT_EQ(r.refusal, reason);
    EXPECT_EQ(TextOf(r, "Label2", 3), std::to_string(fields.secPerClus));
    EXPECT_EQ(TextOf(r, "Label2", 29) + TextOf(r, "Label2", 23), "--");
    EXPECT_EQ(r.geometry.FirstDataSector + r.geometry.FatType, 0);
    EXPECT_NE(r.tooltips.back().text.find(reason), std::string::npos);  // shown in the tooltips
  }
}

}  // namespace
}  // namespace dulvex::testing
