// The program against independent tools, on volumes made by mkfs.fat and filled by mtools: the
// volume panel against fsstat; the FAT engine's tree against fls, chains against mshowfat and
// istat, file data against mcopy and icat; "1st File List" against that tree; and FAT
// entries poked to make loops, cross-links and bad clusters.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <regex>
#include <set>

#include "base/codepage.h"
#include "direntry/dir_analyzer.h"
#include "fat/dir_entry.h"
#include "fat/file_data.h"
#include "fat/owner_map.h"
#include "fattools/find_file_cluster.h"
#include "support/test_support.h"
#include "support/test_tools.h"

namespace dulvex::testing {
namespace {

std::string Q(const std::filesystem::path& p) {
  return "'" + p.string() + "'";
}

std::string Bytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Makes A: with mkfs.fat, chooses it, and gives fsstat's report of it.
std::string OracleVolume(ModelFixture& f, std::uint64_t sectors, const std::string& options) {
  MakeFatImage(f.Drive('A'), sectors, options);
  f.Choose('A');  // a volume refused would show "-" in the boxes compared
  return RunCommand("fsstat " + Q(f.Drive('A')));
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
      {4400000, "-F 32 -s 64 -R 64"},
      // 100 and 40 root entries: 6.25 and 2.5 sectors, so 7 and 3
      {2880, "-F 12 -r 100"}, {20000, "-F 16 -s 1 -r 40"}};
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

// Collects what CopyFile writes.
struct StringSink : fat::ByteSink {
  std::string bytes;
  Status Write(std::span<const std::uint8_t> b) override {
    bytes.append(b.begin(), b.end());
    return {};
  }
};

// A labelled volume made by mkfs.fat on drive A of a fresh model, filled by mtools so that one
// file is fragmented, two directories nest, names are long (of one and of two pieces), and
// files are deleted in the root and in a directory (their clusters not used again).
// `filler` bytes go first, to push the rest to high clusters.
struct Volume {
  ModelFixture f;
  std::filesystem::path image = f.Drive('A');
  fat::Layout layout;
  fat::MediumSource source;
  std::optional<fat::FatTable> table;
  fat::Tree tree;
  std::optional<fat::OwnerMap> owners;
  std::optional<fat::TreeNames> names;  // in code page 850, as mtools writes them

  Volume(std::uint64_t sectors, const std::string& options, std::uint64_t filler = 0) {
    MakeFatImage(image, sectors, options);
    std::vector<std::pair<const char*, std::uint64_t>> files = {
        {"a", 5000}, {"b", 3000}, {"d", 9000}};
    if (filler > 0) files.emplace_back("filler", filler);
    std::mt19937 random(7);
    for (const auto& [name, size] : files) {
      std::string bytes(size, '\0');
      for (char& c : bytes) c = static_cast<char>(random());
      std::ofstream(f.dir.path() / name, std::ios::binary) << bytes;
    }
    // mtools steps on the files just made, "command args" each.
    std::istringstream steps(
        std::string(filler > 0 ? "mcopy filler ::FILLER;" : "") +
        "mlabel ::MYDISK;mcopy a ::A.BIN;mcopy b ::B.BIN;mcopy a ::C.BIN;mdel ::B.BIN;"
        "mcopy d '::Some long name.dat';mcopy b ::Mixed.txt;mmd ::DIR;mmd ::DIR/SUB;"
        "mcopy b ::DIR/SUB/x.txt;mcopy d ::DIR/GONE.BIN;mdel ::DIR/GONE.BIN;"
        "mcopy a '::Deleted long name.txt';mdel '::Deleted long name.txt'");
    for (std::string s; std::getline(steps, s, ';');)
      RunCommand("cd " + Q(f.dir.path()) + " && MTOOLS_SKIP_CHECK=1 " + s.substr(0, s.find(' ')) +
                 " -i " + Q(image) + s.substr(s.find(' ')));
    Read();
  }

