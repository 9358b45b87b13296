// The volume panel and the directory analyzer against independent tools, on volumes made by
// mkfs.fat and filled by mtools: fsstat and fls (sleuthkit), and mdir.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>

#include "support/test_support.h"

namespace dulvex::testing {
namespace {

std::string Quote(const std::filesystem::path& p) {
  return "'" + p.string() + "'";
}

// Makes A: with mkfs.fat, runs the mtools commands ("mcopy ARGS") on it, chooses it, and
// gives fsstat's report of it.
std::string OracleVolume(ModelFixture& f, std::uint64_t sectors, const std::string& options,
                         const std::vector<std::string>& mtools = {}) {
  const std::string image = Quote(f.Drive('A'));
  MakeFatImage(f.Drive('A'), sectors, options);
  for (const std::string& c : mtools) {
    const std::size_t space = c.find(' ');
    RunCommand("MTOOLS_SKIP_CHECK=1 " + c.substr(0, space) + " -i " + image + c.substr(space));
  }
  f.prompter.shown.clear();
  f.Choose('A');
  EXPECT_TRUE(f.prompter.shown.empty());
  return RunCommand("fsstat " + image);
}

// The number (or the "a - b" range) after "label:" at the start of a line, "*" marks allowed.
std::vector<long long> NumbersOf(const std::string& report, const std::string& label) {
  std::smatch m;
  std::regex_search(report, m, std::regex("(^|\\n)[* ]*" + label + ":\\s*(\\d+)( - (\\d+))?"));
  std::vector<long long> numbers;
  for (int i : {2, 4})
    if (m[i].matched) numbers.push_back(std::stoll(m[i]));
  return numbers;
}

long long Box(ModelFixture& f, int index) {
  return std::stoll(f.model.At("Label2", index).caption);
}

TEST(VolumeOracle, PanelAgreesWithFsstat) {
  // clang-format off
  const std::pair<std::uint64_t, const char*> volumes[] = {
      {2880, "-F 12"}, {2880, "-F 12 -s 2 -R 4 -f 1"}, {16000, "-F 12 -s 8 -R 8 -h 2048 -f 3"},
      {200000, "-F 12 -s 64 -h 1"}, {20000, "-F 16 -s 1"}, {40000, "-F 16 -s 2 -R 3 -h 63"},
      {200000, "-F 16 -s 16 -h 2048 -f 1"}, {600000, "-F 16 -s 64 -R 7"}, {70000, "-F 32 -s 1"},
      {140000, "-F 32 -s 2 -R 40 -f 1"}, {1100000, "-F 32 -s 16 -f 1 -h 63"},
      {4400000, "-F 32 -s 64 -R 64"}};
  // clang-format on
  ModelFixture f;
  for (const auto& [sectors, options] : volumes) {
    SCOPED_TRACE(std::string(options) + ", " + std::to_string(sectors) + " sectors");
    const std::string report = OracleVolume(f, sectors, options);
    EXPECT_NE(report.find("\nFile System Type: " + f.model.At("Label2", 29).caption + "\n"),
              std::string::npos);
    EXPECT_EQ(Box(f, 12), NumbersOf(report, "Sectors before file system").at(0));
    EXPECT_EQ(Box(f, 15), NumbersOf(report, "FAT 0").at(0));         // Fat1Sector
    const std::vector<long long> fat1 = NumbersOf(report, "FAT 1");  // none with one FAT
    EXPECT_EQ(fat1.empty() ? 1 : Box(f, 14), fat1.empty() ? Box(f, 5) : fat1[0]);  // Fat2Sector
    EXPECT_EQ(Box(f, 23), NumbersOf(report, "Cluster Area").at(0));  // FirstDataSector
    const std::vector<long long> root = NumbersOf(report, "Root Directory");
    EXPECT_EQ(Box(f, 22), root.at(0));                            // RootDirEntrySector
    const bool fat32 = f.model.state.geometry.FatType == 3;       // its root is a cluster chain
    EXPECT_EQ(Box(f, 19), fat32 ? 0 : root.at(1) - root[0] + 1);  // RootDirSectors
    EXPECT_EQ(Box(f, 28) + 1, NumbersOf(report, "Total Cluster Range").at(1));  // 2..count+1
  }
}

// Names as fls prints them (the long name, else the short one) with their deleted mark, and
// the live entries as mdir lists them: 8-character name, extension, length (-1: directory),
// with the first cluster as mshowfat gives it.
struct Listing {
  std::multiset<std::pair<std::string, bool>> names;
  std::multiset<std::tuple<std::string, std::string, long long, long long>> live;
};

std::string TrimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// The lines of `text`, without their "\r".
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.find('\r')));
  return lines;
}

