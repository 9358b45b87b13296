// The directory analyzer: report lines, end marker, entry kinds and their colours, the
// file-list table, the directory panel and the two TOOLS items.
#include "direntry/dir_analyzer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/form1_design.h"
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
  e[26] = static_cast<std::uint8_t>(cluster);
  e[27] = static_cast<std::uint8_t>(cluster >> 8);
  for (int k = 0; k < 4; ++k) e[28 + k] = static_cast<std::uint8_t>(length >> (8 * k));
  return e;
}

// A long-name piece holding up to 13 characters: a 0 after the name, 0xFFFF after that.
Entry LongEntry(std::uint8_t seq, std::uint8_t attr, const std::string& chars) {
  static constexpr int kCharAt[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  Entry e{};
  e[0] = seq;
  e[11] = attr;
  e[13] = 0x5A;  // checksum
  for (std::size_t i = 0; i < 13; ++i) {
    std::uint16_t ch = 0xFFFF;
    if (i < chars.size()) ch = static_cast<std::uint8_t>(chars[i]);
    if (i == chars.size()) ch = 0;
    e[static_cast<std::size_t>(kCharAt[i])] = static_cast<std::uint8_t>(ch);
    e[static_cast<std::size_t>(kCharAt[i] + 1)] = static_cast<std::uint8_t>(ch >> 8);
  }
  return e;
}

SectorBytes Sector(const std::vector<Entry>& entries) {
  SectorBytes s{};
  for (std::size_t i = 0; i < entries.size() && i < 16; ++i) {
    std::copy(entries[i].begin(), entries[i].end(), s.begin() + static_cast<long>(32 * i));
  }
  return s;
}

std::string Totals(int count, int deleted) {
  return "Total number of files (deleted included)=" + std::to_string(count) +
         "\r\nTotal number of files deleted=" + std::to_string(deleted);
}

// Chooses "Analyze Act. Sec. as File List" with the TOOLS menu enabled, as after a refresh.
void Analyze(ModelFixture& f) {
  f.model.At("mnuTolls").enabled = true;
  ASSERT_TRUE(f.model.Click("mnuAnalFile"));
}

const std::string kNul = "\u2400";  // how a byte 0 shows in the report
const std::string kE5 = "\u00E5";   // the character of 0xE5
const std::string kFF = "\u00FF";   // the character of 0xFF

struct LineCase {
  const char* what;
  Entry entry;
  std::string line;  // without its "\r\n"
  EntryPaint paint;
  std::string nameSlot;
  double cluster, length;  // slot values
  int deleted;
};

TEST(DirAnalyzer, ReportLineOfEachKindOfEntry) {
  Entry deletedLong = LongEntry(0x41, 0x0F, "Hello.txt");
  deletedLong[0] = 0xE5;
  Entry deletedFile = ShortEntry("README  TXT", 0x20, 9, 10);
  deletedFile[0] = 0xE5;
  Entry nulInName = ShortEntry("AB CD   TXT", 0x20, 4, 5);
  nulInName[2] = 0;
  const std::string hello = "Hello.txt" + kNul + kFF + kFF + kFF;
  const LineCase cases[] = {
      {"archive file", ShortEntry("README  TXT", 0x20, 2, 1234),
       "name:README  .TXT Archive\t1stClus: 2\tLen: 1234", EntryPaint::Short, "README  ", 2, 1234,
       0},
      {"subdirectory", ShortEntry("DOCS       ", 0x10, 5, 0),
       "name:DOCS    .    Directory\t1stClus: 5\tLen: 0", EntryPaint::Short, "DOCS    ", 5, 0, 0},
      {"volume label", ShortEntry("MYDISK     ", 0x08, 0, 0),
       "name:MYDISK  .    Volume ID\t1stClus: 0\tLen: 0", EntryPaint::Short, "MYDISK  ", 0, 0, 0},
      {"read only", ShortEntry("A       B  ", 0x01, 1, 1),
       "name:A       .B   Read Only\t1stClus: 1\tLen: 1", EntryPaint::Short, "A       ", 1, 1, 0},
      {"hidden", ShortEntry("H          ", 0x02, 0, 0),
       "name:H       .    Hidden\t1stClus: 0\tLen: 0", EntryPaint::Short, "H       ", 0, 0, 0},
      {"system", ShortEntry("S          ", 0x04, 0, 0),
       "name:S       .    System\t1stClus: 0\tLen: 0", EntryPaint::Short, "S       ", 0, 0, 0},
      {"combined attribute", ShortEntry("RO      TXT", 0x21, 7, 100), "0x21\t1stClus: 7\tLen: 100",
       EntryPaint::Short, "", 7, 100, 0},
      {"attribute 0", ShortEntry("ZERO    BIN", 0x00, 3, 4), "0x0\t1stClus: 3\tLen: 4",
       EntryPaint::Short, "", 3, 4, 0},
      {"largest cluster and length", ShortEntry("BIG     BIN", 0x20, 0xFFFF, 0xFFFFFFFF),
       "name:BIG     .BIN Archive\t1stClus: 65535\tLen: 4294967295", EntryPaint::Short, "BIG     ",
       65535, 4294967295.0, 0},
      {"long-name piece", LongEntry(0x41, 0x0F, "Hello.txt"), "LongNameSubComp 65:\t" + hello,
       EntryPaint::LongFirst, "", 0, 0, 0},
      {"deleted file", deletedFile,
       "name:" + kE5 + "EADME  .TXT Archive\t1stClus: 9\tLen: 10 Deleted", EntryPaint::Short,
       kE5 + "EADME  ", 9, 0, 1},
      {"deleted long-name piece", deletedLong, "LongNameSubComp 229:\t" + hello + " Deleted",
       EntryPaint::Short, "", 0, 0, 1},
      {"byte 0 inside a name", nulInName,
       "name:AB" + kNul + "CD   .TXT Archive\t1stClus: 4\tLen: 5", EntryPaint::Short,
       "AB" + kNul + "CD   ", 4, 5, 0},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.what);
    const DirectoryAnalysis a = AnalyzeDirectoryBytes(Sector({c.entry}));
    EXPECT_EQ(a.report, c.line + "\r\nEnd\r\n" + Totals(1, c.deleted));
    ASSERT_EQ(a.paints.size(), 1u);
    EXPECT_EQ(a.paints[0], c.paint);
    EXPECT_EQ(a.files.FileCount, 1);
    EXPECT_EQ(a.files.DeletedCount, c.deleted);
    EXPECT_EQ(a.files.FileNames[1], c.nameSlot);
    EXPECT_EQ(a.files.FileFirstCluster[1], c.cluster);
    EXPECT_EQ(a.files.FileLength[1], c.length);
  }
}

