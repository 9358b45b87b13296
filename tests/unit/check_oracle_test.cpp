// Check Volume against fsck.fat on the damaged volumes of tests/check/make_corpus.sh. For every
// volume: each problem `fsck.fat -n -v` reports has a finding of a matching kind (the table
// below pairs its messages with kinds), and the fault the volume was given is found; Repair
// All, applied by the program (Check Volume's window commands, one journal group through the
// write path) to a copy of the image, leaves a volume fsck.fat -n calls clean and the check
// finds nothing on; every file mcopy read whole before reads the same after; and Undo Last
// Write gives the image again, byte for byte. Every other
// repair a finding offers is planned too, and must make that finding go.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

#include "check/checker.h"
#include "check/headless.h"
#include "check/repair.h"
#include "commands/check_command.h"
#include "fat/byte_source.h"
#include "support/test_support.h"
#include "support/test_tools.h"

namespace dulvex::check {
namespace {

namespace fs = std::filesystem;
using K = FindingKind;

struct Ran {
  std::string out;
  int status = 0;
};

Ran Shell(const std::string& command) {
  Ran r;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return {"cannot run " + command, -1};
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) r.out.append(buf, n);
  const int status = ::pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (const char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// A problem fsck.fat reported: the kinds that answer it, and where (when it says).
struct Problem {
  std::string line;
  std::set<K> kinds;
  std::string path;  // empty: any
  std::uint32_t cluster = 0;
};

// The kinds whose repair makes fsck.fat free clusters, and so report them as reclaimed or
// count them in its free-cluster summary.
const std::set<K> kFreeing = {
    K::LostChain,        K::FileChainTooLong,       K::EmptyFileWithClusters, K::CrossLink,
    K::ChainLoop,        K::ChainIntoFree,          K::ChainIntoBad,          K::FatEntryOutOfRange,
    K::FatEntryReserved, K::FirstClusterOutOfRange, K::FsInfoFreeCount,       K::LfnOrphan};

struct Message {
  const char* pattern;
  std::set<K> kinds;
  bool pathScoped;  // the path line before names the entry
  int clusterGroup = 0;
  std::uint32_t clusterOffset = 0;  // fsck.fat numbers out-of-range FAT entries from 0
};

// fsck.fat's messages and the kinds of finding that answer each.
const std::vector<Message>& Messages() {
  static const std::vector<Message> m = {
      {R"(^  Contains a free cluster \((\d+)\))", {K::ChainIntoFree}, true, 1},
      {R"(^  Contains a bad cluster \((\d+)\))", {K::ChainIntoBad}, true, 1},
      {R"(^Internal error: next_cluster on bad cluster)", {K::ChainIntoBad}, false},
      {R"(^  File size is 0 bytes, cluster chain length is > 0 bytes)",
       {K::EmptyFileWithClusters},
       true},
      {R"(^  File size is \d+ bytes, cluster chain length is > \d+ bytes)",
       {K::FileChainTooLong, K::CrossLink},
       true},
      {R"(^  File size is \d+ bytes, cluster chain length is \d+ bytes)",
       {K::FileSizeTooLarge, K::ChainIntoFree, K::ChainIntoBad, K::ChainLoop, K::CrossLink,
        K::FatEntryOutOfRange, K::FatEntryReserved, K::FirstClusterOutOfRange},
       true},
      {R"(^  Circular cluster chain)", {K::ChainLoop}, true},
      {R"(^  share clusters\.)", {K::CrossLink}, true},
      {R"(^  Directory has non-zero size)", {K::DirectoryNonZeroSize}, true},
      {R"(^  Start cluster beyond limit)", {K::FirstClusterOutOfRange}, true},
      {R"(^  Bad start cluster 1)", {K::FirstClusterOutOfRange}, true},
      {R"(^ Start does point to root directory)", {K::FirstClusterOutOfRange}, true},
      {R"(^ Start does point to containing directory)", {K::BadDotEntry}, false},
      {R"(^  Has a large number of bad entries)", {K::BadShortName}, false},
      {R"(^  Bad short file name)", {K::BadShortName}, false},
      {R"(^  Duplicate directory entry)", {K::DuplicateName}, true},
      {R"(^  Invalid '\.\.?' entry in the \w+ slot)", {K::BadDotEntry}, true},
      {R"(^  Expected a valid '\.\.?' entry in the \w+ slot, found free entry)",
       {K::BadDotEntry},
       true},
      {R"(^Orphaned long file name part)", {K::LfnOrphan}, false},
      {R"(^Unfinished long file name)", {K::LfnOrphan}, false},
      {R"(^A new long file name starts within an old one)", {K::LfnOrphan}, false},
      {R"(^Long filename fragment .* found outside a LFN sequence)", {K::LfnOrphan}, false},
      {R"(^Unexpected long filename sequence number)", {K::LfnOrphan}, false},
      {R"(^Checksum in long filename part wrong)", {K::LfnBadChecksum, K::LfnOrphan}, false},
      {R"(^Wrong checksum for long file name)", {K::LfnBadChecksum}, false},
      {R"(^(Reserved|Start cluster) field in VFAT long filename slot is not 0)",
       {K::LfnPieceFields},
       false},
      {R"(^Cluster (\d+) out of range \(1\))", {K::FatEntryReserved}, false, 1, 2},
      {R"(^Cluster (\d+) out of range \(\d+ > \d+\))",
       {K::FatEntryOutOfRange, K::FatEntryReserved},
       false,
       1,
       2},
      {R"(^Reclaimed \d+ unused clusters?)", kFreeing, false},
      {R"(^Free cluster summary wrong)", kFreeing, false},
      {R"(^Free cluster summary uninitialized)",
       {K::FsInfoFreeCountUnknown, K::FsInfoSignature},
       false},
      {R"(^FSINFO sector has bad magic number)", {K::FsInfoSignature}, false},
      {R"(^No FSINFO sector)", {K::FsInfoMissing}, false},
      {R"(^There is no backup boot sector)", {K::BackupBootMissing}, false},
      {R"(^There are differences between boot sector and its backup)",
       {K::BackupBootDiffers},
       false},
      {R"(Dirty bit is set)", {K::VolumeDirty, K::FatDirtyFlag}, false},
      {R"(^FATs differ)", {K::FatCopiesDiffer}, false},
      {R"(^(Both FATs|First FAT) appears? to be corrupt)", {K::ReservedEntryWrong}, false},
      {R"(^Root directory \(\d+ entries\) doesn't span an integral number of sectors)",
       {K::RootEntriesNotWholeSector},
       false},
      {R"(^(Logical sector size|Cluster size|FAT size) is zero|^Currently, only 1 or 2 FATs|)"
       R"(^Filesystem has \d+ clusters but only space|^Warning: Filesystem is FAT32 according)",
       {K::BootSectorInvalid},
       false},
  };
  return m;
}

// Lines that report nothing wrong: the verbose description, progress, and the second and
// further lines of a message (what fsck.fat did or would do about it).
bool Informational(const std::string& line) {
  static const std::regex info(
      R"(^$|^fsck\.fat \d|^Checking |^Boot sector contents|^System ID|^Media byte|^ *\d+ )"
      R"(|^First FAT starts|^Root directory start|^Data area starts|^\d+ sectors/track)"
      R"(|^Starting check|^Leaving filesystem|^.*: \d+ files, \d+/\d+ clusters)"
      R"(|^ *(Auto-|Not |Truncating|Fixing|Renamed|Creating|Moving|Using|Automatically))"
      R"(|^  (First|Second) |^This is mostly harmless|^  \d+:[0-9a-f]{2}/[0-9a-f]{2})"
      R"(|^  Offset \d+:|^  \(|^  It could be|^  if ".*" seems|^Created backup)"
      R"(|^  but has only \d+ clusters|^  This may lead to problems|^Label in boot sector|^Volume label)");
  return std::regex_search(line, info);
}

// The problems in fsck.fat's output; lines it does not know go to `unknown`.
std::vector<Problem> Problems(const std::string& output, std::vector<std::string>& unknown) {
  std::vector<Problem> problems;
  std::istringstream in(output);
  std::string path;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] == '/') {
      // "/A.BIN  and" names the first of two entries sharing clusters; the second follows.
      path = line.size() > 5 && line.ends_with("  and") ? line.substr(0, line.size() - 5) : line;
      continue;
    }
    bool known = false;
    for (const Message& m : Messages()) {
      std::smatch match;
      if (!std::regex_search(line, match, std::regex(m.pattern))) continue;
      Problem p{line, m.kinds, m.pathScoped ? path : "", 0};
      if (m.clusterGroup > 0) p.cluster = std::stoul(match[m.clusterGroup]) + m.clusterOffset;
      problems.push_back(p);
      known = true;
      break;
    }
    if (!known && !Informational(line)) unknown.push_back(line);
  }
  return problems;
}

