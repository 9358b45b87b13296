// The help window's rules over a fake window: placement, reloading, a missing file, the
// resize rule, and the "Help" command with its fallbacks.
#include "help/help_viewer.h"

#include <gtest/gtest.h>

#include <fstream>

#include "help/install_help.h"
#include "support/test_support.h"
#include "unit/help_fakes.h"

namespace dulvex::testing {
namespace {

struct FixedOwner : HelpOwner {
  TwipsRect bounds;
  explicit FixedOwner(TwipsRect b) : bounds(b) {}
  TwipsRect OuterBounds() const override { return bounds; }
};

void WriteFile(const std::filesystem::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

struct HelpFixture {
  TempDir dir;
  ScriptedPrompter prompter;
  WindowModel model{prompter};
  FakeHelpWindow window;
  HelpViewer viewer{window, model};
  HelpFixture() { window.viewer = &viewer; }
};

TEST(HelpPlacement, EachModeWithHalvesToEven) {
  const TwipsRect owner{1000, 2000, 15000, 12000};
  const TwipsSize screen{19201, 10801};
  struct Case {
    std::int32_t mode;
    TwipsSize self;
    bool withOwner;
    TwipsPoint at;
  };
  const Case cases[] = {
      {0, {5000, 4000}, true, {11000, 2000}},     {1, {5000, 4000}, true, {6000, 6000}},
      {1, {5001, 4003}, true, {6000, 5998}},   // 5999.5 -> 6000, 5998.5 -> 5998
      {1, {5003, 4001}, true, {5998, 6000}},   // 5998.5 -> 5998, 5999.5 -> 6000
      {2, {5000, 4000}, true, {7100, 3400}},   // 7100.5 -> 7100, 3400.5 -> 3400
      {2, {5002, 4002}, false, {7100, 3400}},  // 7099.5 -> 7100, 3399.5 -> 3400
      {0, {5000, 4000}, false, {7100, 3400}},  // no owner: centred on the screen
      {1, {5000, 4000}, false, {7100, 3400}},     {3, {5000, 4000}, true, {0, 0}},
      {-1, {5000, 4000}, true, {0, 0}},           {99, {5000, 4000}, false, {0, 0}},
      {2, {30000, 20000}, false, {-5400, -4600}},  // larger than the screen: negative
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    EXPECT_EQ(HelpPlacement(c.mode, c.self, c.withOwner ? &owner : nullptr, screen), c.at);
  }
}

TEST(HelpViewer, ApriStoresPlacesShowsAndLoadsTheFile) {
  HelpFixture f;
  auto file = f.dir.path() / "guide.rtf";
  WriteFile(file, "{\\rtf1 \\b Guide\\b0 text}");
  FixedOwner owner({0, 0, 15000, 12000});
  EXPECT_EQ(f.viewer.Apri(file.string(), "Help", 2, &owner), 0);
  EXPECT_EQ(f.viewer.NFileIstruzioni(), file.string());
  EXPECT_EQ(f.viewer.NPosizione(), 2);
  EXPECT_EQ(f.viewer.NSform(), &owner);
  EXPECT_EQ(f.window.caption, " Help");
  // (19200 - 10860) / 2 = 4170, (10800 - 8388) / 2 = 1206.
  EXPECT_EQ(f.window.outer.left, 4170);
  EXPECT_EQ(f.window.outer.top, 1206);
  EXPECT_EQ(f.window.documents, 1);
  ASSERT_EQ(f.window.document.paragraphs.size(), 1u);
  EXPECT_EQ(f.window.document.paragraphs[0].Text(), "Guidetext");
  EXPECT_TRUE(f.prompter.shown.empty());

  // Opening again while loaded: new arguments and caption, no new placement.
  f.window.outer.left = 77;
  EXPECT_EQ(f.viewer.Apri(file.string(), "Other", 3, nullptr), 0);
  EXPECT_EQ(f.window.creates, 1);
  EXPECT_EQ(f.window.outer.left, 77);
  EXPECT_EQ(f.window.caption, " Other");
  EXPECT_EQ(f.viewer.NPosizione(), 3);
  EXPECT_EQ(f.viewer.NSform(), nullptr);
}

TEST(HelpViewer, EveryActivationReadsTheFileAgain) {
  HelpFixture f;
  auto file = f.dir.path() / "guide.rtf";
  WriteFile(file, "{\\rtf1 first}");
  ASSERT_EQ(f.viewer.Apri(file.string(), "Help", 2), 0);
  WriteFile(file, "{\\rtf1 second}");
  f.viewer.Form_Activate();
  EXPECT_EQ(f.window.documents, 2);
  EXPECT_EQ(f.window.document.paragraphs.at(0).Text(), "second");
}

TEST(HelpViewer, MissingFileIsReportedAndClosesTheWindow) {
  HelpFixture f;
  auto missing = (f.dir.path() / "nothing.rtf").string();
  EXPECT_EQ(f.viewer.Apri(missing, "Help", 2), 0);
  ASSERT_EQ(f.prompter.shown.size(), 1u);
  EXPECT_EQ(f.prompter.shown[0].text, "File Not Foud: " + missing);
  EXPECT_EQ(f.prompter.shown[0].style, 16);
  EXPECT_EQ(f.prompter.shown[0].title, "-");
  EXPECT_EQ(f.window.closes, 1);
  EXPECT_FALSE(f.viewer.loaded());
  // An activation after the close does nothing; a folder is not a file either.
  f.viewer.Form_Activate();
  EXPECT_EQ(f.prompter.shown.size(), 1u);
  EXPECT_EQ(f.viewer.Apri(f.dir.path().string(), "Help", 2), 0);
  EXPECT_EQ(f.window.creates, 2);  // loaded and placed again
  EXPECT_EQ(f.prompter.shown.size(), 2u);
}

TEST(HelpViewer, FileVanishingWhileOpenIsReportedAtTheNextActivation) {
  HelpFixture f;
  auto file = f.dir.path() / "guide.rtf";
  WriteFile(file, "{\\rtf1 x}");
  ASSERT_EQ(f.viewer.Apri(file.string(), "Help", 2), 0);
  std::filesystem::remove(file);
  f.viewer.Form_Activate();
  ASSERT_EQ(f.prompter.shown.size(), 1u);
  EXPECT_EQ(f.window.closes, 1);
}

TEST(HelpViewer, FileExistsNeverThrows) {
  TempDir dir;
  WriteFile(dir.path() / "a.rtf", "");
  EXPECT_TRUE(FileExists((dir.path() / "a.rtf").string()));  // an empty file has a length
  EXPECT_FALSE(FileExists((dir.path() / "b.rtf").string()));
  EXPECT_FALSE(FileExists(dir.path().string()));
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists(std::string(5000, 'x')));  // name too long
  EXPECT_FALSE(FileExists((dir.path() / "a.rtf" / "under").string()));
}

TEST(HelpViewer, ResizeRule) {
  HelpFixture f;
  auto file = f.dir.path() / "g.rtf";
  WriteFile(file, "x");
  ASSERT_EQ(f.viewer.Apri(file.string(), "Help", 3), 0);
  struct Case {
    double w, h;
    TwipsRect view;
  };
  const Case cases[] = {
      {10860, 8388, {0, 0, 10740, 7908}},
      {121, 481, {0, 0, 1, 1}},
      {100, 300, {0, 0, 1, 1}},
      {120, 5000, {0, 0, 1, 4520}},
  };
  for (const Case& c : cases) {
    f.window.outer.width = c.w;
    f.window.outer.height = c.h;
    f.viewer.Form_Resize();
    EXPECT_EQ(f.window.view.width, c.view.width);
    EXPECT_EQ(f.window.view.height, c.view.height);
    EXPECT_EQ(f.window.view.left, 0);
    EXPECT_EQ(f.window.view.top, 0);
  }
  f.window.minimized = true;
  f.window.outer.width = 5000;
  f.viewer.Form_Resize();
  EXPECT_EQ(f.window.view.width, 1);  // unchanged while minimized
  f.window.minimized = false;
  f.viewer.Form_Resize();
  EXPECT_EQ(f.window.view.width, 4880);
}

TEST(HelpMenu, PathBesideTheExecutable) {
  EXPECT_EQ(HelpFilePath("/opt/dulvex"), "/opt/dulvex/HELP.rtf");
  EXPECT_EQ(HelpFilePath("/opt/dulvex/"), "/opt/dulvex//HELP.rtf");
  EXPECT_EQ(HelpFilePath("/"), "//HELP.rtf");
  EXPECT_TRUE(FileExists("//etc//hostname") == FileExists("/etc/hostname"));
}

struct NoAbout : AboutHost {
  bool Exists() const override { return false; }
  void Load(const AboutTexts&) override {}
  void Show() override {}
};

TEST(HelpMenu, OpensTheHelpFileBesideTheExecutable) {
  HelpFixture f;
  for (const char* name : {"mnuHelp", "mnuAbout"}) {
    Control menu;
    menu.name = name;
    menu.kind = ControlKind::Menu;
    f.model.Add(menu);
  }
  NoAbout about;
  FixedOwner owner({0, 0, 15000, 12000});
  InstallHelp(f.model, f.viewer, about, &owner);
  f.model.exeDir = f.dir.path();
  WriteFile(f.dir.path() / "HELP.rtf", "{\\rtf1 guide}");
  ASSERT_TRUE(f.model.Click("mnuHelp"));
  EXPECT_EQ(f.viewer.NFileIstruzioni(), (f.dir.path() / "HELP.rtf").string());
  EXPECT_EQ(f.viewer.NSform(), &owner);
  EXPECT_EQ(f.window.caption, " Help");
  EXPECT_EQ(f.window.document.paragraphs.at(0).Text(), "guide");
  EXPECT_TRUE(f.prompter.shown.empty());
}

TEST(HelpMenu, MissingHelpFileIsReportedByTheWindow) {
  HelpFixture f;
  f.model.exeDir = f.dir.path();
  mnuHelp_Click(f.model, f.viewer, nullptr);
  ASSERT_EQ(f.prompter.shown.size(), 1u);
  EXPECT_EQ(f.prompter.shown[0].text, "File Not Foud: " + (f.dir.path() / "HELP.rtf").string());
  EXPECT_EQ(f.window.shows, 1);  // no second attempt: a missing file is not an error here
}

TEST(HelpMenu, ErrorWhileOpeningFallsBackToTheBareNameThenReports) {
  {
    HelpFixture f;
    f.model.exeDir = f.dir.path();
    f.window.createError = 7;
    mnuHelp_Click(f.model, f.viewer, nullptr);
    EXPECT_EQ(f.window.creates, 2);
    EXPECT_EQ(f.viewer.NFileIstruzioni(), "HELP.rtf");
    ASSERT_EQ(f.prompter.shown.size(), 1u);
    EXPECT_EQ(f.prompter.shown[0].text, "File Not Found!7");
    EXPECT_EQ(f.prompter.shown[0].style, 48);
    EXPECT_EQ(f.prompter.shown[0].title, "");
  }
  {
    // Showing fails both times; the second attempt finds the window already loaded.
    HelpFixture f;
    f.model.exeDir = f.dir.path();
    f.window.showError = 5;
    mnuHelp_Click(f.model, f.viewer, nullptr);
    EXPECT_EQ(f.window.shows, 2);
    ASSERT_EQ(f.prompter.shown.size(), 1u);
    EXPECT_EQ(f.prompter.shown[0].text, "File Not Found!5");
    EXPECT_EQ(f.window.creates, 1);
    EXPECT_EQ(f.viewer.NFileIstruzioni(), "HELP.rtf");
  }
}

}  // namespace
}  // namespace dulvex::testing
