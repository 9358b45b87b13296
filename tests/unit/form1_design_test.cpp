// The window design and the grids built from it at start-up.
#include "app/form1_design.h"

#include <gtest/gtest.h>

#include "wiring/form1.h"
#include "app/scripted_prompter.h"

namespace dulvex {
namespace {

TEST(Form1, GridsFollowThePitchAndStartEmpty) {
  ScriptedPrompter prompter;
  WindowModel model{prompter};
  BuildForm1(model);
  const struct {
    const char* name;
    int index;
    double left, top;
  } cases[] = {
      {"Label3", 0, 1320, 840},    {"Label3", 15, 5100, 840},    {"Label3", 16, 1320, 1080},
      {"Label3", 511, 5100, 8280}, {"Label55", 15, 7410, 840},   {"Label55", 17, 5646, 1080},
      {"LabelB3", 17, 915, 1080},  {"LabelB55", 1, 4987.5, 840}, {"Label4", 32, 180, 8280},
  };
  for (const auto& c : cases) {
    const Control& cell = model.At(c.name, c.index);
    EXPECT_DOUBLE_EQ(cell.left, c.left) << cell.Key();
    EXPECT_DOUBLE_EQ(cell.top, c.top) << cell.Key();
  }
  EXPECT_EQ(model.LabelB55[300]->width, 135);
  for (int i = 0; i < 512; ++i) {
    ASSERT_EQ(model.Label3[i]->caption, "--");
    ASSERT_EQ(model.Label55[i]->caption, "-");
    ASSERT_EQ(model.LabelB55[i]->back, BoardTextEmptyColour);
  }
  EXPECT_EQ(model.At("Label4", 63).caption, "000");
  EXPECT_FALSE(model.At("Frame4").visible);
  EXPECT_FALSE(model.Click("mnuGoto_Cluster"));  // a disabled menu cannot be used
}

}  // namespace
}  // namespace dulvex