bool Answers(const Finding& f, const Problem& p) {
  if (p.kinds.count(f.kind) == 0) return false;
  if (!p.path.empty() && p.path != f.path && p.path != f.otherPath) return false;
  return p.cluster == 0 || p.cluster == f.cluster || p.cluster == f.fatEntry;
}

CheckResult Check(const fs::path& image) {
  fat::MediumSource source;
  EXPECT_TRUE(source.Open(image).ok());
  return CheckVolume(source);
}

// The files mtools lists, with their sizes: "/SUBDIR/CHARLIE.BIN" -> 5000.
std::map<std::string, std::uint64_t> ListFiles(const fs::path& image) {
  std::map<std::string, std::uint64_t> files;
  const Ran r = Shell("MTOOLS_SKIP_CHECK=1 mdir -/ -i " + Quote(image.string()) + " ::");
  static const std::regex dir(R"(^Directory for ::(/.*?)/?$)");
  static const std::regex file(R"(^(.{8}) (.{3}) +(\d+) \d{4}-\d\d-\d\d +\d+:\d\d(?:  (.*))?$)");
  std::istringstream in(r.out);
  std::string where;
  auto trim = [](std::string s) { return s.erase(s.find_last_not_of(' ') + 1); };
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    if (std::regex_match(line, m, dir)) {
      where = m[1] == "/" ? "" : std::string(m[1]);
    } else if (std::regex_match(line, m, file)) {
      std::string name = m[4].matched ? std::string(m[4]) : trim(m[1]);
      if (!m[4].matched && !trim(m[2]).empty()) name += "." + trim(m[2]);
      std::string path = where;
      path += '/';
      path += name;
      files[path] = std::stoull(m[3]);
    }
  }
  return files;
}

