// The scenario runner checks itself: a runner that let everything pass, or read a script
// wrongly, would make every scenario worthless. Its test scripts write each report they must
// give after "# =>" on the line that gives it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "scenario_runner/scenario.h"

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
  EXPECT_EQ(out.str(), want.str() + dir + "none.scn:0: cannot open\n17 passed, 18 failed\n");
}
