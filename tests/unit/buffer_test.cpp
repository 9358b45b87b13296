// A paste whose write is refused by the medium: the refusal names its cause, nothing is
// written, the grid shows what the device holds and the board is kept for a retry. The board
// itself and the paste cases that write are scenarios (buffer_*.scn).
#include "buffer/buffer.h"

#include <gtest/gtest.h>

#include "drives/drive_info.h"
#include "support/device_test_support.h"
#include "view/codepage.h"

namespace dulvex::testing {
namespace {

TEST(BufferPaste, ARefusedWriteIsReportedAndTheGridShowsTheDevice) {
  ModelFixture f;
  WindowModel& m = f.model;
  const std::filesystem::path image = f.Drive('A');
  const std::vector<std::uint8_t> pattern(512, 0x5C);
  MakeFatImage(image, 2880, "-F 12 -n FLOPPY");
  PokeBytes(image, 40, 0, pattern);
  f.Choose('A');
  m.SetText(m.At("Text21"), "40");
  m.Key("Text21", 13);
  f.prompter.inputAnswers.push_back("AB");
  m.Click("LabelB3", 5);
  f.prompter.shown.clear();
  ReadOnlyFile guard(image);
  if (!guard.ok()) GTEST_SKIP() << "cannot make a file read-only here";
  f.prompter.messageAnswers = {kAnswerYes};
  m.Click("Command5");
  ASSERT_EQ(f.prompter.shown.size(), 2u);
  // Root is kept out by the immutable flag, anyone else by the file's mode.
  EXPECT_EQ(f.prompter.shown[1].text,
            ::geteuid() == 0 ? "Write refused on Device A:, sector 40: the system does not permit "
                               "it (an immutable or append-only file?). Nothing was written."
                             : drives::DeniedAdvice("A:", image, true));
  EXPECT_EQ(ReadBytes(image, 40, 0, 512), pattern);
  EXPECT_EQ(m.Label3[5]->caption, HexByte(pattern[5]));  // what the device holds
  EXPECT_EQ(m.LabelB3[5]->caption, "AB");                // the board is kept for a retry
}

}  // namespace
}  // namespace dulvex::testing
