// The search: patterns read from the user's text, and the scan over a medium in chunks,
// forward and backward, through damaged sectors, Cancel and a medium that goes away. The
// window's side of it (the hit shown and marked, going round, F3) is in find_string.scn.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <random>

#include "device/mapped_guard.h"
#include "device/medium_reader.h"
#include "search/scanner.h"
#include "support/device_test_support.h"
#include "support/faulty_reader.h"

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

// The three ways of reading, each checked on the same data.
constexpr device::ReadWay kWays[] = {device::ReadWay::Pread, device::ReadWay::Mapped,
                                     device::ReadWay::Direct};

struct Medium {
  TempDir dir;
  std::filesystem::path file = dir.path() / "medium";
  std::unique_ptr<device::BulkReader> reader;
  explicit Medium(const std::vector<std::uint8_t>& bytes,
                  device::ReadWay way = device::ReadWay::Pread,
                  const device::SectorFaults& faults = {}) {
    std::ofstream(file, std::ios::binary) << std::string(bytes.begin(), bytes.end());
    Status why;
    reader = device::SystemOpener(way).Open(file, &why);
    EXPECT_TRUE(reader) << why.Describe();
    reader = std::make_unique<device::FaultyReader>(std::move(reader), faults);
  }
  ScanOutcome Scan(const Pattern& p, Direction d, std::uint64_t lo = 0,
                   std::uint64_t hi = UINT64_MAX, std::size_t chunk = search::kChunkBytes) {
    Progress progress;
    return search::Scan(*reader, p, lo, hi, d, progress, chunk);
  }
};

// The first and last match of `bytes` lying wholly in data[lo, hi), byte by byte; -1 when none.
std::pair<long long, long long> Reference(const std::vector<std::uint8_t>& data,
                                          const std::vector<PatternByte>& bytes, std::uint64_t lo,
                                          std::uint64_t hi) {
  long long first = -1, last = -1;
  for (std::uint64_t at = lo; at + bytes.size() <= hi; ++at) {
    bool all = true;
    for (std::size_t i = 0; i < bytes.size() && all; ++i)
      all = bytes[i].any || data[at + i] == bytes[i].a || data[at + i] == bytes[i].b;
    if (all) last = static_cast<long long>(at), first = first < 0 ? last : first;
  }
  return {first, last};
}

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

// UTF-16LE in any case: Unicode letters beyond the code page, and a letter whose two cases
// differ in both bytes (ÿ U+00FF, Ÿ U+0178) takes either unit but not a mix of the two.
TEST(SearchPattern, Utf16IgnoreCaseTakesEitherUnitOfAUnicodeLetter) {
  const auto units = [](std::u16string_view text) {
    std::vector<std::uint8_t> bytes;
    for (const char16_t u : text) bytes.push_back(u & 0xFF), bytes.push_back(u >> 8);
    return bytes;
  };
  const auto find = [](std::string_view text, const std::vector<std::uint8_t>& data, bool any) {
    return Compiled(text, FindKind::Utf16, any).FindFirst(data.data(), data.size());
  };
  EXPECT_EQ(find("quarterly \u0436\u03C3", units(u"..QUARTERLY \u0416\u03A3"), true), 4u);
  EXPECT_EQ(find("quarterly", units(u"..QUARTERLY"), false), Pattern::kNone);
  EXPECT_EQ(find("\u00FF", units(u"\u0178"), true), 0u);
  EXPECT_EQ(find("\u0178", units(u"x\u00FF"), true), 2u);
  EXPECT_EQ(find("\u00FF", units(u"\u01FF\u0078"), true), Pattern::kNone);  // FF 01, 78 00
}