// The files mcopy reads whole: their bytes.
std::map<std::string, std::string> ReadFiles(const fs::path& image, const fs::path& scratch) {
  std::map<std::string, std::string> read;
  for (const auto& [path, size] : ListFiles(image)) {
    fs::remove(scratch);
    const Ran r = Shell("MTOOLS_SKIP_CHECK=1 mcopy -n -i " + Quote(image.string()) + " " +
                        Quote("::" + path) + " " + Quote(scratch.string()));
    std::ifstream in(scratch, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (r.status == 0 && bytes.size() == size) read[path] = bytes;
  }
  return read;
}

// The answers to the questions before a write over `writes`: Yes to overwriting sector 0
// when it is among them, Yes to overwriting the sectors.
std::deque<int> YesToWriting(const std::vector<SectorWrite>& writes) {
  const bool zero =
      std::any_of(writes.begin(), writes.end(), [](const SectorWrite& w) { return w.sector == 0; });
  return zero ? std::deque<int>{kAnswerYes, kAnswerYes} : std::deque<int>{kAnswerYes};
}

std::string Describe(const std::vector<Finding>& findings) {
  std::string s;
  for (const Finding& f : findings)
    s += "  " + std::string(KindName(f.kind)) + ": " + f.text + "\n";
  return s;
}

// What one repair may bring to light besides: the size of a chain it ends and the lost rest
// after the end, a directory left without a cluster, the FAT32 backup boot sector left behind
// by a change of sector 0, and the free count when clusters are freed or taken.
const std::set<K> kConsequences = {K::FileSizeTooLarge, K::LostChain, K::FirstClusterOutOfRange,
                                   K::BackupBootDiffers, K::FsInfoFreeCount};

// Each repair a finding offers, planned alone and laid over the medium in memory, makes a
// new check no longer report that finding at that place, and brings no other damage.
void EveryOption(const fs::path& image, const CheckResult& r) {
  fat::MediumSource medium;
  ASSERT_TRUE(medium.Open(image).ok());
  auto found = [](const CheckResult& in, const Finding& g) {
    return std::any_of(in.findings.begin(), in.findings.end(),
                       [&](const Finding& f) { return f.kind == g.kind && f.at == g.at; });
  };
  for (const Finding& f : r.findings) {
    for (const RepairOption& o : RepairsFor(r, f)) {
      const RepairPlan plan = PlanRepair(medium, r, f, o);
      if (!plan.ok()) {
        // Only a backup that breaks the rules itself may refuse to be restored from.
        EXPECT_EQ(o.repair, Repair::RestoreBootFromBackup) << o.title << ": " << plan.error;
        continue;
      }
      EXPECT_FALSE(plan.writes.empty() || plan.steps.empty()) << o.title;
      EditedVolume after(medium);
      for (const SectorWrite& w : plan.writes) {
        SectorBytes now{};
        ASSERT_TRUE(after.Read(w.sector, now));
        EXPECT_TRUE(now == w.before) << o.title << ": sector " << w.sector;
        after.Write(w.sector, w.after);
      }
      const CheckResult again = CheckVolume(after);
      // A FAT or a boot sector copied over another brings whatever the copy holds.
      const bool copy = o.repair == Repair::CopyFat || o.repair == Repair::RestoreBootFromBackup;
      for (const Finding& g : again.findings) {
        EXPECT_FALSE(g.kind == f.kind && g.at == f.at && g.node == f.node)
            << image.filename() << ": " << o.title << " left " << g.text;
        EXPECT_TRUE(copy || found(r, g) || kConsequences.count(g.kind) != 0)
            << image.filename() << ": " << o.title << " (" << f.text << ") brought " << g.text;
      }
    }
  }
}

void CheckCorpus(const std::string& fatBits) {
  testing::TempDir dir;
  const fs::path corpus = dir.path() / "corpus";
  testing::RunCommand("MKFS_FAT=" + Quote(testing::tools::kMkfsFat) +
                      " bash " DULVEX_SOURCE_DIR "/tests/check/make_corpus.sh " +
                      Quote(corpus.string()) + " " + fatBits);
  std::ifstream manifest(corpus / "manifest");
  int images = 0;
  for (std::string name, kinds; manifest >> name >> kinds; ++images) {
    SCOPED_TRACE(name);
    const fs::path image = corpus / (name + ".img");
    const CheckResult r = Check(image);
    ASSERT_TRUE(r.complete) << Describe(r.findings);

    // The fault given is found.
    std::istringstream planted(kinds);
    for (std::string kind; std::getline(planted, kind, ',');) {
      EXPECT_TRUE(std::any_of(r.findings.begin(), r.findings.end(),
                              [&](const Finding& f) { return KindName(f.kind) == kind; }))
          << "no " << kind << " finding:\n"
          << Describe(r.findings);
    }
    // Every problem fsck.fat reports is answered, unless the boot sector fsck.fat read the
    // volume through breaks a rule (then its later messages come from a wrong layout).
    const Ran fsck =
        Shell(std::string(testing::tools::kFsckFat) + " -n -v " + Quote(image.string()));
    std::vector<std::string> unknown;
    const std::vector<Problem> problems = Problems(fsck.out, unknown);
    const bool bootBroken = r.Count(K::BootSectorInvalid) > 0;
    EXPECT_TRUE(bootBroken || unknown.empty()) << "fsck.fat said what the table does not know:\n"
                                               << unknown.front();
    for (const Problem& p : problems) {
      if (bootBroken) break;
      EXPECT_TRUE(std::any_of(r.findings.begin(), r.findings.end(),
                              [&](const Finding& f) { return Answers(f, p); }))
          << "no finding answers fsck.fat's \"" << p.line << "\" (" << p.path << ")\n"
          << Describe(r.findings);
    }
    EveryOption(image, r);

    // Repair All, written into a copy of the image.
    const std::map<std::string, std::string> before = ReadFiles(image, dir.path() / "file");
    fat::MediumSource medium;
    ASSERT_TRUE(medium.Open(image).ok());
    const RepairPlan plan = PlanRepairAll(medium);
    ASSERT_TRUE(plan.ok()) << plan.error;
    EXPECT_TRUE(plan.left.empty()) << "left after Repair All:\n" << Describe(plan.left);
    // Repair All as the program makes it: the image behind A:, TOOLS > Check Volume, Repair
    // All, Apply, written through the one write path as one step of the journal.
    testing::ModelFixture program;
    const fs::path repaired = program.Drive('A');
    testing::RunCommand("cp --sparse=always " + Quote(image.string()) + " " +
                        Quote(repaired.string()));
    program.Choose('A');
    program.model.Click("mnuCheckVolume");
    PreviewRepairAll(program.model);
    const std::optional<RepairPreview>& preview = CheckVolumeOf(program.model).preview;
    ASSERT_TRUE(preview.has_value());
    ASSERT_EQ(preview->writes.size(), plan.writes.size());
    program.prompter.messageAnswers = YesToWriting(plan.writes);
    ApplyPreview(program.model);
    program.prompter.messageAnswers.clear();
    const Ran after =
        Shell(std::string(testing::tools::kFsckFat) + " -n " + Quote(repaired.string()));
    std::vector<std::string> afterUnknown;
    const std::vector<Problem> left = Problems(after.out, afterUnknown);
    EXPECT_TRUE(after.status == 0 && left.empty() && afterUnknown.empty())
        << "fsck.fat after Repair All:\n"
        << after.out;
    EXPECT_TRUE(Check(repaired).Clean());
    const std::map<std::string, std::string> now = ReadFiles(repaired, dir.path() / "file");
    for (const auto& [path, bytes] : before) {
      const auto it = now.find(path);
      EXPECT_TRUE(it != now.end() && it->second == bytes) << path << " reads differently";
    }
    // Undo Last Write takes the whole step back, the last sector first: the image again.
    program.prompter.messageAnswers = YesToWriting(plan.writes);
    program.model.Click("mnuUndoWrite");
    EXPECT_EQ(Shell("cmp " + Quote(image.string()) + " " + Quote(repaired.string())).status, 0)
        << "after Undo Last Write";
  }
  EXPECT_GE(images, 15);
}

// A FAT16 volume made by mkfs.fat, with two files; `broken` runs the chain of the second into a
// free cluster.
fs::path SmallVolume(const fs::path& dir, bool broken) {
  fs::path image = dir / (broken ? "broken.img" : "clean.img");
  testing::MakeFatImage(image, 32768, "-F 16 -s 1");
  const std::string file = Quote((dir / "a").string()),
                    mcopy =
                        " && MTOOLS_SKIP_CHECK=1 mcopy -i " + Quote(image.string()) + " " + file;
  testing::RunCommand("head -c 3000 /dev/zero | tr '\\0' 'a' >" + file + mcopy + " ::ONE.TXT" +
                      mcopy + " ::TWO.TXT");
  if (broken) {
    // FAT1 and FAT2 (sectors 1 and 128): TWO.TXT's second entry (cluster 10) says free.
    for (const std::uint64_t fat : {1, 128}) testing::PokeBytes(image, fat, 20, {0, 0});
  }
  return image;
}

// dulvex --check through the program itself, with no display to open a window on: 0 for a
// clean volume, 1 and one line per finding (or JSON) otherwise, 2 for bad arguments; the
// medium is left as it was.
TEST(CheckHeadless, ExitStatusLinesAndJson) {
  const fs::path program = DULVEX_BIN_DIR "/dulvex";
  if (!fs::exists(program)) GTEST_SKIP() << "the program is not built";
  testing::TempDir dir;
  const fs::path clean = SmallVolume(dir.path(), false), broken = SmallVolume(dir.path(), true);
  const std::string run = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                          Quote(program.string()) + " --check ";
  // A medium's name with a line break in it still takes one line.
  const fs::path named = dir.path() / "clean\nvolume.img";
  fs::rename(clean, named);
  const Ran good = Shell(run + Quote(named.string()));
  EXPECT_EQ(good.status, 0) << good.out;
  EXPECT_TRUE(good.out.starts_with((dir.path() / "clean\\nvolume.img: FAT16, ").string()) &&
              good.out.ends_with("\nclean\n") && std::ranges::count(good.out, '\n') == 2)
      << good.out;
  const std::vector<std::uint8_t> before = testing::ReadBytes(broken, 0, 0, 1 << 20);
  const Ran bad = Shell(run + Quote(broken.string()));
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("error chain_into_free sector 1 offset 18, cluster 10: The chain of "
                         "/TWO.TXT runs into free cluster 10 after cluster 9."),
            std::string::npos)
      << bad.out;
  EXPECT_TRUE(bad.out.ends_with("\n3 findings\n")) << bad.out;  // and its size, the lost rest
  const Ran json = Shell(run + Quote(broken.string()) + " --json");
  EXPECT_EQ(json.status, 1);
  EXPECT_NE(json.out.find(R"({"kind": "chain_into_free", "severity": "error", "sector": 1, )"
                          R"("offset": 18, "length": 2, "cluster": 10, "path": "/TWO.TXT")"),
            std::string::npos)
      << json.out;
  EXPECT_EQ(testing::ReadBytes(broken, 0, 0, 1 << 20), before);
  EXPECT_EQ(Shell(run + "/no/such.img").status, 2);
  EXPECT_EQ(Shell(run + Quote(clean.string()) + " --bogus").status, 2);
}

