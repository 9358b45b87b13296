// The installed program finds its guide: run by the install test with the folders of an
// installed tree, separated by ":" (the installed executable's folder and the launcher's per-user
// folder).
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "support/test_support.h"
#include "unit/help_fakes.h"

namespace dulvex::testing {
namespace {

TEST(InstalledTree, HelpFileIsFoundBesideTheExecutable) {
  const char* dirs = std::getenv("DULVEX_INSTALLED_EXE_DIRS");
  if (dirs == nullptr) GTEST_SKIP() << "run by the install test";
  std::istringstream list(dirs);
  std::string dir;
  int checked = 0;
  while (std::getline(list, dir, ':')) {
    SCOPED_TRACE(dir);
    ScriptedPrompter prompter;
    WindowModel model{prompter};
    FakeHelpWindow window;
    HelpViewer viewer{window, model};
    window.viewer = &viewer;
    model.exeDir = dir;
    mnuHelp_Click(model, viewer, nullptr);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(window.documents, 1);
    std::string all;
    for (const RtfParagraph& p : window.document.paragraphs) all += p.Text() + "\n";
    EXPECT_NE(all.find("Binding a drive letter"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(dir) / "drives"));
    ++checked;
  }
  EXPECT_GT(checked, 0);
}

}  // namespace
}  // namespace dulvex::testing