Listing ReadReport(const std::string& report) {
  Listing v;
  std::string longName;  // the pieces met since the last short entry, the last one first
  const std::regex shortLine(
      R"(name:(.+)\.(.{3}) (Read Only|Hidden|System|Volume ID|Directory|Archive)\t1stClus: (\d+)\tLen: (\d+)( Deleted)?)");
  for (const std::string& line : Lines(report)) {
    std::smatch m;
    if (std::regex_match(line, m, std::regex(R"(LongNameSubComp \d+:\t(.*?)( Deleted)?)"))) {
      longName = m[1].str() + longName;
    } else if (std::regex_match(line, m, shortLine)) {
      const std::string name =
          std::regex_replace(m[1].str(), std::regex("^\u00E5"), "_");  // as fls
      const std::string ext = m[2], attr = m[3];
      const bool deleted = m[6].matched, label = attr == "Volume ID";
      std::string shown = TrimRight(label ? name + ext : name);
      if (!label && !TrimRight(ext).empty()) shown += "." + TrimRight(ext);
      v.names.emplace(longName.empty() ? shown : longName.substr(0, longName.find("\u2400")),
                      deleted);
      if (!deleted && !label)
        v.live.emplace(name, ext, attr == "Directory" ? -1 : std::stoll(m[5]), std::stoll(m[4]));
      longName.clear();
    }
  }
  return v;
}

void ReadTools(const std::filesystem::path& image, Listing& t) {
  const std::regex flsLine(R"([-rd]/[-rdvV] (\* )?\d+:\t(.*?)( \(Volume Label Entry\))?)");
  for (const std::string& line : Lines(RunCommand("fls -o 0 " + Quote(image)))) {
    std::smatch m;
    if (std::regex_match(line, m, flsLine)) t.names.emplace(TrimRight(m[2]), m[1].matched);
  }
  // mdir: "NAME     EXT    size date time [long name]".
  const std::regex mdirLine(R"((\S.{7}) (.{3}) +(<DIR>|\d+) .*)");
  for (const std::string& line : Lines(RunCommand("mdir -i " + Quote(image) + " ::"))) {
    std::smatch m;
    if (!std::regex_match(line, m, mdirLine)) continue;
    std::string file = "::" + TrimRight(m[1]);
    if (!TrimRight(m[2]).empty()) file += "." + TrimRight(m[2]);
    // mshowfat: "::/NAME.EXT <first-last>".
    std::smatch chain;
    const std::string fat =
        RunCommand("MTOOLS_SKIP_CHECK=1 mshowfat -i " + Quote(image) + " '" + file + "'");
    ASSERT_TRUE(std::regex_search(fat, chain, std::regex("<(\\d+)"))) << fat;
    t.live.emplace(m[1], m[2], m[3] == "<DIR>" ? -1 : std::stoll(m[3]), std::stoll(chain[1]));
  }
}

// "1st File List" on root directories written by mtools.
TEST(DirOracle, RootDirectoryAgreesWithFlsAndMdir) {
  ModelFixture f;
  const std::string small = Quote(f.dir.path() / "small"), big = Quote(f.dir.path() / "big");
  std::ofstream(f.dir.path() / "small") << "hello\n";
  std::ofstream(f.dir.path() / "big") << std::string(1234, 'x');
  for (const auto& [sectors, options] :
       {std::pair<std::uint64_t, const char*>{2880, "-F 12"}, {40960, "-F 16"}, {70000, "-F 32"}}) {
    SCOPED_TRACE(options);
    OracleVolume(f, sectors, options,
                 {"mlabel ::MYDISK", "mcopy " + small + " ::README.TXT",  // no long name
                  "mcopy " + small + " ::Mixed.txt",                      // one piece
                  "mcopy " + big + " '::Hello World.txt'",                // two pieces
                  "mcopy " + big + " '::A very long file name indeed.bin'", "mmd ::DOCS",
                  "mcopy " + small + " ::GONE.TXT", "mcopy " + big + " '::Deleted long name.txt'",
                  "mdel ::GONE.TXT", "mdel '::Deleted long name.txt'"});
    ASSERT_TRUE(f.model.Click("mnuFileList"));
    const Listing ours = ReadReport(f.model.At("Text5").caption);
    Listing tools;
    ReadTools(f.Drive('A'), tools);
    EXPECT_EQ(ours.names.size(), 8u);  // label, four files, a directory, two deleted files
    EXPECT_EQ(ours.names, tools.names);
    EXPECT_EQ(ours.live, tools.live);
    EXPECT_EQ(f.model.state.files.DeletedCount, 2 + 2);  // two short entries, two pieces
  }
}

}  // namespace
}  // namespace dulvex::testing
