// The directory analyzer against independent tools: root directories written by mtools on
// volumes made by mkfs.fat, analysed through "1st File List", and compared with what
// sleuthkit (fls, istat, fsstat) and mdir report for the same directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "support/test_support.h"

namespace dulvex::testing {
namespace {

// One short entry: its name as the tools print it, first cluster, length (-1 where the
// tools report none comparable: directories), deleted or not.
using ShortEntry = std::tuple<std::string, long long, long long, bool>;

std::string Quote(const std::filesystem::path& p) {
  return "'" + p.string() + "'";
}

std::string TrimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::vector<std::string> Lines(const std::string& text, const std::string& separator) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find(separator, start)) != std::string::npos;
       start = at + separator.size()) {
    lines.push_back(text.substr(start, at - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

long long FirstNumberAfter(const std::string& text, const std::string& pattern) {
  std::smatch m;
  if (!std::regex_search(text, m, std::regex(pattern + R"(\s*(\d+))"))) return -1;
  return std::stoll(m[1]);
}

// What the analyzer's report says about the directory.
struct OurView {
  std::vector<ShortEntry> shortEntries;
  // Every name as fls prints it: the long name assembled from the pieces before a short
  // entry, else the short name; the volume label trimmed.
  std::vector<std::pair<std::string, bool>> names;
  // Live files and directories as mdir prints them: 8-character name, extension, length
  // (-1 for a directory).
  std::vector<std::tuple<std::string, std::string, long long>> live;
};

OurView ReadReport(const std::string& report) {
  static const std::string kE5 = "\u00E5", kNul = "\u2400";
  OurView v;
  std::vector<std::string> pieces;  // long-name pieces, in directory order
  const std::regex shortLine(
      R"(name:(.+)\.(.{3}) (Read Only|Hidden|System|Volume ID|Directory|Archive)\t1stClus: (\d+)\tLen: (\d+)( Deleted)?)");
  const std::regex pieceLine(R"(LongNameSubComp \d+:\t(.*?)( Deleted)?)");
  for (const std::string& line : Lines(report, "\r\n")) {
    std::smatch m;
    if (std::regex_match(line, m, pieceLine)) {
      pieces.push_back(m[1]);
      continue;
    }
    if (!std::regex_match(line, m, shortLine)) continue;
    std::string name = m[1], ext = m[2];
    const bool deleted = m[6].matched;
    if (deleted && name.rfind(kE5, 0) == 0) name = "_" + name.substr(kE5.size());  // as TSK shows
    const std::string attr = m[3];
    std::string shown;
    if (attr == "Volume ID") {
      shown = TrimRight(name + ext);
    } else {
      shown = TrimRight(name);
      if (!TrimRight(ext).empty()) shown += "." + TrimRight(ext);
    }
    const bool dir = attr == "Directory";
    v.shortEntries.emplace_back(shown, std::stoll(m[4]), dir ? -1 : std::stoll(m[5]), deleted);
    std::string longName;
    for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) longName += *it;
    longName = longName.substr(0, longName.find(kNul));
    v.names.emplace_back(pieces.empty() ? shown : longName, deleted);
    if (!deleted && attr != "Volume ID")
      v.live.emplace_back(name, ext, dir ? -1 : std::stoll(m[5]));
    pieces.clear();
  }
  return v;
}

// What sleuthkit says about the root directory.
OurView ReadSleuthkit(const std::filesystem::path& image) {
  const std::string fsstat = RunCommand("fsstat " + Quote(image));
  const long long clusterArea = FirstNumberAfter(fsstat, R"(Cluster Area:)");
  const long long sectorsPerCluster = FirstNumberAfter(fsstat, R"(Cluster Size:)") / 512;
  OurView v;
  const std::regex flsLine(R"(([-rdvV])/([-rdvV]) (\* )?(\d+):\t(.*))");
  for (const std::string& line : Lines(RunCommand("fls -o 0 " + Quote(image)), "\n")) {
    std::smatch m;
    if (!std::regex_match(line, m, flsLine) || m[1] == "v" || m[1] == "V") continue;
    const bool deleted = m[3].matched;
    std::string name = m[5];
    const std::string labelTag = " (Volume Label Entry)";
    if (name.size() > labelTag.size() &&
        name.compare(name.size() - labelTag.size(), labelTag.size(), labelTag) == 0) {
      name = TrimRight(name.substr(0, name.size() - labelTag.size()));
    }
    v.names.emplace_back(name, deleted);

    const std::string istat = RunCommand("istat " + Quote(image) + " " + std::string(m[4]));
    std::smatch n;
    std::regex_search(istat, n, std::regex(R"(\nName: ([^\n]*))"));
    const long long firstSector = FirstNumberAfter(istat, R"(Sectors:)");
    const long long cluster =
        firstSector < 0 ? 0 : (firstSector - clusterArea) / sectorsPerCluster + 2;
    const bool dir = m[1] == "d";
    EXPECT_EQ(istat.find("Not Allocated") != std::string::npos, deleted) << istat;
    v.shortEntries.emplace_back(TrimRight(n[1]), cluster,
                                dir ? -1 : FirstNumberAfter(istat, "Size:"), deleted);
  }
  return v;
}

// The live entries mdir lists: "NAME     EXT    size date time [long name]".
std::vector<std::tuple<std::string, std::string, long long>> ReadMdir(
    const std::filesystem::path& image) {
  std::vector<std::tuple<std::string, std::string, long long>> live;
  for (const std::string& line : Lines(RunCommand("mdir -i " + Quote(image) + " ::"), "\n")) {
    if (line.size() < 13 || line[0] == ' ' || line[8] != ' ' || line.rfind("Directory", 0) == 0) {
      continue;
    }
    std::istringstream rest(line.substr(12));
    std::string size;
    rest >> size;
    live.emplace_back(line.substr(0, 8), line.substr(9, 3),
                      size == "<DIR>" ? -1 : std::stoll(size));
  }
  return live;
}

template <typename T>
std::vector<T> Sorted(std::vector<T> v) {
  std::sort(v.begin(), v.end());
  return v;
}

struct VolumeCase {
  const char* what;
  std::uint64_t sectors;
  const char* options;
};

class DirOracle : public ::testing::TestWithParam<VolumeCase> {};

TEST_P(DirOracle, RootDirectoryAgreesWithSleuthkitAndMdir) {
  ModelFixture f;
  const std::filesystem::path image = f.Drive('A');
  MakeFatImage(image, GetParam().sectors, GetParam().options);
  const std::filesystem::path small = f.dir.path() / "small", big = f.dir.path() / "big";
  std::ofstream(small) << "hello\n";
  std::ofstream(big) << std::string(1234, 'x');
  const std::string m = "MTOOLS_SKIP_CHECK=1 ";
  const std::string i = " -i " + Quote(image) + " ";
  RunCommand(m + "mlabel" + i + "::MYDISK");
  RunCommand(m + "mcopy" + i + Quote(small) + " ::README.TXT");       // no long name
  RunCommand(m + "mcopy" + i + Quote(small) + " ::Mixed.txt");        // one piece
  RunCommand(m + "mcopy" + i + Quote(big) + " '::Hello World.txt'");  // two pieces
  RunCommand(m + "mcopy" + i + Quote(big) + " '::A very long file name indeed.bin'");  // three
  RunCommand(m + "mmd" + i + "::DOCS");
  RunCommand(m + "mcopy" + i + Quote(small) + " ::GONE.TXT");
  RunCommand(m + "mcopy" + i + Quote(big) + " '::Deleted long name.txt'");
  RunCommand(m + "mdel" + i + "::GONE.TXT");
  RunCommand(m + "mdel" + i + "'::Deleted long name.txt'");

  f.Choose('A');
  const long long root =
      FirstNumberAfter(RunCommand("fsstat " + Quote(image)), R"(\*\* Root Directory:)");
  ASSERT_GT(root, 0);
  f.model.state.geometry.RootDirEntrySector = root;
  ASSERT_TRUE(f.model.Click("mnuFileList"));
  const OurView ours = ReadReport(f.model.At("Text5").caption);
  const OurView tools = ReadSleuthkit(image);

  EXPECT_EQ(ours.shortEntries.size(), 8u);  // label, five files, a directory, a deleted file
  EXPECT_EQ(Sorted(ours.shortEntries), Sorted(tools.shortEntries));
  EXPECT_EQ(Sorted(ours.names), Sorted(tools.names));
  EXPECT_EQ(Sorted(ours.live), Sorted(ReadMdir(image)));
  EXPECT_EQ(ours.names.size(), 8u);
  EXPECT_EQ(f.model.state.files.DeletedCount, 2 + 2);  // two short entries, two pieces
}

INSTANTIATE_TEST_SUITE_P(Volumes, DirOracle,
                         ::testing::Values(VolumeCase{"Fat12", 2880, "-F 12"},
                                           VolumeCase{"Fat16", 40960, "-F 16"},
                                           VolumeCase{"Fat32", 70000, "-F 32"}),
                         [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace dulvex::testing
