// Rendering a sector into the grid, the sector-number box, the hover magnifier and the
// readouts when a sector cannot be read.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/form1_design.h"
#include "support/test_support.h"
#include "view/sector_view.h"

namespace dulvex::testing {
namespace {

class ViewTest : public ::testing::Test {
 protected:
  ModelFixture f;
  Control& text21 = f.model.At("Text21");

  void SetUp() override {
    MakeFatImage(f.Drive('A'), 2880, "-F 12 -n FLOPPY");
    PokeBytes(f.Drive('A'), 5, 0, {0x00, 0x41, 0x1F, 0x20, 0x80, 0xFF, 0x7F, 0x81});
    f.Choose('A');
    ASSERT_TRUE(f.prompter.shown.empty());
  }
  void Show(const std::string& number) {
    f.model.SetText(text21, number);
    f.model.Key("Text21", 13);
  }
  const std::string& Hex(int i) { return f.model.Label3[static_cast<std::size_t>(i)]->caption; }
  const std::string& Chr(int i) { return f.model.Label55[static_cast<std::size_t>(i)]->caption; }
};

TEST_F(ViewTest, BytesBecomeHexAndCharacterCells) {
  Show("5");
  struct Case {
    int index;
    const char* hex;
    double size;
    const char* chr;
  } cases[] = {
      {0, "00", 6, "."},    {1, "41", 8, "A"},      {2, "1F", 8, "."},
      {3, "20", 8, " "},    {4, "80", 8, "\u20AC"}, {5, "FF", 8, "\u00FF"},
      {6, "7F", 8, "\x7F"}, {7, "81", 8, "\u0081"}, {8, "00", 6, "."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(c.index), c.hex) << c.index;
    EXPECT_EQ(f.model.Label3[static_cast<std::size_t>(c.index)]->fontSize, c.size) << c.index;
    EXPECT_EQ(Chr(c.index), c.chr) << c.index;
  }
  EXPECT_EQ(f.model.Label3[31]->tooltip, "hex:1F = dec:31");
  EXPECT_EQ(f.model.Label3[0]->tooltip, "hex:0 = dec:0");
  EXPECT_EQ(f.model.state.OffsetText[511], "> 511");
  EXPECT_EQ(f.model.At("Label77", 1).caption, "00000005");
  ASSERT_TRUE(f.model.state.lastShown.has_value());
  EXPECT_EQ(f.model.state.lastShown->sector, 5);
  EXPECT_EQ(f.model.state.lastShown->device, "A:");
}

TEST_F(ViewTest, TypingReformatsAndUpdatesReadoutsWithoutReading) {
  struct Case {
    const char* typed;
    const char* text;
    const char* label45;
    const char* label53;
  } cases[] = {
      {"abc", "0", "0x00000000", "Master Boot Record Sector 0"},
      {"12abc", "12", "0x0000000C", "-"},
      {" 9", "9", "0x00000009", "-"},
      {"&H10", "16", "0x00000010", "-"},
      {"2.5", "2.5", "0x00000002", ""},
      {"-5", "-5", "0xFFFFFFFB", "-"},
      {"1D0", "1", "0x00000001", ""},
      {"2147483648", "2147483648", "0x--------", "-"},
      {"1E+15", "1E+15", "0x--------", "-"},
  };
  const SectorBytes before = f.model.state.SectorBuffer;
  for (const Case& c : cases) {
    f.model.Label3[3]->back = HexMarkedColour;
    f.model.Label55[3]->back = TextMarkedColour;
    f.model.SetText(text21, c.typed);
    EXPECT_EQ(text21.caption, c.text) << c.typed;
    EXPECT_EQ(f.model.At("Label45").caption, c.label45) << c.typed;
    EXPECT_EQ(f.model.At("Label53").caption, c.label53) << c.typed;
    EXPECT_EQ(f.model.Label3[3]->back, HexPlainColour) << c.typed;
    EXPECT_EQ(f.model.Label55[3]->back, TextPlainColour) << c.typed;
  }
  EXPECT_EQ(f.model.state.SectorBuffer, before);
  EXPECT_EQ(f.model.At("Label77", 1).caption, "00000000");
  EXPECT_TRUE(f.prompter.shown.empty());
}

TEST_F(ViewTest, HalvesRoundToEvenAndNegativesReadSectorZero) {
  PokeBytes(f.Drive('A'), 2, 0, {0x22});
  PokeBytes(f.Drive('A'), 4, 0, {0x44});
  Show("2.5");
  EXPECT_EQ(Hex(0), "22");
  Show("3.5");
  EXPECT_EQ(Hex(0), "44");
  Show("-5");
  EXPECT_EQ(Hex(0), "EB");
  EXPECT_EQ(f.model.At("Label77", 1).caption, "FFFFFFFB");
  EXPECT_EQ(f.model.state.lastShown->sector, -5);
}

// A read that fails leaves the grid, Label77(1) and the record of the sector shown as they
// were, so nothing names bytes the grid does not show.
TEST_F(ViewTest, FailedReadKeepsTheSectorShown) {
  Show("5");
  const SectorBytes shown = f.model.state.SectorBuffer;
  struct Case {
    const char* why;
    const char* number;
    bool removeImage;
  } cases[] = {
      {"past the end of the image", "5000", false},
      {"beyond 32 bits", "2147483648", false},
      {"far beyond", "1E+300", false},
      {"far below", "-1E+300", false},
      {"device gone", "6", true},
  };
  for (const Case& c : cases) {
    if (c.removeImage) std::filesystem::remove(f.Drive('A'));
    f.prompter.shown.clear();
    Show(c.number);
    ASSERT_EQ(f.prompter.shown.size(), 1u) << c.why;
    if (std::string(c.number).find('E') != std::string::npos) {
      EXPECT_EQ(f.prompter.shown[0].text, "Read refused: sector number " + std::string(c.number) +
                                              " is out of range (sector numbers go from "
                                              "-2147483647 to 2147483647).");
    }
    EXPECT_EQ(Hex(1), "41") << c.why;
    EXPECT_EQ(f.model.state.SectorBuffer, shown) << c.why;
    EXPECT_EQ(f.model.At("Label77", 1).caption, "00000005") << c.why;
    EXPECT_EQ(f.model.state.lastShown->sector, 5) << c.why;
    EXPECT_EQ(text21.caption, c.number) << c.why;
    EXPECT_EQ(f.model.mousePointer(), kPointerDefault) << c.why;
  }
}

TEST_F(ViewTest, StepBeyondTheLargestSectorNumberReadsNothing) {
  Show("5");
  f.model.SetText(text21, "2147483647");
  f.prompter.shown.clear();
  ASSERT_TRUE(f.model.Click("Command1", 1));
  EXPECT_EQ(text21.caption, "2147483648");
  EXPECT_EQ(f.model.At("Label45").caption, "0x--------");
  ASSERT_EQ(f.prompter.shown.size(), 1u);
  EXPECT_NE(f.prompter.shown[0].text.find("out of range"), std::string::npos);
  EXPECT_EQ(f.model.At("Label77", 1).caption, "00000005");
  EXPECT_EQ(Hex(1), "41");
  // And back down: 2147483647 is read again (past the image's end: a read error).
  f.prompter.shown.clear();
  ASSERT_TRUE(f.model.Click("Command1", 0));
  EXPECT_EQ(text21.caption, "2147483647");
  EXPECT_EQ(f.model.At("Label45").caption, "0x7FFFFFFF");
}

TEST_F(ViewTest, HoverMagnifiesOnTheSecondMoveAndShrinksThePrevious) {
  Show("5");
  Control& cell5 = *f.model.Label3[5];
  Control& cell8 = *f.model.Label3[8];
  ASSERT_TRUE(f.model.Hover("Label3", 5));
  EXPECT_EQ(f.model.At("Label5").caption, "> 5");
  EXPECT_EQ(cell5.width, 252);  // first move: not yet
  f.model.Hover("Label3", 5);
  EXPECT_EQ(cell5.width, 290);
  EXPECT_EQ(cell5.height, 300);
  EXPECT_EQ(cell5.fontSize, 10);
  EXPECT_TRUE(cell5.bold);
  EXPECT_EQ(cell5.left, 1320 + 5 * 252);  // grows right and down
  f.model.Hover("Label3", 8);
  f.model.Hover("Label3", 8);
  EXPECT_EQ(cell5.width, 252);
  EXPECT_EQ(cell5.height, 240);
  EXPECT_EQ(cell5.fontSize, 8);  // "FF"
  EXPECT_FALSE(cell5.bold);
  EXPECT_EQ(cell8.width, 290);
  f.model.Hover("Label3", 9);
  EXPECT_EQ(cell8.fontSize, 6);  // "00"
  EXPECT_EQ(f.model.state.LastHoverIndex, 9);
  // Indices outside the grid are ignored.
  f.model.Hover("Label3", 512);
  f.model.Hover("Label3", -1);
  EXPECT_EQ(f.model.state.LastHoverIndex, 9);
}

TEST(ViewStart, HoverBeforeAnySectorShowsAnEmptyReadout) {
  ModelFixture f;
  f.model.Hover("Label3", 3);
  f.model.Hover("Label3", 3);
  EXPECT_EQ(f.model.At("Label5").caption, "");
  EXPECT_EQ(f.model.Label3[3]->width, 290);
}

}  // namespace
}  // namespace dulvex::testing
