// Reading boot sectors: the geometry, the panel's texts, and the refresh through the
// Volume menu on hand-built sectors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"
#include "volume/boot_sector.h"
#include "volume_sectors.h"

namespace dulvex::testing {
namespace {

std::string TextOf(const BootSectorReading& r, const std::string& name, int index) {
  std::string found = "<unset>";
  for (const PanelText& t : r.texts) {
    if (name == t.name && t.index == index) found = t.text;
  }
  return found;
}

// Puts `sector` at sector 0 of a zero-filled image behind `letter`.
void PutVolume(ModelFixture& f, char letter, const SectorBytes& sector,
               std::uint64_t sectors = 64) {
  MakeZeroImage(f.Drive(letter), sectors);
  PokeBytes(f.Drive(letter), 0, 0, std::vector<std::uint8_t>(sector.begin(), sector.end()));
}

std::string Box(ModelFixture& f, const char* name, int index) {
  return f.model.At(name, index).caption;
}

TEST(BootSector, FloppyThroughTheVolumeMenu) {
  ModelFixture f;
  PutVolume(f, 'A', BootSector({}), 2880);
  f.Choose('A');
  EXPECT_TRUE(f.prompter.shown.empty());
  const struct {
    const char* name;
    int index;
    const char* text;
  } expected[] = {
      {"Label2", 0, "EB3C90"},    {"Label2", 1, "MSDOS5.0"},
      {"Label2", 2, "512"},       {"Label2", 3, "1"},
      {"Label2", 4, "1"},         {"Label2", 5, "2"},
      {"Label2", 6, "224"},       {"Label2", 7, "2880"},
      {"Label2", 8, "F0"},        {"Label2", 9, "9"},
      {"Label2", 10, "18"},       {"Label2", 11, "2"},
      {"Label2", 12, "0"},        {"Label2", 13, "0"},
      {"Label2", 19, "14"},       {"Label2", 23, "33"},
      {"Label2", 27, "2847"},     {"Label2", 28, "2847"},
      {"Label2", 29, "FAT12"},    {"Label2", 15, "1"},
      {"Label2", 14, "10"},       {"Label2", 22, "19"},
      {"Label2", 24, "31"},       {"Label32", 0, "0"},
      {"Label32", 1, "0"},        {"Label32", 2, "41"},
      {"Label32", 3, "CDA0125"},  {"Label32", 4, "NO NAME    "},
      {"Label32", 5, "FAT12   "}, {"Label33", 0, ""},
  };
  for (const auto& e : expected) {
    EXPECT_EQ(Box(f, e.name, e.index), e.text) << e.name << "(" << e.index << ")";
  }
  const VolumeGeometry& g = f.model.state.geometry;
  EXPECT_EQ(g.FatType, 1);
  EXPECT_EQ(g.RootDirEntrySector, 19);
  EXPECT_EQ(g.Cluster0Sector, 31);
  EXPECT_TRUE(f.model.At("Text21").enabled);
  EXPECT_TRUE(f.model.At("Command1", 1).enabled);
  EXPECT_TRUE(f.model.At("mnuTolls").enabled);
  EXPECT_EQ(f.model.Label3[0]->caption, "EB");
  EXPECT_FALSE(f.model.At("Command3").visible);
}

// DataSec lands on either side of the thresholds; the FAT type follows the cluster count
// alone, whatever the layout says.
TEST(BootSector, FatTypeByClusterCount) {
  const struct {
    std::int64_t clusters;
    std::uint32_t extraSectors;  // a partial cluster that does not count
    const char* type;
  } cases[] = {
      {4084, 3, "FAT12"},  {4085, 0, "FAT16"},  {4085, 3, "FAT16"},
      {65524, 3, "FAT16"}, {65525, 0, "FAT32"}, {0, 3, "FAT12"},
  };
  for (const auto& c : cases) {
    BootFields fields;
    fields.secPerClus = 4;
    fields.totSec16 = 0;
    fields.totSec32 = static_cast<std::uint32_t>(33 + 4 * c.clusters + c.extraSectors);
    BootSectorReading r = ReadBootSector(BootSector(fields), {});
    ASSERT_EQ(r.outcome, BootSectorOutcome::Complete);
    EXPECT_EQ(r.geometry.FirstDataSector, 33);
    EXPECT_EQ(r.geometry.CountofClusters, c.clusters);
    EXPECT_EQ(TextOf(r, "Label2", 29), c.type) << c.clusters;
  }
}

TEST(BootSector, Fat32TypeWithASixteenBitFatSizeUsesTheLastRootCluster) {
  BootFields fields;
  fields.totSec16 = 0;
  fields.totSec32 = 33 + 65525;
  // No FAT32-layout sector read before: the root cluster is 0.
  BootSectorReading r = ReadBootSector(BootSector(fields), {});
  EXPECT_EQ(r.geometry.FatType, 3);
  EXPECT_EQ(TextOf(r, "Label32", 5), "FAT12   ");
  EXPECT_EQ(TextOf(r, "Label33", 3), "<unset>");
  EXPECT_EQ(r.geometry.RootDirEntrySector, 31);
  VolumeGeometry before;
  before.BPB_RootClus = 5;
  before.BPB_FATSz32 = 77;
  r = ReadBootSector(BootSector(fields), before);
  EXPECT_EQ(r.geometry.RootDirEntrySector, 31 + 5);
  EXPECT_EQ(r.geometry.BPB_FATSz32, 77);
  EXPECT_EQ(r.geometry.FATSz, 9);
}

TEST(BootSector, TotalSectorsFieldsAndWideSixteenBitValues) {
  const struct {
    std::uint32_t totSec16, totSec32;
    std::int64_t totSec;
  } cases[] = {
      {0, 5000, 5000},      // the 32-bit field when the 16-bit one is 0
      {2880, 99999, 2880},  // a non-zero 16-bit field wins
      {40960, 0, 40960},    // top bit set in a 16-bit field
      {65535, 7, 65535},
  };
  for (const auto& c : cases) {
    BootFields fields;
    fields.totSec16 = c.totSec16;
    fields.totSec32 = c.totSec32;
    fields.rootEntCnt = 40960;
    BootSectorReading r = ReadBootSector(BootSector(fields), {});
    ASSERT_EQ(r.outcome, BootSectorOutcome::Complete);
    EXPECT_EQ(r.geometry.TotSec, c.totSec);
    EXPECT_EQ(TextOf(r, "Label2", 7), std::to_string(c.totSec16));
    EXPECT_EQ(TextOf(r, "Label2", 13), std::to_string(c.totSec32));
    EXPECT_EQ(TextOf(r, "Label2", 6), "40960");
    EXPECT_EQ(r.geometry.RootDirSectors, 2560);
    EXPECT_EQ(r.geometry.DataSec, c.totSec - (1 + 18 + 2560));
  }
}

// Fields beyond the 32-bit signed range are shown as they are; the volume is usable while
// its sector numbers fit.
TEST(BootSector, FieldsBeyondThirtyOneBits) {
  BootFields fields;
  fields.hiddSec = 4294967295u;
  fields.totSec16 = 0;
  fields.totSec32 = 3000000000u;
  fields.secPerClus = 64;
  fields.rootEntCnt = 0;
  fields.fatSz16 = 0;
  fields.fatSz32 = 366211;
  BootSectorReading r = ReadBootSector(BootSector(fields), {});
  EXPECT_EQ(r.outcome, BootSectorOutcome::Complete);
  EXPECT_EQ(TextOf(r, "Label2", 12), "4294967295");
  EXPECT_EQ(TextOf(r, "Label2", 13), "3000000000");
  EXPECT_EQ(r.geometry.TotSec, 3000000000);
  EXPECT_EQ(TextOf(r, "Label2", 27), "2999267577");
  EXPECT_EQ(TextOf(r, "Label2", 29), "FAT32");
}

TEST(BootSector, SectorNumbersThatDoNotFitAreRefused) {
  const struct {
    std::uint32_t fatSz32, rootClus, numFATs;
    const char* problem;
  } cases[] = {
      {4294967295u, 2, 1, "Fat2Sector 4294967296"},
      {1500000000u, 2, 2, "FirstDataSector 3000000001"},
      {1000, 0x80000002u, 2, "RootDirEntrySector 4294969297"},
  };
  for (const auto& c : cases) {
    BootFields fields;
    fields.totSec16 = 0;
    fields.totSec32 = 4294967295u;
    fields.rootEntCnt = 0;
    fields.fatSz16 = 0;
    fields.fatSz32 = c.fatSz32;
    fields.rootClus = c.rootClus;
    fields.numFATs = c.numFATs;
    fields.secPerClus = 2;
    BootSectorReading r = ReadBootSector(BootSector(fields), {});
    EXPECT_EQ(r.outcome, BootSectorOutcome::OutOfRange);
    EXPECT_EQ(r.problem, c.problem);
    // Shown truthfully all the same.
    EXPECT_EQ(TextOf(r, "Label33", 3), std::to_string(c.rootClus));
  }
}

TEST(BootSector, ZeroFieldsAreImplausibleAndKeepTheDerivedMembers) {
  // Bytes per sector, sectors per cluster, number of FATs, sectors per track.
  const struct { std::size_t at, width; } fields[] = {{11, 2}, {13, 1}, {16, 1}, {24, 2}};
  VolumeGeometry before;
  before.FirstDataSector = 1234;
  before.FatType = 2;
  for (const auto& field : fields) {
    SectorBytes b = BootSector({});
    for (std::size_t i = 0; i < field.width; ++i) b[field.at + i] = 0;
    BootSectorReading r = ReadBootSector(b, before);
    EXPECT_EQ(r.outcome, BootSectorOutcome::Implausible) << field.at;
    EXPECT_EQ(r.texts.size(), 2u);  // only the jump code and the OEM name
    EXPECT_EQ(r.geometry.FirstDataSector, 1234);
    EXPECT_EQ(r.geometry.FatType, 2);
    EXPECT_EQ(r.geometry.BPB_TotSec16, 2880);
  }
}

TEST(BootSector, ValueTexts) {
  SectorBytes b{};
  const std::uint8_t bytes[] = {0x05, 0x00, 0xEB, 0x3C, 0x90, 'A', 0, 'B', 0x80, 0xFF};
  std::copy(std::begin(bytes), std::end(bytes), b.begin());
  EXPECT_EQ(HexRun(b, 0, 1), "50");
  EXPECT_EQ(HexRun(b, 2, 4), "EB3C90");
  EXPECT_EQ(HexRun(b, 510, 515), "00");  // never past the sector
  // Nothing after a NUL is lost, nothing is trimmed, bytes go through Windows-1252.
  EXPECT_EQ(CharRun(b, 5, 5), "A\u2400B\u20AC\u00FF");
  EXPECT_EQ(CharRun(b, 508, 11), "\u2400\u2400\u2400\u2400");
}

TEST(BootSector, AllZeroSectorFailsWithTwoMessages) {
  ModelFixture f;
  PutVolume(f, 'A', BootSector({}));
  f.Choose('A');
  ASSERT_TRUE(f.model.At("Text21").enabled);
  f.prompter.shown.clear();
  MakeZeroImage(f.Drive('B'), 4);
  f.Choose('B');
  ASSERT_EQ(f.prompter.shown.size(), 2u);
  EXPECT_EQ(f.prompter.shown[0].text, "SOME INVALID DATA READ.");
  EXPECT_EQ(f.prompter.shown[0].style, 48);
  EXPECT_EQ(f.prompter.shown[0].title, "DulvexHexEditor");
  EXPECT_EQ(f.prompter.shown[1].text, "TRY TO SET ANOTHER DEVICE/VOLUME.");
  EXPECT_EQ(Box(f, "Label2", 0), "000");
  std::string eightNuls;
  for (int i = 0; i < 8; ++i) eightNuls += "\u2400";
  EXPECT_EQ(Box(f, "Label2", 1), eightNuls);
  EXPECT_EQ(Box(f, "Label2", 2), "512");  // the rows of the previous volume stay
  EXPECT_FALSE(f.model.At("Text21").enabled);
  EXPECT_FALSE(f.model.At("Command1", 0).enabled);
  EXPECT_FALSE(f.model.At("Command1", 1).enabled);
  EXPECT_TRUE(f.model.At("mnuTolls").enabled);  // TOOLS keeps its state
  EXPECT_EQ(Box(f, "Label58", -1), "-");
}

TEST(BootSector, EachLayoutKeepsTheOtherGroup) {
  ModelFixture f;
  BootFields fat32;
  fat32.secPerClus = 1;
  fat32.rsvdSec = 32;
  fat32.rootEntCnt = 0;
  fat32.totSec16 = 0;
  fat32.totSec32 = 70000;
  fat32.fatSz16 = 0;
  fat32.fatSz32 = 540;
  PutVolume(f, 'C', BootSector(fat32));
  BootFields fat16;
  fat16.secPerClus = 4;
  fat16.rootEntCnt = 512;
  fat16.totSec16 = 40000;
  fat16.fatSz16 = 40;
  PutVolume(f, 'D', BootSector(fat16));

  f.Choose('C');
  EXPECT_TRUE(f.prompter.shown.empty());
  EXPECT_EQ(Box(f, "Label2", 29), "FAT32");
  EXPECT_EQ(Box(f, "Label2", 22), "1112");  // 32 + 2 x 540, cluster 2
  EXPECT_EQ(Box(f, "Label33", 0), "540");
  EXPECT_EQ(Box(f, "Label33", 12), "FAT32   ");
  EXPECT_EQ(Box(f, "Label32", 5), "");

  f.Choose('D');
  EXPECT_TRUE(f.prompter.shown.empty());
  EXPECT_EQ(Box(f, "Label2", 29), "FAT16");
  EXPECT_EQ(Box(f, "Label32", 5), "FAT12   ");
  EXPECT_EQ(Box(f, "Label33", 0), "540");
  EXPECT_EQ(Box(f, "Label33", 3), "2");
  EXPECT_EQ(Box(f, "Label33", 11), "BIG VOLUME ");
  EXPECT_EQ(f.model.state.geometry.BPB_FATSz32, 540);
  EXPECT_EQ(f.model.state.geometry.FATSz, 40);
  EXPECT_EQ(f.model.state.geometry.RootDirEntrySector, 81);

  f.Choose('C');
  EXPECT_EQ(Box(f, "Label32", 5), "FAT12   ");
  EXPECT_EQ(Box(f, "Label2", 9), "0");
}

TEST(BootSector, RootClusterWithTopBitSetIsShownThenRefused) {
  ModelFixture f;
  BootFields fields;
  fields.rsvdSec = 32;
  fields.rootEntCnt = 0;
  fields.totSec16 = 0;
  fields.totSec32 = 70000;
  fields.fatSz16 = 0;
  fields.fatSz32 = 540;
  fields.rootClus = 0x80000000u;
  fields.hiddSec = 4294967295u;
  PutVolume(f, 'C', BootSector(fields));
  f.Choose('C');
  ASSERT_EQ(f.prompter.shown.size(), 2u);
  EXPECT_EQ(f.prompter.shown[0].text,
            "Volume refused: RootDirEntrySector 2147484758 is out of range (sector numbers go "
            "from -2147483647 to 2147483647).");
  EXPECT_EQ(f.prompter.shown[1].text, "TRY TO SET ANOTHER DEVICE/VOLUME.");
  EXPECT_EQ(Box(f, "Label33", 3), "2147483648");
  EXPECT_EQ(Box(f, "Label2", 12), "4294967295");
  EXPECT_EQ(Box(f, "Label2", 22), "2147484758");
  EXPECT_FALSE(f.model.At("Text21").enabled);
  EXPECT_FALSE(f.model.At("mnuTolls").enabled);
  EXPECT_EQ(Box(f, "Label58", -1), "-");
}

}  // namespace
}  // namespace dulvex::testing
