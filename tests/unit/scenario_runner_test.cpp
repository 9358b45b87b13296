// The scenario runner checks itself: a runner that let everything pass, or read a script
// wrongly, would make every scenario worthless.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "scenario_runner/scenario.h"
#include "support/test_support.h"

namespace dulvex::testing {
namespace {

struct RunnerCase {
  const char* name;
  const char* script;
  int passed, failed;
  const char* output;  // a line the output must hold ("" for none); FILE stands for the path
};

void PrintTo(const RunnerCase& c, std::ostream* os) {
  *os << c.name;
}

class ScenarioRunner : public ::testing::TestWithParam<RunnerCase> {};

TEST_P(ScenarioRunner, CountsAndReports) {
  const RunnerCase& c = GetParam();
  TempDir dir;
  const std::string file = (dir.path() / "case.scn").string();
  std::ofstream(file) << c.script;
  std::ostringstream out;
  const int code = scenario::RunFiles({file}, out);
  EXPECT_EQ(code, c.failed == 0 ? 0 : 1) << out.str();
  const std::string summary =
      std::to_string(c.passed) + " passed, " + std::to_string(c.failed) + " failed\n";
  ASSERT_GE(out.str().size(), summary.size());
  EXPECT_EQ(out.str().substr(out.str().size() - summary.size()), summary) << out.str();
  std::string line = c.output;
  if (const auto at = line.find("FILE"); at != std::string::npos) line.replace(at, 4, file);
  EXPECT_NE(out.str().find(line), std::string::npos) << out.str();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScenarioRunner,
    ::testing::Values(
        RunnerCase{"FailingExpectation", "# start\n\nexpect Label58.caption \"X\"\n", 0, 1,
                   "FILE:3: expected Label58.caption \"X\", got \"-\"\n"},
        RunnerCase{"PassingExpectations",
                   "expect Label58.caption \"\\x2D\" # the dash\nexpect Text21.enabled false\n"
                   "expect Label58.back FFFF80\nexpect Text21.text \"0\"\n",
                   4, 0, ""},
        RunnerCase{"WrongColour", "expect Label58.back ffff00\n", 0, 1,
                   "FILE:1: expected Label58.back FFFF00, got FFFF80"},
        RunnerCase{"BoxesInOrder",
                   "menu mnuA(17)\nexpect box \"R: IS A BAD DEVICE/VOLUME.\" style 48\n"
                   "expect box \"TRY TO SET ANOTHER DEVICE/VOLUME.\"\nexpect nobox\n",
                   3, 0, ""},
        RunnerCase{"BoxesOutOfOrder",
                   "menu mnuA(17)\nexpect box \"TRY TO SET ANOTHER DEVICE/VOLUME.\"\n", 0, 1,
                   "FILE:2: expected box \"TRY TO SET ANOTHER DEVICE/VOLUME.\", got box "
                   "\"R: IS A BAD DEVICE/VOLUME.\" style 48"},
        RunnerCase{"UnmatchedBox", "menu mnuA(17)\nexpect boxes 2\nexpect nobox\nexpect nobox\n", 2,
                   1, "FILE:3: expected no box, got box \"R: IS A BAD DEVICE/VOLUME.\""},
        RunnerCase{"ClickOnDisabledFails", "click Command1(1)\n", 0, 1,
                   "FILE:1: expected click Command1(1) to run, got Command1(1) disabled"},
        RunnerCase{"ClickDisabledExpectsRefusal", "click-disabled Command1(1)\n", 1, 0, ""},
        RunnerCase{"ClickDisabledOnEnabledControlFails", "menu-disabled mnuA(17)\n", 0, 1,
                   "FILE:1: expected menu mnuA(17) refused, got it ran"},
        RunnerCase{"ImageBytes",
                   "image A zero 4\npoke A 1 2 \"AB CD\"\nexpect image A 1 2 \"AB CD\"\n"
                   "expect image A 1 2 \"AB CE\"\nexpect image-size A 2048\n",
                   2, 1, "FILE:4: expected image A 1 2 \"AB CE\", got \"AB CD\""},
        RunnerCase{"QuitAndState", "menu mnUsci\nexpect quit\nexpect state DevicePath \"A:\"\n", 1,
                   1, "FILE:3: expected state DevicePath \"A:\", got \"\""},
        RunnerCase{"SyntaxErrorStopsTheFile", "expect Label58.caption \"-\"\nfrobnicate 3\n", 0, 1,
                   "FILE:2: syntax error: unknown command frobnicate"},
        RunnerCase{"UnterminatedText", "expect Label58.caption \"-\n", 0, 1,
                   "FILE:1: syntax error: unterminated text"},
        RunnerCase{"BadArgumentEndsTheFile",
                   "expect Label58.caption \"-\"\nexpect Label58.visible maybe\n"
                   "expect Label58.caption \"-\"\n",
                   1, 1, "FILE:2: syntax error: not true or false: maybe"},
        RunnerCase{"UnknownControl", "expect Label999.caption \"\"\n", 0, 1,
                   "FILE:1: expected Label999.caption \"\", got no control Label999"}),
    [](const ::testing::TestParamInfo<RunnerCase>& info) { return std::string(info.param.name); });

TEST(ScenarioRunnerFiles, MissingFileFailsAndTotalsAddUp) {
  TempDir dir;
  const std::string good = (dir.path() / "good.scn").string();
  std::ofstream(good) << "expect Label58.caption \"-\"\n";
  std::ostringstream out;
  EXPECT_EQ(scenario::RunFiles({good, (dir.path() / "none.scn").string()}, out), 1);
  EXPECT_NE(out.str().find("none.scn: cannot open"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("1 passed, 1 failed"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace dulvex::testing