  // Chooses the volume and reads its FAT, tree and owners with the engine.
  void Read() {
    f.Choose('A');
    layout = *fat::LayoutOf(f.model.state.geometry).layout;
    EXPECT_TRUE(source.Open(image).ok());
    table = std::move(fat::LoadFat(source, layout, 0).table);
    tree = fat::WalkTree(source, *table);
    owners = fat::OwnerMap::Build(tree, *table);
    names.emplace(tree, source);
  }

  std::uint32_t Node(const std::string& path) { return names->Find(path).value(); }
  std::vector<std::uint32_t> Chain(std::uint32_t node, fat::ChainEnd* end = nullptr) {
    fat::ChainFollower follower(*table);
    return follower.Follow(tree.nodes[node].firstCluster, end);
  }
  std::string Data(std::uint32_t node) {
    fat::ChainFollower follower(*table);
    const fat::Node& n = tree.nodes[node];
    StringSink sink;
    fat::CopyFile(source, layout, fat::PlanFile(follower, n.firstCluster, n.size, n.deleted), sink);
    return sink.bytes;
  }
  void PokeEntry(std::uint32_t n, std::uint32_t value) {  // FAT16 only
    PokeBytes(image, layout.fat1Sector, std::uint64_t{n} * 2,
              {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)});
  }
};

// Root entries by name (the long name, else the short one) with their deleted mark, and the
// live ones by 8-character name, extension, length (-1: directory) and first cluster.
struct Listing {
  std::multiset<std::pair<std::string, bool>> names;
  std::multiset<std::tuple<std::string, std::string, long long, long long>> live;
};

std::string TrimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

Listing ReadReport(const std::string& report) {
  Listing v;
  std::string longName;  // the pieces met since the last short entry, the last one first
  const std::regex shortLine(
      R"(name:(.+)\.(.{3}) (Read Only|Hidden|System|Volume ID|Directory|Archive)\t1stClus: (\d+)\tLen: (\d+)( Deleted)?)");
  std::istringstream lines(report);
  for (std::string line; std::getline(lines, line);) {
    line.erase(std::min(line.find('\r'), line.size()));
    std::smatch m;
    if (std::regex_match(line, m, std::regex(R"(LongNameSubComp \d+:\t(.*?)( Deleted)?)"))) {
      longName.insert(0, m[1].str());
    } else if (std::regex_match(line, m, shortLine)) {
      const std::string name =
          std::regex_replace(m[1].str(), std::regex("^\u00D5"), "_");  // 0xE5 in 850, as fls
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

// The root's entries as the engine's tree holds them, which the test below holds against fls,
// mshowfat and mcopy: the label and deleted entries by name, the live ones by their stored
// short name, length and first cluster.
Listing TreeListing(const fat::Tree& tree, fat::TreeNames& names) {
  Listing t;
  const fat::Node& root = tree.nodes[0];
  for (std::uint32_t i = root.childBegin; i < root.childBegin + root.childCount; ++i) {
    const fat::Node& n = tree.nodes[i];
    const std::string stored(n.shortName.begin(), n.shortName.end());
    t.names.emplace(names.Name(i), n.deleted);
    if (!n.deleted && !n.IsVolumeLabel())
      t.live.emplace(stored.substr(0, 8), stored.substr(8), n.IsDirectory() ? -1LL : n.size,
                     n.firstCluster);
  }
  return t;
}

TEST(FatOracle, TreeChainsOwnersAndDataAgreeWithSleuthkitAndMtools) {
  const struct {
    std::uint64_t sectors;
    const char* options;
    std::uint64_t filler;
  } volumes[] = {{2880, "-F 12", 0}, {40000, "-F 16 -s 4", 0}, {140000, "-F 32 -s 1", 35000000}};
  for (const auto& v : volumes) {
    SCOPED_TRACE(v.options);
    Volume vol(v.sectors, v.options, v.filler);
    EXPECT_EQ(vol.tree.problemCount, 0u) << vol.tree.problems.front();
    // fls -r -p: every path, deleted ones marked, with its inode for istat and icat.
    std::set<std::pair<std::string, bool>> ours, theirs;
    for (std::uint32_t i = 1; i < vol.tree.nodes.size(); ++i)
      ours.emplace(vol.names->Path(i).substr(1), vol.tree.nodes[i].deleted);
    const std::regex line(R"([-rd]/[-rd] (\* )?(\d+):\t(.*))");
    std::smatch m;
    const std::string fls = RunCommand("fls -r -p " + Q(vol.image));
    for (auto it = std::sregex_iterator(fls.begin(), fls.end(), line); it != std::sregex_iterator();
         ++it) {
      const std::string path = (*it)[3], inode = (*it)[2];
      const bool deleted = (*it)[1].matched;
      if (path.ends_with(" (Volume Label Entry)")) {  // the label: by name only
        theirs.emplace(TrimRight(path.substr(0, path.size() - 21)), deleted);
        continue;
      }
      theirs.emplace(path, deleted);
      const std::uint32_t node = vol.Node("/" + path);
      if (deleted) {  // recovered as icat recovers it
        EXPECT_EQ(vol.Data(node), RunCommand("icat -r " + Q(vol.image) + " " + inode)) << path;
        continue;
      }
      // mshowfat: "::/PATH <2-4> <10-12>".
      const std::vector<std::uint32_t> chain = vol.Chain(node);
      const std::string shown =
          RunCommand("MTOOLS_SKIP_CHECK=1 mshowfat -i " + Q(vol.image) + " '::/" + path + "'");
      std::regex_search(shown, m, std::regex("<.*>"));
      EXPECT_EQ(
          "<" + std::regex_replace(fat::RangesText(fat::RunsOf(chain)), std::regex(", "), "> <") +
              ">",
          m.str())
          << path;
      if (!vol.tree.nodes[node].IsDirectory()) {
        // istat (slow, so only for the fragmented file): the sectors of its clusters.
        if (path == "Some long name.dat") {
          const std::string stat = RunCommand("istat " + Q(vol.image) + " " + inode);
          std::istringstream in(stat.substr(stat.find("Sectors:") + 8));
          std::set<std::int64_t> fromIstat;
          for (std::int64_t s; in >> s;)
            if (s != 0) fromIstat.insert(*vol.layout.ClusterOfSector(s));
          EXPECT_EQ(std::set<std::int64_t>(chain.begin(), chain.end()), fromIstat);
          EXPECT_TRUE(vol.layout.kind == fat::FatKind::Fat32 || fat::RunsOf(chain).size() > 1);
        }
        const std::filesystem::path copy = vol.f.dir.path() / "copy";
        std::filesystem::remove(copy);
        RunCommand("MTOOLS_SKIP_CHECK=1 mcopy -i " + Q(vol.image) + " '::/" + path + "' " +
                   Q(copy));
        EXPECT_EQ(vol.Data(node), Bytes(copy)) << path;
      }
      // Each cluster names this file and its place in the chain.
      for (std::size_t k = 0; k < chain.size(); ++k) {
        const fat::Owner o = vol.owners->Query(*vol.table, chain[k]);
        EXPECT_EQ(std::tuple(o.kind, o.node, o.position),
                  std::tuple(fat::Owner::Kind::File, node, k + 1))
            << path;
      }
    }
    EXPECT_EQ(ours, theirs);
    // "1st File List" of the root: the whole first cluster, past 65535 on FAT32; the deleted
    // long name and its two pieces count as three deleted entries (mmd took B.BIN's slot).
    EXPECT_EQ(vol.tree.nodes[vol.Node("/A.BIN")].firstCluster > 65535, v.filler > 0);
    ASSERT_TRUE(vol.f.model.Click("mnuFileList"));
    const Listing report = ReadReport(vol.f.model.At("Text5").caption),
                  tree = TreeListing(vol.tree, *vol.names);
    EXPECT_EQ(report.names.size(), v.filler > 0 ? 8u : 7u);
    EXPECT_EQ(report.names, tree.names);
    EXPECT_EQ(report.live, tree.live);
    EXPECT_EQ(vol.f.model.state.files.DeletedCount, 1 + 2);
    EXPECT_EQ(vol.owners->Query(*vol.table, vol.layout.MaxCluster()).kind, fat::Owner::Kind::Free);
  }
}

// Entries poked into the FAT16 volume: a loop, a bad cluster inside a file and a cross-link.
// (Bad and lost clusters in no chain: fat_tools.scn; directories reached twice:
// fat_engine_test.cpp.)
TEST(FatOracle, PokedEntriesMakeLoopsCrossLinksAndBadClusters) {
  Volume vol(40000, "-F 16 -s 4");
  const std::vector<std::uint32_t> a = vol.Chain(vol.Node("/A.BIN")),
                                   c = vol.Chain(vol.Node("/C.BIN")),
                                   longName = vol.Chain(vol.Node("/Some long name.dat"));
  const std::string original = vol.Data(vol.Node("/A.BIN"));
  ASSERT_EQ(std::tuple(a.size(), c.size(), longName.size()), std::tuple(3u, 3u, 5u));
  vol.PokeEntry(c[1], c[0]);
  vol.PokeEntry(a[1], 0xFFF7);
  vol.PokeEntry(longName.back(), a[0]);
  vol.Read();

  fat::ChainEnd end;
  EXPECT_EQ(vol.Chain(vol.Node("/C.BIN"), &end), std::vector(c.begin(), c.begin() + 2));
  EXPECT_EQ(fat::StopText(end, vol.layout), "loop: cluster " + std::to_string(c[1]) +
                                                " points back to cluster " + std::to_string(c[0]));
  fat::ChainFollower follower(*vol.table);
  const std::string shortfall = fat::PlanFile(follower, a[0], 5000, false).shortfall;
  EXPECT_EQ(shortfall,
            "2048 bytes of 5000 bytes can be read: its chain holds 1 of the 3 "
            "clusters it needs (runs into bad cluster " +
                std::to_string(a[1]) + " (from cluster " + std::to_string(a[0]) + "))");
  // The cross-linked cluster (A.BIN's first) names both chains; the bad one none.
  EXPECT_EQ(vol.owners->crossLinked(), 1u);
  const std::string text =
      fattools::OwnerText(*vol.names, *vol.table, vol.owners->Query(*vol.table, a[0]), a[0]);
  for (const char* part : {"/A.BIN: cluster 1 of 1",
                           "cluster 6 of the chain of /Some long name.dat", "(cross-linked)"})
    EXPECT_NE(text.find(part), std::string::npos) << text;
  EXPECT_EQ(fattools::OwnerText(*vol.names, *vol.table, vol.owners->Query(*vol.table, a[1]), a[1]),
            "Cluster " + std::to_string(a[1]) +
                " is marked bad. The chain of /A.BIN points into it from cluster " +
                std::to_string(a[0]) +
                " and stops there. The chain of /Some long name.dat "
                "points into it from cluster " +
                std::to_string(a[0]) + " and stops there.");

  // File's Data keeps the part before the bad cluster only when asked to, and never writes
  // over the volume itself.
  ModelFixture& f = vol.f;
  const std::filesystem::path saved = f.dir.path() / "saved";
  const std::string image = Bytes(vol.image);
  for (const std::string& target : {vol.image.string(), saved.string()}) {
    f.prompter.shown.clear();
    f.prompter.inputAnswers = {"/a.bin"};
    f.prompter.messageAnswers = {kAnswerYes};
    f.prompter.fileAnswers = {target};
    ASSERT_TRUE(f.model.Click("mnuFileData"));
    ASSERT_EQ(f.prompter.shown.size(), 4u);
    EXPECT_EQ(f.prompter.shown[1].text,
              "A.BIN: " + shortfall + ". Save the part that can be read?");
    EXPECT_EQ(f.prompter.shown[2].defaultText, "A.BIN");
    const std::string said =
        target == saved ? "Saved 2048 bytes of /A.BIN to " + target + ". The rest was not saved: "
                        : target + " is the volume itself; File's Data never writes to the volume.";
    EXPECT_EQ(f.prompter.shown[3].text, target == saved ? said + shortfall + "." : said);
  }
  // Cancel in the progress of a copy: nothing is saved, nothing is left behind.
  f.runner.cancelAfterReports = 1;
  f.prompter.inputAnswers = {"/Some long name.dat"};
  f.prompter.fileAnswers = {(f.dir.path() / "cancelled").string()};
  ASSERT_TRUE(f.model.Click("mnuFileData"));
  EXPECT_EQ(Bytes(saved), original.substr(0, 2048));
  EXPECT_EQ(Bytes(vol.image), image);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(f.dir.path()), {}), 5);
}

// Chains poked to run into a free cluster, onto a reserved value and past the last cluster
// end where fsck.fat -n ends them; names in Greek, Cyrillic and code page 850 as mtools
// writes them are found in any case and shown as mdir and fls show them; deleted long-name
// pieces right before a live entry stay off its name.
TEST(FatOracle, BrokenChainsAndForeignNamesAgreeWithFsckMdirAndFls) {
  Volume vol(40000, "-F 16 -s 4");
  // A deleted file whose consecutive clusters are partly in use: read up to the first one, or
  // over all of them.
  const std::uint32_t gone = vol.Node("/DIR/_ONE.BIN");
  const fat::Node g = vol.tree.nodes[gone];  // a copy: Read() walks the tree anew
  vol.PokeEntry(g.firstCluster + 2, 0xFFFF);
  vol.Read();
  {
    fat::ChainFollower follower(*vol.table);
    const fat::FileExtents stop =
        fat::PlanFile(follower, g.firstCluster, g.size, true, fat::Recovery::StopAtInUse);
    const fat::FileExtents all = fat::PlanFile(follower, g.firstCluster, g.size, true);
    EXPECT_EQ(std::tuple(stop.readable, stop.shortfall),
              std::tuple(2 * vol.layout.clusterBytes,
                         "4096 bytes of 9000 bytes can be read: cluster " +
                             std::to_string(g.firstCluster + 2) + " is in use"));
    EXPECT_EQ(std::tuple(all.readable, all.shortfall), std::tuple(9000u, std::string()));
  }
  vol.PokeEntry(g.firstCluster + 2, 0);
  // The deleted long name's short entry made live again: its deleted pieces lie before it.
  const std::optional<fat::EntryPlace> place =
      fat::PlaceOf(vol.tree, vol.Node("/Deleted long name.txt"));
  ASSERT_TRUE(place);
  PokeBytes(vol.image, place->sector, place->offset, {'D'});
  const std::string mtools =
      "cd " + Q(vol.f.dir.path()) + " && LC_ALL=C.UTF-8 MTOOLS_SKIP_CHECK=1 ";
  for (const char* name : {"Ελληνικός φάκελος.txt", "Кириллица.txt", "Ünïcødé file.txt"})
    RunCommand(mtools + "mcopy -i " + Q(vol.image) + " b '::DIR/" + name + "'");
  vol.Read();
  const std::uint32_t free = vol.layout.MaxCluster();
  const std::uint32_t a = vol.tree.nodes[vol.Node("/A.BIN")].firstCluster,
                      c = vol.tree.nodes[vol.Node("/C.BIN")].firstCluster;
  const std::vector<std::uint32_t> d = vol.Chain(vol.Node("/Some long name.dat"));
  vol.PokeEntry(a, free);
  vol.PokeEntry(c, 0xFFF0);
  vol.PokeEntry(d[1], 60000);
  vol.Read();

  const std::string fsck =
      RunCommand(std::string(testing::tools::kFsckFat) + " -n " + Q(vol.image) + " 2>&1 || true");
  std::smatch m;
  ASSERT_TRUE(
      std::regex_search(fsck, m, std::regex(R"(/A.BIN\n  Contains a free cluster \((\d+)\))")))
      << fsck;
  EXPECT_EQ(std::stoul(m[1]), free);
  const struct {
    const char* path;
    fat::ChainStop stop;
  } chains[] = {{"/A.BIN", fat::ChainStop::Free},
                {"/C.BIN", fat::ChainStop::Reserved},
                {"/Some long name.dat", fat::ChainStop::OutOfRange}};
  for (const auto& [path, stop] : chains) {
    fat::ChainEnd end;
    const std::size_t length = vol.Chain(vol.Node(path), &end).size();
    EXPECT_EQ(end.stop, stop) << path;
    ASSERT_TRUE(std::regex_search(
        fsck, m,
        std::regex(std::string(path) +
                   R"(\n  File size is \d+ bytes, cluster chain length is (\d+) bytes)")))
        << path << fsck;
    EXPECT_EQ(length * vol.layout.clusterBytes, std::stoul(m[1])) << path;
  }
  EXPECT_EQ(fat::StopText(fat::ChainEnd{fat::ChainStop::Free, a, a, free, free, 1}, vol.layout),
            "runs into free cluster " + std::to_string(free) + " (from cluster " +
                std::to_string(a) + ")");

  // Names: fls shows the long ones, mdir the short ones in code page 850.
  const std::string fls = RunCommand("fls -r -p " + Q(vol.image));
  const std::string mdir = RunCommand(mtools + "mdir -/ -i " + Q(vol.image) + " ::");
  const struct {
    const char* typed;      // in another case
    const char* name;       // as fls shows its path
    const char* shortName;  // as mdir shows it
  } names[] = {{"/dir/ΕΛΛΗΝΙΚΌΣ ΦΆΚΕΛΟΣ.TXT", "DIR/Ελληνικός φάκελος.txt", nullptr},
               {"/Dir/кИРИЛЛИЦА.txt", "DIR/Кириллица.txt", nullptr},
               {"/DIR/ünïcød~1.txt", "DIR/Ünïcødé file.txt", "ÜNÏCØD~1 TXT"},
               {"/delete~1.txt", "DELETE~1.TXT", "DELETE~1 TXT"}};
  for (const auto& n : names) {
    const std::optional<std::uint32_t> node = vol.names->Find(n.typed);
    ASSERT_TRUE(node) << n.typed;
    EXPECT_EQ(vol.names->Path(*node), "/" + std::string(n.name));
    // The walk itself gives the live DELETE~1.TXT no pieces: the deleted ones are not its.
    EXPECT_EQ(vol.tree.nodes[*node].pieces == 0, std::string(n.name) == "DELETE~1.TXT");
    // (fls glues the deleted pieces onto DELETE~1.TXT; mdir does not, and in FAT a piece
    // whose first byte is 0xE5 is free.)
    if (n.shortName == nullptr) {
      EXPECT_NE(fls.find(std::string("\t") + n.name + "\n"), std::string::npos) << fls;
    }
    if (n.shortName == nullptr) continue;
    const fat::Node& e = vol.tree.nodes[*node];
    std::string shown = fat::ShortNameOf(e.shortName.data(), e.lowerCase, OemCodePage::Cp850);
    shown.replace(shown.find('.'), 1,
                  std::string(8 - DecodeUtf8(shown.substr(0, shown.find('.'))).size() + 1, ' '));
    EXPECT_NE(mdir.find("\n" + shown + " "), std::string::npos) << shown << "\n" << mdir;
  }
  // The file list reads them in the code page too.
  const fat::EntryPlace at = *fat::PlaceOf(vol.tree, *vol.names->Find("/DIR/ünïcød~1.txt"));
  const std::vector<std::uint8_t> sector = ReadBytes(vol.image, at.sector, 0, 512);
  SectorBytes bytes{};
  std::copy(sector.begin(), sector.end(), bytes.begin());
  EXPECT_NE(AnalyzeDirectoryBytes(bytes, 2, OemCodePage::Cp850).report.find("name:ÜNÏCØD~1.TXT"),
            std::string::npos);
}

}  // namespace
}  // namespace dulvex::testing