// The scan against a plain loop over random data in a few letters, so matches overlap and
// abound, with chunks of one to eight sectors and ranges that begin and end anywhere, read
// each of the three ways: the first and the last match are those the loop finds, across
// sector and chunk boundaries.
TEST(SearchScan, AgreesWithAPlainLoopAcrossSectorsAndChunks) {
  std::mt19937 rng(12);
  std::vector<std::uint8_t> data(9000);
  for (auto& b : data) b = "AAB\xC9I\xC1"[rng() % 6];  // I and Á pass the anchors of A/É
  for (const device::ReadWay way : kWays) {
    Medium medium(data, way);
    for (int round = 0; round < 200; ++round) {
      std::vector<PatternByte> bytes(1 + rng() % 12);
      for (auto& p : bytes)
        p = rng() % 5 == 0 ? PatternByte{0, 0, true}
                           : PatternByte{static_cast<std::uint8_t>("AB\xC9"[rng() % 3]),
                                         static_cast<std::uint8_t>("AB\xE9"[rng() % 3]), false};
      const Pattern pattern(bytes);
      const std::uint64_t lo = rng() % data.size(), hi = lo + rng() % (data.size() - lo + 1);
      const auto [first, last] = Reference(data, bytes, lo, hi);
      const std::size_t chunk = 512 * (1 + rng() % 8);
      EXPECT_EQ(At(medium.Scan(pattern, Direction::Forward, lo, hi, chunk)), first)
          << medium.reader->kind() << " " << round;
      EXPECT_EQ(At(medium.Scan(pattern, Direction::Backward, lo, hi, chunk)), last)
          << medium.reader->kind() << " " << round;
    }
  }
}

// Data made mostly of one byte (erased flash, a fill), with a few others strewn in, and
// patterns made mostly of that byte: the anchors the disk's common bytes suggest agree almost
// everywhere, so the searcher must pick others or hand over to shift-and; its answers stay
// those of the plain loop, in blocks and through a scan in chunks alike.
TEST(SearchScan, MostlyOneByteDataAgreesWithAPlainLoop) {
  std::mt19937 rng(7);
  std::uint64_t repicked = 0, handedOver = 0;
  for (int round = 0; round < 60; ++round) {
    const std::uint8_t fill = "\xFF\x00A\xF6"[round % 4];
    std::vector<std::uint8_t> data(20000 + rng() % 60000, fill);
    const std::size_t strewn = rng() % 40;
    for (std::size_t i = 0; i < strewn; ++i) data[rng() % data.size()] = "\x00\x01B\xFF"[rng() % 4];
    std::vector<PatternByte> bytes(1 + (round % 3 == 0 ? rng() % 512 : rng() % 16));
    for (auto& p : bytes) {
      const unsigned pick = rng() % 16;
      p = pick == 0   ? PatternByte{0, 0, true}
          : pick == 1 ? PatternByte{static_cast<std::uint8_t>("\x00\x01B\xFF"[rng() % 4]),
                                    static_cast<std::uint8_t>("\x00\x01b\xFF"[rng() % 4]), false}
                      : PatternByte{fill, fill, false};
    }
    const Pattern pattern(bytes);
    const auto [first, last] = Reference(data, bytes, 0, data.size());
    search::Searcher searcher(pattern);
    const std::size_t found = searcher.FindFirst(data.data(), data.size());
    EXPECT_EQ(found == Pattern::kNone ? -1 : static_cast<long long>(found), first) << round;
    repicked += searcher.repicks(), handedOver += searcher.shiftAndBytes();
    search::Searcher down(pattern);
    const std::size_t foundLast = down.FindLast(data.data(), data.size());
    EXPECT_EQ(foundLast == Pattern::kNone ? -1 : static_cast<long long>(foundLast), last) << round;
    Medium medium(data);
    EXPECT_EQ(At(medium.Scan(pattern, Direction::Forward, 0, UINT64_MAX, 4096)), first) << round;
    EXPECT_EQ(At(medium.Scan(pattern, Direction::Backward, 0, UINT64_MAX, 4096)), last) << round;
  }
  // Both ways out of a busy filter were taken.
  EXPECT_GT(repicked, 0u);
  EXPECT_GT(handedOver, 0u);
}

