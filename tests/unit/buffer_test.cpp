// Selection of grid positions, the copy buffer board, editing its entries, and pasting it
// back onto an image file (checked by reading the file directly).
#include "buffer/buffer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/form1_design.h"
#include "support/test_support.h"
#include "view/codepage.h"

namespace dulvex::testing {
namespace {

constexpr Rgb kAnalysisColour = MakeRgb(255, 255, 128);
constexpr int kSector = 40;  // a sector in the data area of the floppy image

std::vector<std::uint8_t> Pattern() {
  std::vector<std::uint8_t> p(512);
  for (std::size_t i = 0; i < 512; ++i) p[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return p;
}

struct BufferTest : ::testing::Test {
  ModelFixture f;
  WindowModel& m = f.model;

  Control& Hex(int i) { return *m.Label3[static_cast<std::size_t>(i)]; }
  Control& Text(int i) { return *m.Label55[static_cast<std::size_t>(i)]; }
  Control& BHex(int i) { return *m.LabelB3[static_cast<std::size_t>(i)]; }
  Control& BText(int i) { return *m.LabelB55[static_cast<std::size_t>(i)]; }
  bool Selected(int i) {
    return Hex(i).back == HexMarkedColour && Text(i).back == TextMarkedColour;
  }
  bool Plain(int i) { return Hex(i).back == HexPlainColour && Text(i).back == TextPlainColour; }
  bool Filled(int i) { return BText(i).back == TextMarkedColour; }

  void Input(const std::string& answer) { f.prompter.inputAnswers.push_back(answer); }
  void Yes() { f.prompter.messageAnswers.push_back(kAnswerYes); }
  void No() { f.prompter.messageAnswers.push_back(kAnswerNo); }
  std::vector<std::string> Boxes() {
    std::vector<std::string> texts;
    for (const ShownBox& b : f.prompter.shown) texts.push_back(b.text);
    return texts;
  }

  // Types a sector number and presses Enter.
  void Show(const std::string& number) {
    m.SetText(m.At("Text21"), number);
    m.Key("Text21", 13);
  }

  // A FAT12 floppy on A: with a known pattern in sector 40, shown in the grid; the file's
  // modification time is put in the past so that any write would move it.
  std::filesystem::path image;
  std::filesystem::file_time_type mtime;
  void ShowPatternSector() {
    image = f.Drive('A');
    MakeFatImage(image, 2880, "-F 12 -n FLOPPY");
    PokeBytes(image, kSector, 0, Pattern());
    f.Choose('A');
    Show(std::to_string(kSector));
    f.prompter.shown.clear();
    mtime = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24);
    std::filesystem::last_write_time(image, mtime);
  }
  std::vector<std::uint8_t> OnImage(int sector = kSector) {
    return ReadBytes(image, static_cast<std::uint64_t>(sector), 0, 512);
  }
  void ExpectImageUntouched() {
    EXPECT_EQ(OnImage(), Pattern());
    EXPECT_EQ(std::filesystem::last_write_time(image), mtime);
  }
};

// --- Selection ------------------------------------------------------------------------------

TEST_F(BufferTest, AnalysisColourOnAHexCell) {
  // A painted hex cell is unselected by the first click, selected by the second.
  Hex(3).back = kAnalysisColour;
  m.Click("Label3", 3);
  EXPECT_TRUE(Plain(3));
  m.Click("Label3", 3);
  EXPECT_TRUE(Selected(3));
  // A click on the plain text cell selects and replaces the analysis colour.
  Hex(4).back = kAnalysisColour;
  m.Click("Label55", 4);
  EXPECT_TRUE(Selected(4));

  // Selected, then painted: COPY SELECTION copies the analysis colour, the entry is filled,
  // and a click on it edits it instead of unmarking it.
  m.Click("Label3", 8);
  Hex(8).back = kAnalysisColour;
  m.Click("Command2");
  EXPECT_EQ(BHex(8).back, kAnalysisColour);
  EXPECT_TRUE(Filled(8));
  Input("5a");
  m.Click("LabelB3", 8);
  ASSERT_EQ(f.prompter.shown.size(), 1u);
  EXPECT_EQ(f.prompter.shown[0].text, "INSERT A NEW HEX VALUE (00-FF)");
  EXPECT_EQ(BHex(8).caption, "5A");
  EXPECT_EQ(BHex(8).back, HexMarkedColour);
  EXPECT_TRUE(BHex(8).bold);
}

// --- Copy buffer ----------------------------------------------------------------------------

TEST_F(BufferTest, CopySectorBeforeAnyReadCopiesTheDesignCaptions) {
  m.Click("Command9");
  EXPECT_TRUE(m.At("Frame6").visible);
  for (int i = 0; i < 512; ++i) {
    ASSERT_TRUE(Selected(i));
    ASSERT_TRUE(Filled(i));
    ASSERT_EQ(BHex(i).back, HexMarkedColour);
    ASSERT_EQ(BHex(i).caption, "--");
    ASSERT_EQ(BText(i).caption, "-");
  }
}

// --- Editing --------------------------------------------------------------------------------

TEST_F(BufferTest, HexAnswers) {
  struct Case {
    std::vector<std::string> answers;
    const char* hex;   // caption afterwards
    const char* text;  // text caption afterwards
    std::size_t boxes;
    bool bold;
  };
  const std::vector<Case> cases = {
      {{"--"}, "00", "\u2400", 1, true},
      {{"ff"}, "FF", "\u00FF", 1, true},
      {{"1G"}, "01", "\x01", 1, true},
      {{"41 and more"}, "41", "A", 1, true},
      {{"100", "80"}, "80", "\u20AC", 2, true},
      {{"FFFF", "FFFFFFFFFFFFFFFFFFFFFFFF", ""}, "--", "-", 3, false},  // cancelled
      {{""}, "--", "-", 1, false},
  };
  int entry = 0;
  for (const Case& c : cases) {
    f.prompter.shown.clear();
    for (const std::string& a : c.answers) Input(a);
    m.Click("LabelB3", entry);
    ASSERT_EQ(f.prompter.shown.size(), c.boxes) << c.answers[0];
    for (const ShownBox& b : f.prompter.shown) {
      EXPECT_TRUE(b.input);
      EXPECT_EQ(b.text, "INSERT A NEW HEX VALUE (00-FF)");
      EXPECT_EQ(b.title, "");
      EXPECT_EQ(b.defaultText, "--");  // unchanged while the box comes back
    }
    EXPECT_EQ(BHex(entry).caption, c.hex) << c.answers[0];
    EXPECT_EQ(BText(entry).caption, c.text) << c.answers[0];
    EXPECT_TRUE(Filled(entry));  // marked even when cancelled
    EXPECT_EQ(BHex(entry).back, HexMarkedColour);
    EXPECT_EQ(BHex(entry).bold, c.bold);
    EXPECT_EQ(BText(entry).bold, c.bold);
    ++entry;
  }
  EXPECT_TRUE(f.prompter.inputAnswers.empty());
}

TEST_F(BufferTest, TextIsLaidIntoConsecutiveEntriesAndCutAfterTheLast) {
  Input("ABCDEFGHIJKLMNOPQRST");  // 20 characters from entry 500: 12 fit
  m.Click("LabelB55", 500);
  ASSERT_EQ(f.prompter.shown.size(), 1u);
  EXPECT_EQ(f.prompter.shown[0].text, "INSERT A NEW TEXT STARTING FROM LOCATION:500");
  EXPECT_EQ(f.prompter.shown[0].title, "");
  EXPECT_EQ(f.prompter.shown[0].defaultText, "-");
  for (int d = 500; d < 512; ++d) {
    EXPECT_EQ(BText(d).caption, std::string(1, static_cast<char>('A' + d - 500)));
    EXPECT_EQ(BHex(d).caption, HexByte(static_cast<std::uint8_t>('A' + d - 500)));
    EXPECT_TRUE(Filled(d));
    EXPECT_EQ(BHex(d).back, HexMarkedColour);
    EXPECT_TRUE(BHex(d).bold && BText(d).bold);
  }
  EXPECT_FALSE(Filled(499));

  // Characters of the code page become their byte, others "?"; a filled entry inside the
  // run is overwritten.
  Input("\u20AC\u4E2D \u00E9");
  m.Click("LabelB55", 0);
  Input("C0");
  m.Click("LabelB3", 41);
  Input("xy");
  m.Click("LabelB55", 40);
  EXPECT_EQ(BHex(0).caption, "80");
  EXPECT_EQ(BText(1).caption, "\u4E2D");
  EXPECT_EQ(BHex(1).caption, "3F");
  EXPECT_EQ(BHex(2).caption, "20");
  EXPECT_EQ(BHex(3).caption, "E9");
  EXPECT_EQ(BHex(40).caption, "78");
  EXPECT_EQ(BHex(41).caption, "79");
  EXPECT_EQ(BText(41).caption, "y");

  // A cancelled text edit leaves the entry marked with its old captions, not bold.
  m.Click("LabelB55", 20);
  EXPECT_TRUE(Filled(20));
  EXPECT_EQ(BText(20).caption, "-");
  EXPECT_FALSE(BText(20).bold);
}

TEST(LeadingHexValue, ReadsDigitsUpToTheFirstOtherCharacter) {
  EXPECT_EQ(LeadingHexValue(""), 0u);
  EXPECT_EQ(LeadingHexValue("--"), 0u);
  EXPECT_EQ(LeadingHexValue(" 1"), 0u);
  EXPECT_EQ(LeadingHexValue("aB"), 0xABu);
  EXPECT_EQ(LeadingHexValue("7fz9"), 0x7Fu);
  EXPECT_GT(LeadingHexValue(std::string(4000, 'F')), 255u);
}

// --- Paste ----------------------------------------------------------------------------------

TEST_F(BufferTest, PasteLastSelectionWritesInPlace) {
  ShowPatternSector();
  Input("AB");
  m.Click("LabelB3", 5);
  m.Click("LabelB3", 7);  // cancelled: filled with "--", written as 00
  m.Click("Label3", 9);   // a grid mark survives the paste
  f.prompter.shown.clear();
  Yes();
  ASSERT_TRUE(m.Click("Command5"));
  EXPECT_EQ(Boxes(), std::vector<std::string>{"OVERWRITING SECTOR 40 , ARE YOU SURE?"});
  EXPECT_EQ(f.prompter.shown[0].style, kStyleYesNo);

  std::vector<std::uint8_t> expected = Pattern();
  expected[5] = 0xAB;
  expected[7] = 0x00;
  EXPECT_EQ(OnImage(), expected);
  EXPECT_EQ(OnImage(kSector - 1), std::vector<std::uint8_t>(512, 0));
  EXPECT_EQ(Hex(5).caption, "AB");  // shown again from the device
  EXPECT_TRUE(Selected(9));
  EXPECT_EQ(m.At("Text21").caption, "40");
  EXPECT_TRUE(m.At("Frame6").visible);
}

TEST_F(BufferTest, PasteWithAnEmptyBufferWritesTheShownBytes) {
  ShowPatternSector();
  Yes();
  m.Click("Command5");
  EXPECT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(OnImage(), Pattern());
  Yes();
  Input("300");
  m.Click("Command10");
  EXPECT_EQ(Boxes().size(), 3u);
  EXPECT_EQ(OnImage(), Pattern());
}

TEST_F(BufferTest, PasteWithOffsetMovesTheRunOfFilledEntries) {
  ShowPatternSector();
  Input("ABCDEFGHIJK");  // entries 10 to 20
  m.Click("LabelB55", 10);
  for (const char* answer : {"-1", "512", "600", "100.5"}) Input(answer);
  Yes();
  m.Click("Command10");
  ASSERT_EQ(f.prompter.shown.size(), 6u);
  for (int k = 1; k <= 4; ++k) {
    EXPECT_EQ(f.prompter.shown[static_cast<std::size_t>(k)].text,
              "INSERT AN OFFSET TO START THE COPY OF THE BUFFER FROM (0-511)");
    EXPECT_EQ(f.prompter.shown[static_cast<std::size_t>(k)].defaultText, "0");
  }
  std::vector<std::uint8_t> expected = Pattern();
  for (int k = 0; k < 11; ++k) expected[static_cast<std::size_t>(100 + k)] = 'A' + k;
  EXPECT_EQ(OnImage(), expected);  // 100.5 rounds to 100; entries 10 to 20 stay as shown
}

TEST_F(BufferTest, PasteWithOffset500AfterCopySectorDropsWhatDoesNotFit) {
  ShowPatternSector();
  m.Click("Command9");
  Input("500");
  Yes();
  m.Click("Command10");
  std::vector<std::uint8_t> expected = Pattern();
  for (int k = 0; k < 12; ++k) expected[static_cast<std::size_t>(500 + k)] = Pattern()[k];
  EXPECT_EQ(OnImage(), expected);
  EXPECT_EQ(OnImage(kSector + 1), std::vector<std::uint8_t>(512, 0));  // no spill
}

TEST_F(BufferTest, OffsetAbcReadsAsZeroAndCancelEndsTheCommand) {
  ShowPatternSector();
  Input("Z");
  m.Click("LabelB55", 30);
  m.Click("Command10");  // cancel
  EXPECT_EQ(Boxes().size(), 2u);
  EXPECT_TRUE(m.At("Frame6").visible);
  ExpectImageUntouched();
  Input("abc");
  Yes();
  m.Click("Command10");
  std::vector<std::uint8_t> expected = Pattern();
  expected[0] = 'Z';
  EXPECT_EQ(OnImage(), expected);
}

TEST_F(BufferTest, NoAtEitherQuestionWritesNothing) {
  ShowPatternSector();
  m.Click("Command9");
  m.Click("Command8");
  Input("EE");
  m.Click("LabelB3", 0);
  f.prompter.shown.clear();
  m.Click("Command5");  // sector 40: one question, answered No
  EXPECT_EQ(Boxes(), std::vector<std::string>{"OVERWRITING SECTOR 40 , ARE YOU SURE?"});
  ExpectImageUntouched();

  const std::vector<std::uint8_t> boot = OnImage(0);
  Show("0");
  f.prompter.shown.clear();
  std::filesystem::last_write_time(image, mtime);
  m.Click("Command5");  // No at the MBR question: no second question
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0],
            "OVERWRITING MBR, THIS VOLUME WILL BE REFORMATTED BEFORE REUSE IT, ARE YOU SURE?");
  EXPECT_EQ(f.prompter.shown[0].style, kStyleYesNo);
  Yes();
  No();
  m.Click("Command5");  // Yes, then No at the sector question
  EXPECT_EQ(Boxes().back(), "OVERWRITING SECTOR 0 , ARE YOU SURE?");
  EXPECT_EQ(OnImage(0), boot);
  EXPECT_EQ(std::filesystem::last_write_time(image), mtime);
}

