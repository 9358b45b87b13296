// The window model refuses a handler it could never run, or one that would silently replace
// another: both are mistakes of the program's own start-up, and must stop it at once. The
// clipboard's commands and the cell cursor at their edges.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>

#include "buffer/buffer.h"
#include "core/form1_design.h"
#include "support/test_support.h"

namespace dulvex {
namespace {

TEST(WindowModel, AHandlerForAMissingControlOrASecondHandlerFailsAtOnce) {
  testing::ModelFixture f;  // every handler of the program installed once
  EXPECT_THROW(f.model.OnClick(kPasteSelection, [](int) {}), std::logic_error);
  EXPECT_THROW(f.model.OnHover(kHexCell, [](int) {}), std::logic_error);
  EXPECT_THROW(f.model.OnClick(ControlId{"Command99"}, [](int) {}), std::logic_error);
  EXPECT_THROW(f.model.OnKey(kStepButton[7], [](int) {}), std::logic_error);
  // A control with no handler yet takes one, once.
  int clicks = 0;
  f.model.OnClick(kSectorHex, [&clicks](int) { ++clicks; });
  EXPECT_TRUE(f.model.Click(kSectorHex));
  EXPECT_EQ(clicks, 1);
}

// The copy buffer takes from the clipboard one to 512 words of one byte each, and refuses
// anything else whole: the board keeps what it held and the refusal is the last result.
TEST(ClipboardAndCursor, PasteTakesOnlyWholeBytesUpToTheBoardsSize) {
  testing::ModelFixture f;
  std::string full;
  for (int i = 0; i < 512; ++i) full += "7f ";
  struct Case {
    std::string text;
    int filled;         // entries filled after it; -1: refused
    std::string first;  // entry 0's caption after it
  };
  const Case cases[] = {
      {"", -1, "5A"},     {" \r\n, ", -1, "5A"}, {full + "00", -1, "5A"},
      {full, 512, "7F"},  {"0x41", -1, "5A"},    {"100", -1, "5A"},
      {"a\tG", -1, "5A"}, {"a 00C", 2, "0A"},    {"ff,\n0", 2, "FF"},
  };
  for (const Case& c : cases) {
    f.model.Click(kResetBuffer);
    EnterByte(f.model, 0, 0x5A);
    EnterByte(f.model, 300, 0x01);
    f.clipboard.text = c.text;
    f.prompter.shown.clear();
    ASSERT_TRUE(f.model.Click(kPasteClipboard));
    int filled = 0;
    for (const Control* entry : f.model.LabelB55) filled += entry->back == TextMarkedColour;
    EXPECT_EQ(filled, c.filled < 0 ? 2 : c.filled) << c.text.substr(0, 20);
    EXPECT_EQ(f.model.LabelB3[0]->caption, c.first) << c.text.substr(0, 20);
    EXPECT_EQ(f.prompter.shown.size(), c.filled < 0 ? 1u : 0u) << c.text.substr(0, 20);
    if (c.filled < 0) {
      EXPECT_EQ(f.model.state.lastResult, f.prompter.shown.back().text);
    }
  }
}

// The cursor stays inside the grid at its edges; a copy of positions not in one run leaves out
// what lies between them and says so; with nothing selected nothing is copied.
TEST(ClipboardAndCursor, CursorStaysOnTheGridAndCopyTakesTheSelectedBytes) {
  testing::ModelFixture f;
  testing::MakeFatImage(f.Drive('A'), 2880, "-F 12 -n FLOPPY");
  f.Choose('A');
  const std::tuple<int, const char*, int> moves[] = {
      {511, "Right", 511}, {500, "Down", 500}, {496, "End", 511}, {0, "Left", 0},
      {5, "Up", 5},        {17, "Home", 16},   {15, "Right", 16}, {16, "Left", 15}};
  for (const auto& [from, keys, to] : moves) {
    f.model.state.cursor = from;
    EXPECT_TRUE(f.model.GridKey(keys));
    EXPECT_EQ(f.model.state.cursor, to) << keys << " from " << from;
  }
  EXPECT_FALSE(f.model.GridKey("Ctrl+Left"));
  f.clipboard.text = "before";
  f.model.Click(kCopyHex);
  EXPECT_EQ(f.clipboard.text, "before");
  EXPECT_EQ(f.model.state.lastResult, "Nothing is selected: nothing was copied.");
  f.model.Click(ControlId{"Label3", 0});
  f.model.Click(ControlId{"Label55", 2});
  f.model.Click(kCopyHex);
  EXPECT_EQ(f.clipboard.text, "EB 90");
  EXPECT_EQ(f.model.state.lastResult,
            "Copied 2 bytes of sector 0 of A: as hex text (not in one run: the bytes between "
            "were left out).");
  f.model.Click(kCopyText);
  EXPECT_EQ(f.clipboard.text, "ë.");
}

}  // namespace
}  // namespace dulvex
