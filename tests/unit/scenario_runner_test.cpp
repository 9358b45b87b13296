// The scenario runner checks itself: a runner that let everything pass, or read a script
// wrongly, would make every scenario worthless. Its test scripts write each report they must
// give after "# =>" on the line that gives it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "scenario_runner/scenario.h"
#include "support/test_support.h"

TEST(ScenarioRunner, ReportsEachFailureCountsAndFails) {
  const std::string dir = DULVEX_SOURCE_DIR "/tests/scenario_runner/";
  const std::vector<std::string> files = {dir + "self_test.scn", dir + "self_syntax.scn",
                                          dir + "none.scn"};
  std::ostringstream out, want;
  EXPECT_EQ(dulvex::scenario::RunFiles(files, out), 1);
  for (const std::string& file : files) {
    std::ifstream in(file);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n)
      if (const auto at = line.find("# => "); at != std::string::npos)
        want << file << ':' << n << ": " << line.substr(at + 5) << '\n';
  }
  EXPECT_EQ(out.str(), want.str() + dir + "none.scn:0: cannot open\n16 passed, 17 failed\n");
}

// Texts of any length: the tokenizer once overflowed the stack on a quoted text of 14,000
// characters. An escape at the end shows the whole text was read.
TEST(ScenarioRunner, ReadsTextsOfAnyLength) {
  const dulvex::testing::TempDir dir;
  const std::string file = (dir.path() / "long.scn").string(), text(100000, 'a');
  std::ofstream(file) << "expect Label58.caption \"" << text << "\\x41\"\n";
  std::ostringstream out;
  EXPECT_EQ(dulvex::scenario::RunFiles({file}, out), 1);
  EXPECT_EQ(out.str(), file + ":1: expected Label58.caption \"" + text + "A\", got \"-\"\n" +
                           "0 passed, 1 failed\n");
}