TEST_F(BufferTest, NegativeAndFractionalNumbersAskAboutTheMbrAndWriteSectorZero) {
  for (const char* number : {"-5", "0.4"}) {
    ShowPatternSector();
    Show(number);
    f.prompter.shown.clear();
    Input("E9");
    m.Click("LabelB3", 0);
    Yes();
    Yes();
    m.Click("Command5");
    ASSERT_EQ(Boxes().size(), 3u) << number;
    EXPECT_EQ(Boxes()[1],
              "OVERWRITING MBR, THIS VOLUME WILL BE REFORMATTED BEFORE REUSE IT, ARE YOU SURE?");
    EXPECT_EQ(Boxes()[2], std::string("OVERWRITING SECTOR ") + number + " , ARE YOU SURE?");
    EXPECT_EQ(ReadBytes(image, 0, 0, 1), std::vector<std::uint8_t>{0xE9}) << number;
    EXPECT_EQ(Hex(0).caption, "E9");
    m.Click("Command8");  // entry 0 empty again for the next round
  }
}

TEST_F(BufferTest, PasteGuardRefusesWhenTheGridDoesNotShowTheTarget) {
  // Before any sector was shown.
  Input("AB");
  m.Click("LabelB3", 5);
  f.prompter.shown.clear();
  m.Click("Command5");
  m.Click("Command10");
  ASSERT_EQ(f.prompter.shown.size(), 2u);
  for (const ShownBox& b : f.prompter.shown) {
    EXPECT_EQ(b.style, kStyleExclamation);
    EXPECT_NE(b.text.find("SHOW THE SECTOR FIRST (PRESS ENTER"), std::string::npos);
  }

  // After typing another number without showing it.
  ShowPatternSector();
  m.SetText(m.At("Text21"), "41");
  f.prompter.messageAnswers = {kAnswerYes, kAnswerYes};
  m.Click("Command5");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0],
            "THE GRID DOES NOT SHOW SECTOR 41 OF A:: IT SHOWS SECTOR 40 OF A:. SHOW THE SECTOR "
            "FIRST (PRESS ENTER IN THE SECTOR BOX), THEN PASTE AGAIN. NOTHING WAS WRITTEN.");
  EXPECT_EQ(OnImage(kSector + 1), std::vector<std::uint8_t>(512, 0));
  ExpectImageUntouched();

  // After choosing another volume whose refresh failed (nothing behind R:).
  m.SetText(m.At("Text21"), "40");
  f.Choose('R');
  f.prompter.shown.clear();
  Input("7");
  f.prompter.messageAnswers = {kAnswerYes, kAnswerYes};
  m.Click("Command10");
  ASSERT_EQ(f.prompter.shown.size(), 1u);  // not even the offset box
  EXPECT_NE(Boxes()[0].find("OF R:: IT SHOWS SECTOR 40 OF A:"), std::string::npos);
  ExpectImageUntouched();
}