// A pattern of the fill byte alone is found where the data begins (or ends), and a fill
// pattern ending in another byte is found by anchoring on that byte: over 0xFF-filled data
// "FF FF FF FF FF FF FF 00" leaves the filter with next to nothing to verify.
TEST(SearchScan, FillPatternsAreFoundAtOnceAndEndingsAnchorTheSearch) {
  std::vector<std::uint8_t> data(1 << 20, 0xFF);
  const std::vector<PatternByte> fill(512, PatternByte{0xFF, 0xFF, false});
  const Pattern pattern(fill);
  search::Searcher searcher(pattern);
  EXPECT_EQ(searcher.FindFirst(data.data(), data.size()), 0u);
  EXPECT_EQ(searcher.FindLast(data.data(), data.size()), data.size() - 512);
  // Zeros with a few other bytes first, where 0xFF makes the better anchors, then the fill:
  // the filter turns busy there and the searcher picks 0x00 from what it has seen since.
  std::mt19937 rng(3);
  for (std::size_t i = 0; i < 65536; ++i)
    data[i] = rng() % 8 == 0 ? static_cast<std::uint8_t>(rng() % 0xFF) : 0;
  data[700000] = 0x00;
  const Pattern ending = Compiled("FF FF FF FF FF FF FF 00", FindKind::Hex);
  search::Searcher anchored(ending);
  EXPECT_EQ(anchored.FindFirst(data.data(), data.size()), 700000u - 7);
  EXPECT_EQ(ending[anchored.anchors().at1].a, 0x00);
  EXPECT_EQ(std::tuple(anchored.repicks(), anchored.shiftAndBytes()), std::tuple(1u, 0u));
}

