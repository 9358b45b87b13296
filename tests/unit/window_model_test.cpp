// The window model refuses a handler it could never run, or one that would silently replace
// another: both are mistakes of the program's own start-up, and must stop it at once.
#include <gtest/gtest.h>

#include <stdexcept>

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

}  // namespace
}  // namespace dulvex