// Makes a file unwritable for the life of the object: immutable (root ignores file
// permissions), or read-only by its permissions for an ordinary user.
class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(std::filesystem::path file) : file_(std::move(file)) {
    if (std::system(("chattr +i '" + file_.string() + "' 2>/dev/null").c_str()) == 0) {
      how_ = How::Immutable;
    } else if (::geteuid() != 0) {
      std::filesystem::permissions(file_,
                                   std::filesystem::perms::owner_write |
                                       std::filesystem::perms::group_write |
                                       std::filesystem::perms::others_write,
                                   std::filesystem::perm_options::remove);
      how_ = How::Permissions;
    }
  }
  ~ReadOnlyFile() {
    if (how_ == How::Immutable) (void)std::system(("chattr -i '" + file_.string() + "'").c_str());
    if (how_ == How::Permissions) {
      std::filesystem::permissions(file_, std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add);
    }
  }
  bool ok() const { return how_ != How::None; }

 private:
  enum class How { None, Immutable, Permissions };
  std::filesystem::path file_;
  How how_ = How::None;
};

TEST_F(BufferTest, ARefusedWriteIsReportedAndTheGridShowsTheDevice) {
  ShowPatternSector();
  ReadOnlyFile guard(image);
  if (!guard.ok()) {
    GTEST_SKIP() << "running as root on a file system without chattr +i: no way to make the "
                    "image unwritable";
  }
  Input("AB");
  m.Click("LabelB3", 5);
  f.prompter.shown.clear();
  Yes();
  m.Click("Command5");
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[1], "Errore nell'apertura del device A:");
  ExpectImageUntouched();
  EXPECT_EQ(Hex(5).caption, HexByte(Pattern()[5]));  // what the device holds
  EXPECT_EQ(BHex(5).caption, "AB");                  // the buffer is kept for a retry
}

TEST_F(BufferTest, ASectorThatReadsBackDifferentlyIsReported) {
  m.state.WriteBuffer.fill(0x11);
  m.state.SectorBuffer.fill(0x11);
  EXPECT_TRUE(CheckWrittenSector(m, "40"));
  EXPECT_TRUE(f.prompter.shown.empty());
  m.state.SectorBuffer[300] = 0;
  m.state.SectorBuffer[301] = 0;
  EXPECT_FALSE(CheckWrittenSector(m, "40"));
  ASSERT_EQ(f.prompter.shown.size(), 1u);
  EXPECT_EQ(f.prompter.shown[0].text,
            "THE DEVICE DID NOT KEEP WHAT WAS WRITTEN ON SECTOR 40: READ BACK, 2 OF 512 BYTES "
            "DIFFER (THE FIRST AT OFFSET 300). THE GRID SHOWS WHAT THE DEVICE HOLDS NOW.");
  EXPECT_EQ(f.prompter.shown[0].style, kStyleCritical);
}

}  // namespace
}  // namespace dulvex::testing