// A match with all but one of its bytes before a chunk's end (and, backward, all but one
// after a chunk's start), for short and for the longest patterns, read each of the ways.
TEST(SearchScan, MatchesOneByteAcrossAChunkEnd) {
  for (const device::ReadWay way : kWays) {
    for (const std::size_t m : {2u, 5u, 511u, 512u}) {
      std::vector<std::uint8_t> data(std::size_t{5} * 4096, '.');
      std::vector<PatternByte> bytes(m);
      for (std::size_t i = 0; i < m; ++i)
        bytes[i] = {static_cast<std::uint8_t>('a' + i % 26),
                    static_cast<std::uint8_t>('a' + i % 26), false};
      const std::size_t before = std::size_t{2} * 4096 - (m - 1), after = std::size_t{3} * 4096 - 1;
      for (std::size_t i = 0; i < m; ++i) data[before + i] = data[after + i] = bytes[i].a;
      Medium medium(data, way);
      for (const auto& [d, from, want] : {std::tuple(Direction::Forward, std::size_t{0}, before),
                                          {Direction::Backward, 0, after},
                                          {Direction::Forward, before + 1, after}})
        EXPECT_EQ(At(medium.Scan(Pattern(bytes), d, from, UINT64_MAX, 4096)),
                  static_cast<long long>(want))
            << medium.reader->kind() << " " << m;
    }
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

// Unreadable sectors (injected into the reader) are skipped and counted, and no match is made
// across them; the match right after them is found, forward and backward, each way of
// reading. A medium that shrinks under the scan stops it where it stopped answering; Cancel
// stops it after the current chunk, and says where.
TEST(SearchScan, DamagedSectorsVanishedMediumAndCancel) {
  std::vector<std::uint8_t> data(std::size_t{16} * 512, '.');
  const auto poke = [&](std::size_t at, const std::string& s) {
    std::copy(s.begin(), s.end(), data.begin() + static_cast<std::ptrdiff_t>(at));
  };
  poke(3 * 512 - 2, "SPAN");           // runs into the damaged sector 3
  poke(4 * 512 + 7, "GONE");           // inside damaged sector 4
  poke(std::size_t{6} * 512, "SPAN");  // first byte after the damage
  device::SectorFaults faults;
  faults.Add(3, 5);
  for (const device::ReadWay way : kWays) {
    Medium medium(data, way, faults);
    for (const Direction d : {Direction::Forward, Direction::Backward}) {
      const ScanOutcome o =
          medium.Scan(Compiled("SPAN"), d, 3 * 512 - 100, std::uint64_t{12} * 512, 4096);
      // Chunks lie on multiples of 4096: the match lies in the one that holds sectors 3 to 5.
      EXPECT_EQ(std::tuple(At(o), o.skippedSectors, o.firstSkipped), std::tuple(6 * 512LL, 3u, 3u))
          << medium.reader->kind();
      EXPECT_EQ(At(medium.Scan(Compiled("GONE"), d, 0, UINT64_MAX, 4096)), -1);
    }
    // Sectors outside the counted span are skipped without being counted.
    Progress progress;
    const ScanOutcome o = search::Scan(*medium.reader, Compiled("none"), 0, UINT64_MAX,
                                       Direction::Forward, progress, 4096, {4, 100});
    EXPECT_EQ(std::tuple(o.skippedSectors, o.firstSkipped), std::tuple(2u, 4u));
    // Damage in two chunks, met from the far end when going backward: the lowest is named.
    device::SectorFaults apart;
    apart.Add(2, 2);
    apart.Add(12, 12);
    Medium twoPlaces(data, way, apart);
    for (const Direction d : {Direction::Forward, Direction::Backward}) {
      const ScanOutcome both = twoPlaces.Scan(Compiled("none"), d, 0, UINT64_MAX, 4096);
      EXPECT_EQ(std::tuple(both.skippedSectors, both.firstSkipped), std::tuple(2u, 2u))
          << twoPlaces.reader->kind();
    }
  }

  for (const device::ReadWay way : kWays) {
    Medium medium(data, way);
    // Cancel says where the scan stopped: two chunks in, from the start or from the end.
    for (const Direction d : {Direction::Forward, Direction::Backward}) {
      Progress cancel;
      cancel.cancelAfter = 2;
      const ScanOutcome c =
          search::Scan(*medium.reader, Compiled("x"), 0, UINT64_MAX, d, cancel, 1024);
      EXPECT_EQ(c.end, End::Cancelled);
      EXPECT_EQ(cancel.reports, 2);
      EXPECT_EQ(c.stoppedAt, d == Direction::Forward ? 2048u : data.size() - 2048);
    }
    Progress shrink;
    shrink.onReport = [&] { std::filesystem::resize_file(medium.file, 4096 + 100); };
    const ScanOutcome o = search::Scan(*medium.reader, Compiled("none"), 0, UINT64_MAX,
                                       Direction::Forward, shrink, 4096);
    EXPECT_EQ(std::tuple(o.end, o.stoppedAt), std::tuple(End::Vanished, 4096u))
        << medium.reader->kind();
  }
}

// A page of a mapping that the file no longer has raises SIGBUS: inside RunGuarded it ends
// the work and says so, and the same thread can go on and guard again.
TEST(SearchScan, AFailedPageOfAMappingIsReportedNotFatal) {
  constexpr std::size_t kPage = 4096, kSpan = 3 * kPage;
  TempDir dir;
  const auto file = dir.path() / "cut";
  std::ofstream(file, std::ios::binary) << std::string(kSpan, 'x');
  device::MediumReader plain;
  ASSERT_TRUE(plain.Open(file).ok());
  void* map = ::mmap(nullptr, kSpan, PROT_READ, MAP_SHARED, plain.fd(), 0);
  ASSERT_NE(map, MAP_FAILED);
  std::filesystem::resize_file(file, 4096);
  const auto* bytes = static_cast<const volatile std::uint8_t*>(map);
  int sum = 0;
  auto firstPage = [&] { sum += bytes[100]; };
  auto pastTheEnd = [&] { sum += bytes[kPage * 2 + 5]; };
  EXPECT_TRUE(device::RunGuarded(map, kSpan, firstPage));
  EXPECT_FALSE(device::RunGuarded(map, kSpan, pastTheEnd));
  EXPECT_FALSE(device::RunGuarded(map, kSpan, pastTheEnd));
  EXPECT_TRUE(device::RunGuarded(map, kSpan, firstPage));
  EXPECT_EQ(sum, 2 * 'x');
  ::munmap(map, kSpan);
}

}  // namespace
}  // namespace dulvex::testing