TEST(DirAnalyzer, EndMarkerStopsTheAnalysis) {
  const Entry file = ShortEntry("FILE    TXT", 0x20, 2, 3);
  const std::string line = "name:FILE    .TXT Archive\t1stClus: 2\tLen: 3\r\n";
  for (int endAt : {0, 5, 16}) {  // entry holding the end marker, 16 for none
    SCOPED_TRACE(endAt);
    ModelFixture f;
    std::vector<Entry> entries(16, file);
    if (endAt < 16) entries[static_cast<std::size_t>(endAt)][0] = 0;  // data follows it
    f.model.state.SectorBuffer = Sector(entries);
    Analyze(f);
    std::string expected;
    for (int i = 0; i < endAt; ++i) expected += line;
    if (endAt < 16) expected += "End\r\n";
    expected += Totals(endAt, 0);
    EXPECT_EQ(f.model.At("Text5").caption, expected);
    EXPECT_EQ(f.model.state.files.FileCount, endAt);
    for (int i = 0; i < 512; ++i) {
      const bool painted = i < 32 * endAt && ShortEntryColours()[static_cast<std::size_t>(i % 32)];
      EXPECT_EQ(f.model.Label3[static_cast<std::size_t>(i)]->back != HexPlainColour, painted)
          << "cell " << i;
    }
  }
}

