// The window design and the grids built from it at start-up.
#include "app/form1_design.h"

#include <gtest/gtest.h>

#include "app/form1.h"
#include "app/scripted_prompter.h"

namespace dulvex {
namespace {

class Form1Test : public ::testing::Test {
 protected:
  ScriptedPrompter prompter;
  WindowModel model{prompter};
  void SetUp() override { BuildForm1(model); }
};

TEST_F(Form1Test, CaptionCarriesTheVersion) {
  EXPECT_EQ(model.At("Form1").caption, "DulvexHexEditor - version: 1.0.0");
}

TEST_F(Form1Test, SectorGridCellsFollowThePitch) {
  struct Case {
    const char* name;
    int index;
    double left, top;
  } cases[] = {
      {"Label3", 0, 1320, 840},    {"Label3", 15, 5100, 840},    {"Label3", 16, 1320, 1080},
      {"Label3", 511, 5100, 8280}, {"Label55", 15, 7410, 840},   {"Label55", 17, 5646, 1080},
      {"LabelB3", 17, 915, 1080},  {"LabelB55", 1, 4987.5, 840},
  };
  for (const Case& c : cases) {
    const Control& cell = model.At(c.name, c.index);
    EXPECT_DOUBLE_EQ(cell.left, c.left) << cell.Key();
    EXPECT_DOUBLE_EQ(cell.top, c.top) << cell.Key();
  }
  EXPECT_EQ(model.Label3[511], &model.At("Label3", 511));
  EXPECT_EQ(model.LabelB55[300]->width, 135);
}

TEST_F(Form1Test, StartStateBeforeAnyVolume) {
  for (int i = 0; i < 512; ++i) {
    ASSERT_EQ(model.Label3[i]->caption, "--");
    ASSERT_EQ(model.Label55[i]->caption, "-");
    ASSERT_EQ(model.Label3[i]->back, HexPlainColour);
    ASSERT_EQ(model.LabelB55[i]->back, BoardTextEmptyColour);
  }
  EXPECT_FALSE(model.At("mnuTolls").enabled);
  EXPECT_FALSE(model.At("Text21").enabled);
  EXPECT_FALSE(model.At("Command1", 0).enabled);
  EXPECT_FALSE(model.At("Frame6").visible);
  EXPECT_FALSE(model.At("Frame4").visible);
  EXPECT_EQ(model.At("Label4", 31).caption, "1F0");
  EXPECT_EQ(model.At("Label4", 63).caption, "000");
  EXPECT_DOUBLE_EQ(model.At("Label4", 32).top, 840 + 240 * 31);
  EXPECT_EQ(model.At("mnuA", 17).caption, "R:");
  // A disabled menu cannot be used.
  EXPECT_FALSE(model.Click("mnuGoto_Cluster"));
}

}  // namespace
}  // namespace dulvex
