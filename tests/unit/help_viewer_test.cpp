// The help window's rules over a fake window (placement, reloading, a missing file, resizing,
// the "Help" command's fallbacks), and the guide of an installed tree.
#include "help/help_viewer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <tuple>

#include "support/test_support.h"

namespace dulvex::testing {
namespace {

// The help window's rules over a fake window that records what they do; Show() activates it
// at once, as a window shown in front does.
struct Help : HelpWindowHost {
  TempDir dir;
  ScriptedPrompter prompter;
  InlineWorkRunner runner;
  WindowModel model{prompter, runner};
  HelpViewer viewer{*this, model};
  std::string file = (dir.path() / "guide.rtf").string(), caption, text;
  int closes = 0, createError = 0, showError = 0;
  TwipsRect outer{0, 0, 10860, 8388}, view{};
  bool minimized = false;

  int Create() override { return createError; }
  void SetCaption(const std::string& c) override { caption = c; }
  int Show() override {
    if (!showError) viewer.Form_Activate();
    return showError;
  }
  void Close() override { ++closes; }
  TwipsRect OuterBounds() const override { return outer; }
  void Move(double left, double top) override { outer = {left, top, outer.width, outer.height}; }
  TwipsSize ScreenSize() const override { return {19200, 10800}; }
  bool Minimized() const override { return minimized; }
  void PlaceView(double l, double t, double w, double h) override { view = {l, t, w, h}; }
  // The document shown, its paragraphs' text one line each.
  void ShowDocument(const RtfDocument& d) override {
    text.clear();
    for (const RtfParagraph& p : d.paragraphs) text += p.Text() + "\n";
  }

  void Write(const std::string& rtf) { std::ofstream(file, std::ios::binary) << rtf; }
  // The boxes shown, one "text|style|title" line each.
  std::string Boxes() const {
    std::string all;
    for (const ShownBox& b : prompter.shown)
      all += b.text + "|" + std::to_string(b.style) + "|" + b.title + "\n";
    return all;
  }
};

// Modes 0 and 1 follow the owner, 2 (and 0 and 1 without owner) the screen; halves to even.
TEST(HelpPlacement, EachMode) {
  const TwipsRect owner{1000, 2000, 15000, 12000};
  const std::tuple<int, TwipsSize, const TwipsRect*, TwipsPoint> cases[] = {
      {0, {5000, 4000}, &owner, {11000, 2000}}, {1, {5001, 4003}, &owner, {6000, 5998}},
      {2, {5000, 4000}, &owner, {7100, 3400}},  {1, {5002, 4002}, nullptr, {7100, 3400}},
      {3, {5000, 4000}, &owner, {0, 0}},        {2, {30000, 20000}, nullptr, {-5400, -4600}},
  };
  for (const auto& [mode, self, o, at] : cases)
    EXPECT_EQ(HelpPlacement(mode, self, o, {19201, 10801}), at) << mode << " " << self.width;
}

struct FixedOwner : HelpOwner {
  TwipsRect OuterBounds() const override { return {1000, 2000, 15000, 12000}; }
};

// Placed once when loaded; every activation reads the file again; the view follows the
// window's size (at least 1 by 1, not while minimized); a file gone is reported, and the
// window shows nothing of the earlier document behind the report.
TEST(HelpViewer, OpenReloadResizeAndMissingFile) {
  Help h;
  FixedOwner owner;
  h.Write("{\\rtf1 \\b Guide\\b0 text}");
  EXPECT_EQ(h.viewer.Apri(h.file, "Help", 1, &owner), 0);
  h.Write("{\\rtf1 second}");
  EXPECT_EQ(h.viewer.Apri(h.file, "Other", 2), 0);  // loaded: not placed again
  EXPECT_EQ(std::tuple(h.outer.left, h.outer.top, h.caption, h.text),
            std::tuple(3070, 3806, " Other", "second\n"));
  auto resize = [&h](double width, double height, bool minimized) {
    h.outer = {0, 0, width, height};
    h.minimized = minimized;
    h.viewer.Form_Resize();
    return std::tuple{h.view.width, h.view.height};
  };
  EXPECT_EQ(resize(100, 300, false), std::tuple(1, 1));
  EXPECT_EQ(resize(5000, 5000, true), std::tuple(1, 1));
  EXPECT_EQ(resize(5000, 5000, false), std::tuple(4880, 4520));
  std::filesystem::remove(h.file);
  h.viewer.Form_Activate();
  h.viewer.Form_Activate();  // closed: does nothing
  EXPECT_EQ(std::tuple(h.Boxes(), h.closes, h.text),
            std::tuple("File Not Foud: " + h.file + "|16|-\n", 1, ""));
}

// A missing file is reported by the window only; a failing Create or Show is tried again with
// the bare name, then reported.
TEST(HelpMenu, FileBesideTheExecutableThenTheBareNameThenAnErrorBox) {
  const std::tuple<int, int, const char*, const char*> cases[] = {
      {0, 0, "/nowhere/HELP.rtf", "File Not Foud: /nowhere/HELP.rtf|16|-\n"},
      {7, 0, "HELP.rtf", "File Not Found!7|48|\n"},
      {0, 5, "HELP.rtf", "File Not Found!5|48|\n"},
  };
  for (const auto& [createError, showError, file, boxes] : cases) {
    Help h;
    h.model.exeDir = "/nowhere";
    h.createError = createError, h.showError = showError;
    mnuHelp_Click(h.model, h.viewer, nullptr);
    EXPECT_EQ(std::tuple(h.viewer.NFileIstruzioni(), h.Boxes()), std::tuple(file, boxes));
  }
}

// Run by the install test with the installed executable's folder and the launcher's
// per-user folder, separated by ":".
TEST(InstalledTree, HelpFileIsFoundBesideTheExecutable) {
  const char* dirs = std::getenv("DULVEX_INSTALLED_EXE_DIRS");
  if (dirs == nullptr) GTEST_SKIP() << "run by the install test";
  std::istringstream list(dirs);
  for (std::string dir; std::getline(list, dir, ':');) {
    Help h;
    h.model.exeDir = dir;
    mnuHelp_Click(h.model, h.viewer, nullptr);
    EXPECT_NE(h.text.find("Binding a drive letter"), std::string::npos) << dir;
  }
}

}  // namespace
}  // namespace dulvex::testing