TEST(DirAnalyzer, LongNamePiecesGetLongColoursAndTheFirstStoredOneAGreenCell) {
  for (std::uint8_t attr : {0x0F, 0x1F, 0x2F, 0x3F}) {
    SCOPED_TRACE(static_cast<int>(attr));
    ModelFixture f;
    f.model.state.SectorBuffer =
        Sector({LongEntry(0x42, attr, "t"), LongEntry(0x01, attr, "Hello World.t"),
                ShortEntry("HELLOW~1TXT", 0x20, 2, 15)});
    Analyze(f);
    const std::string text = f.model.At("Text5").caption;
    EXPECT_EQ(text.substr(0, text.find("\r\n")), "LongNameSubComp 66:\tt" + kNul + kFF + kFF + kFF +
                                                     kFF + kFF + kFF + kFF + kFF + kFF + kFF + kFF);
    EXPECT_NE(text.find("\r\nLongNameSubComp 1:\tHello World.t\r\n"), std::string::npos);
    EXPECT_EQ(f.model.Label3[0]->back, kLongNameStartColour);
    EXPECT_EQ(f.model.Label3[32]->back, kAttrColour);
    for (std::size_t k = 1; k < 32; ++k) {
      EXPECT_EQ(f.model.Label3[k]->back, *LongEntryColours()[k]) << k;
      EXPECT_EQ(f.model.Label3[32 + k]->back, *LongEntryColours()[k]) << k;
    }
    EXPECT_EQ(f.model.Label3[12]->back, HexPlainColour);
    EXPECT_EQ(f.model.state.files.FileCount, 3);
  }
}

TEST(DirAnalyzer, DeletedLongNamePieceGetsShortColours) {
  ModelFixture f;
  Entry piece = LongEntry(0x41, 0x0F, "gone.txt");
  piece[0] = 0xE5;
  f.model.state.SectorBuffer = Sector({piece, ShortEntry("\xE5ONE    TXT", 0x20, 3, 6)});
  Analyze(f);
  for (std::size_t k = 0; k < 64; ++k) {
    const auto& want = ShortEntryColours()[k % 32];
    EXPECT_EQ(f.model.Label3[k]->back, want ? *want : HexPlainColour) << k;
  }
  EXPECT_EQ(f.model.state.files.FileCount, 2);
  EXPECT_EQ(f.model.state.files.DeletedCount, 2);
  EXPECT_EQ(f.model.state.files.FileLength[2], 0);
}

TEST(DirAnalyzer, EachAnalysisStartsAFreshTable) {
  ModelFixture f;
  f.model.state.SectorBuffer =
      Sector({ShortEntry("A       TXT", 0x20, 2, 3), ShortEntry("B       TXT", 0x20, 4, 5)});
  Analyze(f);
  EXPECT_EQ(f.model.state.files.FileNames[2], "B       ");
  f.model.state.SectorBuffer = Sector({LongEntry(0x41, 0x0F, "x")});
  Analyze(f);
  EXPECT_EQ(f.model.state.files.FileCount, 1);
  EXPECT_EQ(f.model.state.files.FileNames[1], "");
  EXPECT_EQ(f.model.state.files.FileNames[2], "");
  EXPECT_EQ(f.model.state.files.FileFirstCluster[2], 0);
}

// --- Colour views ---------------------------------------------------------------------------

