// The volume panel against fsstat (sleuthkit) on volumes made by mkfs.fat: FAT12, FAT16 and
// FAT32, cluster sizes from 1 to 64 sectors, several reserved-sector counts, one and two
// FATs, with and without hidden sectors.
#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <string>

#include "support/test_support.h"

namespace dulvex::testing {
namespace {

struct Range {
  long long first = -1, last = -1;
};

// The first "<label>: a - b" line of fsstat's report, the label possibly after "*" marks.
std::optional<Range> RangeOf(const std::string& report, const std::string& label) {
  std::smatch m;
  const std::regex re("(^|\\n)[* ]*" + label + ": (\\d+) - (\\d+)");
  if (!std::regex_search(report, m, re)) return std::nullopt;
  return Range{std::stoll(m[2]), std::stoll(m[3])};
}

std::string ValueOf(const std::string& report, const std::string& label) {
  std::smatch m;
  const std::regex re("(^|\\n)" + label + ": ([^\\n]*)");
  if (!std::regex_search(report, m, re)) return "<missing>";
  return m[2];
}

long long Number(ModelFixture& f, int index) {
  return std::stoll(f.model.At("Label2", index).caption);
}

TEST(VolumeOracle, PanelAgreesWithFsstat) {
  const struct {
    std::uint64_t sectors;
    const char* options;
  } volumes[] = {
      {2880, "-F 12"},
      {2880, "-F 12 -s 2 -R 4 -f 1"},
      {8000, "-F 12 -s 4 -h 63"},
      {16000, "-F 12 -s 8 -R 8 -h 2048"},
      {20000, "-F 12 -s 16 -f 1"},
      {40000, "-F 12 -s 32 -R 3"},
      {200000, "-F 12 -s 64 -h 1"},
      {20000, "-F 16 -s 1"},
      {40000, "-F 16 -s 2 -R 3 -h 63"},
      {60000, "-F 16 -s 4 -f 1"},
      {100000, "-F 16 -s 8 -R 16"},
      {200000, "-F 16 -s 16 -h 2048 -f 1"},
      {300000, "-F 16 -s 32"},
      {600000, "-F 16 -s 64 -R 7"},
      {70000, "-F 32 -s 1"},
      {140000, "-F 32 -s 2 -R 40 -f 1"},
      {280000, "-F 32 -s 4 -h 2048"},
      {540000, "-F 32 -s 8 -R 12"},
      {1100000, "-F 32 -s 16 -f 1 -h 63"},
      {2200000, "-F 32 -s 32"},
      {4400000, "-F 32 -s 64 -R 64"},
  };
  ModelFixture f;
  for (const auto& v : volumes) {
    SCOPED_TRACE(std::string(v.options) + ", " + std::to_string(v.sectors) + " sectors");
    MakeFatImage(f.Drive('A'), v.sectors, v.options);
    const std::string report = RunCommand("fsstat '" + f.Drive('A').string() + "'");
    f.prompter.shown.clear();
    f.Choose('A');
    ASSERT_TRUE(f.prompter.shown.empty());

    EXPECT_EQ(f.model.At("Label2", 29).caption, ValueOf(report, "File System Type"));
    EXPECT_EQ(f.model.At("Label2", 12).caption, ValueOf(report, "Sectors before file system"));

    std::optional<Range> fat0 = RangeOf(report, "FAT 0");
    ASSERT_TRUE(fat0);
    EXPECT_EQ(Number(f, 15), fat0->first);  // Fat1Sector
    if (std::optional<Range> fat1 = RangeOf(report, "FAT 1")) {
      EXPECT_EQ(Number(f, 14), fat1->first);  // Fat2Sector
    } else {
      EXPECT_EQ(f.model.At("Label2", 5).caption, "1");
    }

    std::optional<Range> clusters = RangeOf(report, "Cluster Area");
    ASSERT_TRUE(clusters);
    EXPECT_EQ(Number(f, 23), clusters->first);  // FirstDataSector

    std::optional<Range> root = RangeOf(report, "Root Directory");
    ASSERT_TRUE(root);
    EXPECT_EQ(Number(f, 22), root->first);  // RootDirEntrySector
    if (f.model.state.geometry.FatType != 3) {
      EXPECT_EQ(Number(f, 19), root->last - root->first + 1);  // RootDirSectors
    }

    std::optional<Range> numbers = RangeOf(report, "Total Cluster Range");
    ASSERT_TRUE(numbers);
    EXPECT_EQ(numbers->first, 2);
    EXPECT_EQ(Number(f, 28), numbers->last - 1);  // CountofClusters: 2 ... count + 1
  }
}

}  // namespace
}  // namespace dulvex::testing
