// The search: patterns read from the user's text, and the scan over a medium in chunks,
// forward and backward, through damaged sectors, Cancel and a medium that goes away. The
// window's side of it (the hit shown and marked, going round, F3) is in find_string.scn.
#include <gtest/gtest.h>

#include <random>

#include "device/fault_injection.h"
#include "device/medium_reader.h"
#include "search/scanner.h"
#include "support/device_test_support.h"

namespace dulvex::testing {
namespace {

using search::CompilePattern;
using search::Direction;
using search::FindKind;
using search::Pattern;
using search::PatternByte;
using search::ScanOutcome;
using End = ScanOutcome::End;

// Progress that can press Cancel, or do something to the medium, after some reports.
struct Progress : WorkProgress {
  int reports = 0, cancelAfter = -1;
  std::function<void()> onReport;
  void Report(std::uint64_t, std::uint64_t) override {
    ++reports;
    if (onReport) onReport();
  }
  bool Cancelled() const override { return cancelAfter >= 0 && reports >= cancelAfter; }
};

Pattern Compiled(std::string_view text, FindKind kind = FindKind::Text, bool ignoreCase = false) {
  search::CompiledPattern c = CompilePattern(text, kind, ignoreCase);
  EXPECT_TRUE(c.pattern) << c.error;
  return c.pattern ? *c.pattern : Pattern({PatternByte{}});
}

struct Medium {
  TempDir dir;
  std::filesystem::path file = dir.path() / "medium";
  device::MediumReader reader;
  explicit Medium(const std::vector<std::uint8_t>& bytes) {
    std::ofstream(file, std::ios::binary) << std::string(bytes.begin(), bytes.end());
    EXPECT_TRUE(reader.Open(file).ok());
  }
  ScanOutcome Scan(const Pattern& p, Direction d, std::uint64_t lo = 0,
                   std::uint64_t hi = UINT64_MAX, std::size_t chunk = search::kChunkBytes) {
    Progress progress;
    return search::Scan(reader, p, lo, hi, d, progress, chunk);
  }
};

// Where a scan found its match, or -1.
long long At(const ScanOutcome& o) {
  return o.end == End::Found ? static_cast<long long>(o.offset) : -1;
}

TEST(SearchPattern, TextsBecomeBytesOrAReason) {
  const std::vector<std::uint8_t> hex = {0x00, 0xEB, 0x3C, 0x90, 0x11, 0x22};
  EXPECT_EQ(Compiled("EB3C 90 ?? ??", FindKind::Hex).FindFirst(hex.data(), hex.size()), 1u);
  EXPECT_EQ(Compiled("eb 3c 90 ?? ?? ??", FindKind::Hex).FindFirst(hex.data(), hex.size()),
            Pattern::kNone);
  const std::vector<std::uint8_t> utf16 = {0x41, 0x00, 0xE9, 0x00, 0x3D, 0xD8, 0x00, 0xDE};
  EXPECT_EQ(Compiled("A\u00E9\U0001F600", FindKind::Utf16).FindLast(utf16.data(), utf16.size()),
            0u);
  for (const char* bad : {"EB 3", "EB 3G", "?A"})
    EXPECT_FALSE(CompilePattern(bad, FindKind::Hex, false).pattern) << bad;
  EXPECT_EQ(CompilePattern("\u0107", FindKind::Text, false).error,
            "\"\u0107\" has no byte in the code page Windows-1252.");
  EXPECT_FALSE(CompilePattern("  ", FindKind::Hex, false).pattern);
  EXPECT_FALSE(CompilePattern(std::string(513, 'x'), FindKind::Text, false).pattern);
  EXPECT_TRUE(CompilePattern(std::string(512, 'x'), FindKind::Text, false).pattern);
}

// Letters of the code page in both cases: é É, š Š (0x9A 0x8A), ÿ Ÿ (0xFF 0x9F); signs and ß
// have no other case.
TEST(SearchPattern, IgnoreCaseTakesBothCasesOfCodePageLetters) {
  const std::vector<std::uint8_t> data = {'x', 'C', 'a', 'F', 0xC9, 0x8A, 0xFF, 0xF7, 0xDF};
  EXPECT_EQ(Compiled("caf\u00E9\u0161\u0178\u00F7\u00DF", FindKind::Text, true)
                .FindFirst(data.data(), data.size()),
            1u);
  EXPECT_EQ(Compiled("caf\u00E9").FindFirst(data.data(), data.size()), Pattern::kNone);
  EXPECT_EQ(Compiled("\u00D7", FindKind::Text, true).FindFirst(data.data(), data.size()),
            Pattern::kNone);  // × is no letter: ÷ is not its other case
}

// The scan against a plain loop over random data in a few letters, so matches overlap and
// abound, with chunks of one to eight sectors and ranges that begin and end anywhere:
// the first and the last match are those the loop finds, across sector and chunk boundaries.
TEST(SearchScan, AgreesWithAPlainLoopAcrossSectorsAndChunks) {
  std::mt19937 rng(12);
  std::vector<std::uint8_t> data(9000);
  for (auto& b : data) b = "AAB\xC9I\xC1"[rng() % 6];  // I and Á pass the anchors of A/É
  Medium medium(data);
  for (int round = 0; round < 400; ++round) {
    std::vector<PatternByte> bytes(1 + rng() % 12);
    for (auto& p : bytes)
      p = rng() % 5 == 0 ? PatternByte{0, 0, true}
                         : PatternByte{static_cast<std::uint8_t>("AB\xC9"[rng() % 3]),
                                       static_cast<std::uint8_t>("AB\xE9"[rng() % 3]), false};
    const Pattern pattern(bytes);
    const std::uint64_t lo = rng() % data.size(), hi = lo + rng() % (data.size() - lo + 1);
    std::vector<long long> starts;
    for (std::uint64_t at = lo; at + bytes.size() <= hi; ++at) {
      bool all = true;
      for (std::size_t i = 0; i < bytes.size(); ++i)
        all = all && (bytes[i].any || data[at + i] == bytes[i].a || data[at + i] == bytes[i].b);
      if (all) starts.push_back(static_cast<long long>(at));
    }
    const std::size_t chunk = 512 * (1 + rng() % 8);
    EXPECT_EQ(At(medium.Scan(pattern, Direction::Forward, lo, hi, chunk)),
              starts.empty() ? -1 : starts.front())
        << round;
    EXPECT_EQ(At(medium.Scan(pattern, Direction::Backward, lo, hi, chunk)),
              starts.empty() ? -1 : starts.back())
        << round;
  }
}

// At the very first and the very last byte of the medium, and across the boundary of two
// 1 MiB chunks, in both directions; "?" is a wildcard in hex only.
TEST(SearchScan, EdgesOfTheMediumAndOfChunks) {
  std::vector<std::uint8_t> data((2 << 20) + 700, 0);
  data[0] = 'Q', data[data.size() - 1] = 'Z';
  const std::string across = "ACROSS";
  std::copy(across.begin(), across.end(), data.begin() + (1 << 20) - 3);
  Medium medium(data);
  const long long last = static_cast<long long>(data.size()) - 1;
  EXPECT_EQ(At(medium.Scan(Compiled("Q"), Direction::Forward)), 0);
  EXPECT_EQ(At(medium.Scan(Compiled("Q"), Direction::Backward)), 0);
  EXPECT_EQ(At(medium.Scan(Compiled("Z"), Direction::Forward)), last);
  EXPECT_EQ(At(medium.Scan(Compiled("00 00 5A", FindKind::Hex), Direction::Backward)), last - 2);
  EXPECT_EQ(At(medium.Scan(Compiled("ACR?SS"), Direction::Forward)), -1);
  EXPECT_EQ(At(medium.Scan(Compiled("41 43 ?? 4F ?? 53", FindKind::Hex), Direction::Forward)),
            (1 << 20) - 3);
  EXPECT_EQ(At(medium.Scan(Compiled("ACROSS"), Direction::Backward)), (1 << 20) - 3);
}

// A long name written by mtools is found as UTF-16LE, in the long-name entry just before its
// short entry (its first five characters lie at offset 1 of that entry).
TEST(SearchScan, FindsTheUtf16LongNameMtoolsWrote) {
  TempDir dir;
  const auto image = dir.path() / "floppy", file = dir.path() / "f";
  MakeFatImage(image, 2880, "-F 12");
  RunCommand("echo hi > '" + file.string() + "' && MTOOLS_SKIP_CHECK=1 mcopy -i '" +
             image.string() + "' '" + file.string() + "' '::Quarterly report.txt'");
  const std::vector<std::uint8_t> bytes = WholeFile(image);
  const std::string shortName = "QUARTE~1TXT";
  const auto it = std::search(bytes.begin(), bytes.end(), shortName.begin(), shortName.end());
  ASSERT_NE(it, bytes.end());
  Medium medium(bytes);
  EXPECT_EQ(At(medium.Scan(Compiled("Quart", FindKind::Utf16), Direction::Forward)),
            (it - bytes.begin()) - 32 + 1);
}

// Unreadable sectors are skipped and counted, and no match is made across them; the match
// right after them is found, forward and backward. A medium that shrinks under the scan
// stops it where it stopped answering; Cancel stops it after the current chunk.
TEST(SearchScan, DamagedSectorsVanishedMediumAndCancel) {
  std::vector<std::uint8_t> data(16 * 512, '.');
  const auto poke = [&](std::size_t at, const std::string& s) {
    std::copy(s.begin(), s.end(), data.begin() + static_cast<std::ptrdiff_t>(at));
  };
  poke(3 * 512 - 2, "SPAN");  // runs into the damaged sector 3
  poke(4 * 512 + 7, "GONE");  // inside damaged sector 4
  poke(6 * 512, "SPAN");      // first byte after the damage
  Medium medium(data);
  ASSERT_TRUE(device::InjectReadFault(medium.file, 3, 5));
  for (const Direction d : {Direction::Forward, Direction::Backward}) {
    const ScanOutcome o = medium.Scan(Compiled("SPAN"), d, 3 * 512 - 100, 12 * 512, 4096);
    EXPECT_EQ(At(o), 6 * 512);
    // Chunks lie on multiples of 4096: the match lies in the one that holds sectors 3 to 5.
    EXPECT_EQ(o.skippedSectors, 3u);
    EXPECT_EQ(o.firstSkipped, 3u);
    EXPECT_EQ(At(medium.Scan(Compiled("GONE"), d, 0, UINT64_MAX, 4096)), -1);
  }
  device::ClearReadFaults();

  Progress cancel;
  cancel.cancelAfter = 2;
  EXPECT_EQ(
      search::Scan(medium.reader, Compiled("x"), 0, UINT64_MAX, Direction::Backward, cancel, 1024)
          .end,
      End::Cancelled);
  EXPECT_EQ(cancel.reports, 2);
  Progress shrink;
  shrink.onReport = [&] { std::filesystem::resize_file(medium.file, 4096 + 100); };
  const ScanOutcome o = search::Scan(medium.reader, Compiled("none"), 0, UINT64_MAX,
                                     Direction::Forward, shrink, 4096);
  EXPECT_EQ(o.end, End::Vanished);
  EXPECT_EQ(o.stoppedAt, 4096u);
}

}  // namespace
}  // namespace dulvex::testing