TEST(EntryViews, ButtonsPaintEveryEntryAndLeaveTextCells) {
  ModelFixture f;
  f.model.state.SectorBuffer.fill(0);  // the buttons paint whatever the sector holds
  ASSERT_TRUE(f.model.Click("Command11"));
  EXPECT_FALSE(f.model.At("Frame4").visible);
  for (std::size_t i = 0; i < 512; ++i) {
    const auto& want = ShortEntryColours()[i % 32];
    EXPECT_EQ(f.model.Label3[i]->back, want ? *want : HexPlainColour) << i;
    EXPECT_EQ(f.model.Label55[i]->back, TextPlainColour) << i;
  }
  // Long, then short over it: the bytes the short view leaves keep the long colours.
  f.model.Click("Command12");
  f.model.Click("Command11");
  for (std::size_t e = 0; e < 512; e += 32) {
    EXPECT_EQ(f.model.Label3[e]->back, kAttrColour);
    for (std::size_t k = 1; k <= 7; ++k) EXPECT_EQ(f.model.Label3[e + k]->back, kNameColour);
    EXPECT_EQ(f.model.Label3[e + 8]->back, kExtColour);
    EXPECT_EQ(f.model.Label3[e + 12]->back, HexPlainColour);
  }
}

TEST(EntryViews, ShortViewKeepsASelectionInTheCellsItLeaves) {
  ModelFixture f;
  ASSERT_TRUE(f.model.Click("Label3", 3));  // a selection of three positions
  ASSERT_TRUE(f.model.Click("Label55", 12));
  ASSERT_TRUE(f.model.Click("Label3", 40));
  f.model.Click("Command11");
  EXPECT_EQ(f.model.Label3[3]->back, HexMarkedColour);
  EXPECT_EQ(f.model.Label3[12]->back, HexMarkedColour);
  EXPECT_EQ(f.model.Label3[40]->back, kExtColour);  // byte 8 of entry 1
  f.model.Click("Command12");
  EXPECT_EQ(f.model.Label3[3]->back, kNameColour);
  for (std::size_t i : {3u, 12u, 40u}) EXPECT_EQ(f.model.Label55[i]->back, TextMarkedColour);
  // A painted hex cell: the first click makes the position plain, the second selects it.
  f.model.Click("Label3", 45);
  EXPECT_EQ(f.model.Label3[45]->back, HexPlainColour);
  EXPECT_EQ(f.model.Label55[45]->back, TextPlainColour);
  f.model.Click("Label3", 45);
  EXPECT_EQ(f.model.Label55[45]->back, TextMarkedColour);
}

TEST(EntryViews, OffsetOutsideTheSectorPaintsNothing) {
  ModelFixture f;
  for (std::int16_t offset : {-32, -1, 481, 512, 32767}) ShortEntryView(f.model, offset);
  for (std::int16_t offset : {-32, 481, -32768}) LongEntryView(f.model, offset);
  for (std::size_t i = 0; i < 512; ++i) EXPECT_EQ(f.model.Label3[i]->back, HexPlainColour);
}

