// Showing sectors through the Volume menu and the sector-number box.
#include <gtest/gtest.h>

#include "support/test_support.h"

namespace dulvex::testing {
namespace {

TEST(SectorView, ChoosingAFloppyShowsSectorZeroAndEnablesNavigation) {
  ModelFixture f;
  MakeFatImage(f.Drive('A'), 2880, "-F 12 -n FLOPPY");
  f.Choose('A');
  EXPECT_TRUE(f.prompter.shown.empty());
  EXPECT_EQ(f.model.At("Label58").caption, "A:");
  EXPECT_TRUE(f.model.At("Text21").enabled);
  EXPECT_TRUE(f.model.At("mnuTolls").enabled);
  EXPECT_EQ(f.model.Label3[0]->caption, "EB");
  EXPECT_EQ(f.model.Label3[510]->caption, "55");
  EXPECT_EQ(f.model.Label3[511]->caption, "AA");
  f.model.SetText(f.model.At("Text21"), "&H10");
  EXPECT_EQ(f.model.At("Text21").caption, "16");
  EXPECT_EQ(f.model.At("Label45").caption, "0x00000010");
}

TEST(SectorView, LetterWithNothingBehindItFails) {
  ModelFixture f;
  f.Choose('R');
  ASSERT_EQ(f.prompter.shown.size(), 2u);
  EXPECT_EQ(f.prompter.shown[0].text, "R: IS A BAD DEVICE/VOLUME.");
  EXPECT_EQ(f.prompter.shown[0].style, 48);
  EXPECT_EQ(f.prompter.shown[1].text, "TRY TO SET ANOTHER DEVICE/VOLUME.");
  EXPECT_EQ(f.model.state.DevicePath, "R:");
  EXPECT_EQ(f.model.At("Label58").caption, "-");
}

}  // namespace
}  // namespace dulvex::testing