// Progress climbs to the whole of the check; a cancel stops it with what it has, marked
// incomplete, and Repair All then plans nothing.
TEST(CheckVolume, ProgressAndCancel) {
  struct Recorder : WorkProgress {
    std::vector<std::uint64_t> seen;
    std::size_t cancelAfter = SIZE_MAX;
    void Report(std::uint64_t done, std::uint64_t total) override {
      EXPECT_EQ(total, 1000u);
      seen.push_back(done);
    }
    bool Cancelled() const override { return seen.size() > cancelAfter; }
  };
  testing::TempDir dir;
  const fs::path image = SmallVolume(dir.path(), true);
  fat::MediumSource medium;
  ASSERT_TRUE(medium.Open(image).ok());
  Recorder all;
  const CheckResult r = CheckVolume(medium, &all);
  EXPECT_TRUE(r.complete && !r.cancelled && r.Count(K::ChainIntoFree) == 1);
  EXPECT_TRUE(std::is_sorted(all.seen.begin(), all.seen.end()));
  EXPECT_EQ(all.seen.back(), 1000u);
  for (std::size_t stop = 0; stop + 1 < all.seen.size(); stop += 2) {  // before the last report
    Recorder early;
    early.cancelAfter = stop;
    const CheckResult cut = CheckVolume(medium, &early);
    EXPECT_TRUE(cut.cancelled && !cut.complete && !cut.Clean()) << "cancelled at " << stop;
  }
  Recorder cancelled;
  cancelled.cancelAfter = 0;
  const RepairPlan plan = PlanRepairAll(medium, &cancelled);
  EXPECT_TRUE(!plan.ok() && plan.writes.empty());
}

TEST(CheckOracle, Fat12Corpus) {
  CheckCorpus("12");
}
TEST(CheckOracle, Fat16Corpus) {
  CheckCorpus("16");
}
TEST(CheckOracle, Fat32Corpus) {
  CheckCorpus("32");
}

}  // namespace
}  // namespace dulvex::check
