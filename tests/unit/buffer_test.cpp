// Pasting the copy board onto an image file where nothing may be written: each refusal and
// each No leaves the sector's bytes and the file's time alone. The board itself and the
// paste cases that write are scenarios (buffer_*.scn).
#include "buffer/buffer.h"

#include <gtest/gtest.h>

#include "support/device_test_support.h"
#include "view/codepage.h"

namespace dulvex::testing {
namespace {

const std::string kMbrQuestion =
    "OVERWRITING MBR, THIS VOLUME WILL BE REFORMATTED BEFORE REUSE IT, ARE YOU SURE?";

// A FAT12 floppy on A: with 5C bytes in sector 40, shown in the grid; the file's time is
// put in the past so that any write would move it; board entry 5 holds AB.
struct BufferPaste : ::testing::Test {
  ModelFixture f;
  WindowModel& m = f.model;
  std::filesystem::path image = f.Drive('A');
  std::vector<std::uint8_t> pattern = std::vector<std::uint8_t>(512, 0x5C);
  std::filesystem::file_time_type mtime;

  BufferPaste() {
    MakeFatImage(image, 2880, "-F 12 -n FLOPPY");
    PokeBytes(image, 40, 0, pattern);
    f.Choose('A');
    Show("40");
    f.prompter.inputAnswers.push_back("AB");
    m.Click("LabelB3", 5);
    f.prompter.shown.clear();
    mtime = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24);
    std::filesystem::last_write_time(image, mtime);
  }
  void Show(const std::string& number) {
    m.SetText(m.At("Text21"), number);
    m.Key("Text21", 13);
  }
  std::vector<std::string> Boxes() {
    std::vector<std::string> texts;
    for (const ShownBox& b : f.prompter.shown) texts.push_back(b.text);
    f.prompter.shown.clear();
    return texts;
  }
  void ExpectUntouched(int sector, const std::vector<std::uint8_t>& bytes) {
    EXPECT_EQ(ReadBytes(image, static_cast<std::uint64_t>(sector), 0, 512), bytes);
    EXPECT_EQ(std::filesystem::last_write_time(image), mtime);
  }
};

TEST_F(BufferPaste, NoAtEitherQuestionOrAnUnshownTargetWritesNothing) {
  const std::vector<std::string> sure40 = {"OVERWRITING SECTOR 40 , ARE YOU SURE?"};
  m.Click("Command5");  // No at the sector question
  EXPECT_EQ(Boxes(), sure40);
  f.prompter.inputAnswers.push_back("7");
  m.Click("Command10");  // an offset, then No
  EXPECT_EQ(Boxes().back(), sure40[0]);
  m.SetText(m.At("Text21"), "41");  // typed, not shown: refused without a question
  f.prompter.messageAnswers = {kAnswerYes, kAnswerYes};
  m.Click("Command5");
  ASSERT_EQ(Boxes().size(), 1u);
  ExpectUntouched(41, std::vector<std::uint8_t>(512, 0));
  ExpectUntouched(40, pattern);

  const std::vector<std::uint8_t> boot = ReadBytes(image, 0, 0, 512);
  Show("0");
  Boxes();
  // No at the MBR question: no second question.
  f.prompter.messageAnswers = {kAnswerNo, kAnswerYes};
  m.Click("Command5");
  EXPECT_EQ(f.prompter.shown.at(0).style, kStyleYesNo);
  EXPECT_EQ(Boxes(), std::vector<std::string>{kMbrQuestion});
  f.prompter.messageAnswers = {kAnswerYes, kAnswerNo};
  m.Click("Command5");
  EXPECT_EQ(Boxes(),
            (std::vector<std::string>{kMbrQuestion, "OVERWRITING SECTOR 0 , ARE YOU SURE?"}));
  ExpectUntouched(0, boot);
}

TEST_F(BufferPaste, ARefusedWriteIsReportedAndTheGridShowsTheDevice) {
  ReadOnlyFile guard(image);
  if (!guard.ok()) GTEST_SKIP() << "cannot make a file read-only here";
  f.prompter.messageAnswers = {kAnswerYes};
  m.Click("Command5");
  ASSERT_EQ(f.prompter.shown.size(), 2u);
  EXPECT_EQ(f.prompter.shown[1].text, "Errore nell'apertura del device A:");
  EXPECT_EQ(f.prompter.shown[1].style, kStyleOk);
  ExpectUntouched(40, pattern);
  EXPECT_EQ(m.Label3[5]->caption, HexByte(pattern[5]));  // what the device holds
  EXPECT_EQ(m.LabelB3[5]->caption, "AB");                // the board is kept for a retry
}

TEST_F(BufferPaste, ASectorThatReadsBackDifferentlyIsReported) {
  m.state.WriteBuffer.fill(0x11);
  m.state.SectorBuffer.fill(0x11);
  EXPECT_TRUE(CheckWrittenSector(m, "40") && f.prompter.shown.empty());
  m.state.SectorBuffer[300] = m.state.SectorBuffer[301] = 0;
  EXPECT_FALSE(CheckWrittenSector(m, "40"));
  EXPECT_EQ(f.prompter.shown.at(0).text,
            "THE DEVICE DID NOT KEEP WHAT WAS WRITTEN ON SECTOR 40: READ BACK, 2 OF 512 BYTES "
            "DIFFER (THE FIRST AT OFFSET 300). THE GRID SHOWS WHAT THE DEVICE HOLDS NOW.");
  EXPECT_EQ(f.prompter.shown[0].style, kStyleCritical);
}

}  // namespace
}  // namespace dulvex::testing
