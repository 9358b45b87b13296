// The directory analyzer: report lines, end marker, long-name pieces and the colour views.
#include "direntry/dir_analyzer.h"

#include <gtest/gtest.h>

#include "core/form1_design.h"
#include "direntry/entry_views.h"
#include "support/test_support.h"

namespace dulvex::testing {
namespace {

using Entry = std::array<std::uint8_t, 32>;

// A short-name entry: 11 name characters, attribute, first cluster and length.
Entry ShortEntry(const std::string& name11, std::uint8_t attr, std::uint16_t cluster,
                 std::uint32_t length) {
  Entry e{};
  for (std::size_t k = 0; k < 11; ++k) e[k] = static_cast<std::uint8_t>(name11.at(k));
  e[11] = attr;
  const std::uint64_t tail = std::uint64_t{length} << 16 | cluster;  // bytes 26-31
  for (int k = 0; k < 6; ++k) e[26 + k] = static_cast<std::uint8_t>(tail >> (8 * k));
  return e;
}

// A long-name piece holding up to 13 characters: a 0 after the name, 0xFFFF after that.
Entry LongEntry(std::uint8_t seq, std::uint8_t attr, const std::string& chars) {
  static constexpr std::size_t kCharAt[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  Entry e{seq};
  e[11] = attr;
  for (std::size_t i = 0; i < 13; ++i) {
    e[kCharAt[i]] = e[kCharAt[i] + 1] = i <= chars.size() ? 0 : 0xFF;
    if (i < chars.size()) e[kCharAt[i]] = static_cast<std::uint8_t>(chars[i]);
  }
  return e;
}

SectorBytes Sector(const std::vector<Entry>& entries) {
  SectorBytes s{};
  for (std::size_t i = 0; i < entries.size(); ++i) std::copy_n(entries[i].data(), 32, &s[32 * i]);
  return s;
}

std::string Totals(int count, int deleted) {
  return "Total number of files (deleted included)=" + std::to_string(count) +
         "\r\nTotal number of files deleted=" + std::to_string(deleted);
}

const std::string kNul = "\u2400";  // how a byte 0 shows in the report

// Each row: the entry, its report line (without "\r\n"), its paint, and its slot of the
// file-list table: name, first cluster, length. (The volume label's line: direntry.scn.)
TEST(DirAnalyzer, ReportLineOfEachKindOfEntry) {
  const std::string hello = "Hello.txt" + kNul + "\u00FF\u00FF\u00FF";
  const auto S = EntryPaint::Short;
  const struct {
    Entry entry;
    std::string line;
    EntryPaint paint;
    std::string name;
    double cluster, length;
  } cases[] = {
      {ShortEntry("README  TXT", 0x20, 2, 1234), "name:README  .TXT Archive\t1stClus: 2\tLen: 1234",
       S, "README  ", 2, 1234},
      {ShortEntry("DOCS       ", 0x10, 5, 0), "name:DOCS    .    Directory\t1stClus: 5\tLen: 0", S,
       "DOCS    ", 5, 0},
      {ShortEntry("A       B  ", 0x01, 1, 1), "name:A       .B   Read Only\t1stClus: 1\tLen: 1", S,
       "A       ", 1, 1},
      {ShortEntry("RO      TXT", 0x21, 7, 100), "0x21\t1stClus: 7\tLen: 100", S, "", 7, 100},
      {ShortEntry("ZERO    BIN", 0x00, 3, 4), "0x0\t1stClus: 3\tLen: 4", S, "", 3, 4},
      {ShortEntry("BIG     BIN", 0x20, 0xFFFF, 0xFFFFFFFF),
       "name:BIG     .BIN Archive\t1stClus: 65535\tLen: 4294967295", S, "BIG     ", 65535,
       4294967295.0},
      {LongEntry(0x41, 0x0F, "Hello.txt"), "LongNameSubComp 65:\t" + hello, EntryPaint::LongFirst,
       "", 0, 0},
      // The deleted mark 0xE5 in code page 850: "Õ".
      {ShortEntry("\xE5" + std::string("EADME  TXT"), 0x20, 9, 10),
       "name:\u00D5"
       "EADME  .TXT Archive\t1stClus: 9\tLen: 10 Deleted",
       S, "\u00D5EADME  ", 9, 0},
      {LongEntry(0xE5, 0x0F, "Hello.txt"), "LongNameSubComp 229:\t" + hello + " Deleted", S, "", 0,
       0},
      {ShortEntry(std::string("AB\0CD   TXT", 11), 0x20, 4, 5),
       "name:AB" + kNul + "CD   .TXT Archive\t1stClus: 4\tLen: 5", S, "AB" + kNul + "CD   ", 4, 5},
  };
  for (auto c : cases) {
    // The high half of a FAT32 cluster is no part of it on FAT12/FAT16.
    if (c.entry[11] != 0x0F) c.entry[20] = 0x01;
    const DirectoryAnalysis a = AnalyzeDirectoryBytes(Sector({c.entry}), 2);
    const int deleted = c.line.ends_with(" Deleted") ? 1 : 0;
    EXPECT_EQ(a.report, c.line + "\r\nEnd\r\n" + Totals(1, deleted));
    EXPECT_EQ(a.paints, std::vector<EntryPaint>{c.paint}) << c.line;
    EXPECT_EQ(std::pair(a.files.FileCount, a.files.DeletedCount), std::pair(1, deleted));
    EXPECT_EQ(std::tuple(a.files.FileNames[1], a.files.FileFirstCluster[1], a.files.FileLength[1]),
              std::tuple(c.name, c.cluster, c.length));
  }
}

TEST(DirAnalyzer, EndMarkerStopsTheAnalysis) {
  const std::string line = "name:FILE    .TXT Archive\t1stClus: 2\tLen: 3\r\n";
  for (int endAt : {0, 5, 16}) {  // entry holding the end marker, 16 for none
    ModelFixture f;
    std::vector<Entry> entries(16, ShortEntry("FILE    TXT", 0x20, 2, 3));
    if (endAt < 16) entries[static_cast<std::size_t>(endAt)][0] = 0;  // data follows it
    f.model.state.SectorBuffer = Sector(entries);
    AnalyzeDirectorySector(f.model);
    std::string expected;
    for (int i = 0; i < endAt; ++i) expected += line;
    EXPECT_EQ(f.model.At("Text5").caption,
              expected + (endAt < 16 ? "End\r\n" : "") + Totals(endAt, 0));
    EXPECT_EQ(f.model.state.files.FileCount, endAt);
    for (int k = 0; k < 16; ++k)  // each entry's attribute byte: painted up to the end marker
      EXPECT_EQ(f.model.Label3[32u * k + 11]->back != HexPlainColour, k < endAt) << k << endAt;
  }
}

// Any attribute with the low nibble 0xF is a piece, painted with the long view; the first one
// stored gets a green cell.
TEST(DirAnalyzer, LongNamePiecesGetLongColoursAndTheFirstStoredOneAGreenCell) {
  for (std::uint8_t attr : {0x0F, 0x1F, 0x2F, 0x3F}) {
    SCOPED_TRACE(static_cast<int>(attr));
    ModelFixture f;
    f.model.state.SectorBuffer =
        Sector({LongEntry(0x42, attr, "t"), LongEntry(0x01, attr, "Hello World.t"),
                ShortEntry("HELLOW~1TXT", 0x20, 2, 15)});
    AnalyzeDirectorySector(f.model);
    const std::string text = f.model.At("Text5").caption;
    EXPECT_EQ(text.substr(0, text.find("\r\n")),
              "LongNameSubComp 66:\tt" + kNul +
                  "\u00FF\u00FF\u00FF\u00FF\u00FF\u00FF\u00FF\u00FF\u00FF\u00FF\u00FF");
    EXPECT_NE(text.find("\r\nLongNameSubComp 1:\tHello World.t\r\n"), std::string::npos);
    EXPECT_EQ(f.model.Label3[0]->back, kLongNameStartColour);
    EXPECT_EQ(f.model.Label3[32]->back, kAttrColour);  // the short view leaves byte 0 plain
    EXPECT_EQ(f.model.state.files.FileCount, 3);
  }
}

}  // namespace
}  // namespace dulvex::testing