// Each legend label carries the colour its byte range gets from its view, and the two
// legends line up column by column.
TEST(DirPanel, LegendsMatchTheViews) {
  ModelFixture f;
  struct Legend {
    const char* name;
    int index;
    int firstByte;
    bool longView;
  };
  const Legend legends[] = {
      {"Label63", -1, 0, false},  {"Label64", 0, 8, false},   {"Label64", 1, 11, false},
      {"Label64", 2, 12, false},  {"Label64", 3, 13, false},  {"Label64", 4, 14, false},
      {"Label64", 5, 16, false},  {"Label64", 6, 18, false},  {"Label64", 7, 20, false},
      {"Label64", 9, 22, false},  {"Label64", 10, 24, false}, {"Label64", 8, 26, false},
      {"Label64", 11, 28, false}, {"Label64", 24, 0, true},   {"Label65", -1, 1, true},
      {"Label64", 23, 8, true},   {"Label64", 22, 11, true},  {"Label64", 21, 12, true},
      {"Label64", 20, 13, true},  {"Label64", 19, 14, true},  {"Label64", 18, 16, true},
      {"Label64", 17, 18, true},  {"Label64", 16, 20, true},  {"Label64", 14, 22, true},
      {"Label64", 13, 24, true},  {"Label64", 15, 26, true},  {"Label64", 12, 28, true},
  };
  for (const Legend& l : legends) {
    const Control& label = f.model.At(l.name, l.index);
    SCOPED_TRACE(label.Key());
    const auto& colour = (l.longView ? LongEntryColours() : ShortEntryColours())[l.firstByte];
    EXPECT_EQ(label.back, colour ? *colour : HexPlainColour);
    EXPECT_EQ(label.parent, "Frame4");
    EXPECT_EQ(label.height, 252);
  }
  for (const Legend& s : legends) {
    if (s.longView || s.firstByte == 0) continue;
    for (const Legend& l : legends) {
      if (!l.longView || l.firstByte != s.firstByte) continue;
      EXPECT_EQ(f.model.At(s.name, s.index).left, f.model.At(l.name, l.index).left);
      EXPECT_EQ(f.model.At(s.name, s.index).width, f.model.At(l.name, l.index).width);
    }
  }
  const Control& report = f.model.At("Text5");
  EXPECT_TRUE(report.multiline);
  EXPECT_EQ(report.face, FontFace::Fixed);
}

TEST(DirPanel, CloseHidesThePanelAndAnalysisShowsItAgain) {
  ModelFixture f;
  EXPECT_FALSE(f.model.At("Frame4").visible);
  f.model.state.SectorBuffer = Sector({ShortEntry("A       TXT", 0x20, 2, 3)});
  Analyze(f);
  EXPECT_TRUE(f.model.At("Frame4").visible);
  const std::string report = f.model.At("Text5").caption;
  f.model.Click("Command4");
  EXPECT_FALSE(f.model.At("Frame4").visible);
  EXPECT_EQ(f.model.At("Text5").caption, report);
  EXPECT_EQ(f.model.Label3[8]->back, kExtColour);
  f.model.state.SectorBuffer = Sector({});
  Analyze(f);
  EXPECT_TRUE(f.model.At("Frame4").visible);
  EXPECT_EQ(f.model.At("Text5").caption, "End\r\n" + Totals(0, 0));
  EXPECT_TRUE(f.prompter.shown.empty());
}

// --- TOOLS items ---------------------------------------------------------------------------

TEST(DirCommands, FirstFileListShowsAndAnalysesTheRootDirectory) {
  ModelFixture f;
  MakeFatImage(f.Drive('A'), 2880, "-F 12 -n FLOPPY");
  f.Choose('A');
  f.model.state.geometry.RootDirEntrySector = 19;  // 1 reserved + 2 FATs of 9 sectors
  ASSERT_TRUE(f.model.Click("mnuFileList"));
  EXPECT_EQ(f.model.At("Text21").caption, "19");
  EXPECT_EQ(f.model.At("Label77", 1).caption, "00000013");
  EXPECT_TRUE(f.model.At("Frame4").visible);
  EXPECT_EQ(f.model.At("Text5").caption,
            "name:FLOPPY  .    Volume ID\t1stClus: 0\tLen: 0\r\nEnd\r\n" + Totals(1, 0));
  EXPECT_TRUE(f.prompter.shown.empty());
}

TEST(DirCommands, FirstFileListDoesNotReportASectorItCouldNotRead) {
  ModelFixture f;
  MakeFatImage(f.Drive('A'), 2880, "-F 12 -n FLOPPY");
  f.Choose('A');
  f.model.state.geometry.RootDirEntrySector = 5000;  // past the end of the image
  f.model.Click("mnuFileList");
  EXPECT_EQ(f.model.At("Text21").caption, "5000");
  EXPECT_FALSE(f.prompter.shown.empty());
  EXPECT_FALSE(f.model.At("Frame4").visible);
  EXPECT_EQ(f.model.At("Text5").caption, "");
}

}  // namespace
}  // namespace dulvex::testing
