// The Qt help window and About box, offscreen: names, the guide shown, one About box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTextBrowser>
#include <QWidget>

#include "wiring/form1.h"
#include "app/scripted_prompter.h"
#include "ui/about_box.h"
#include "ui/help_window.h"

namespace dulvex::ui {
namespace {

struct HelpUi : ::testing::Test {
  ScriptedPrompter prompter;
  WindowModel model{prompter};
  QWidget mainWindow;
  HelpWindows* windows = nullptr;
  void SetUp() override {
    BuildForm1(model);
    model.exeDir = DULVEX_BIN_DIR;
    mainWindow.show();
    windows = InstallHelpWindows(model, &mainWindow);
  }
};

TEST_F(HelpUi, HelpShowsTheGuideAndAboutIsOneBox) {
  ASSERT_TRUE(model.Click("mnuHelp"));
  windows->viewer().Form_Activate();  // offscreen windows may not be activated by the platform
  HelpWindow& help = windows->helpWindow();
  EXPECT_EQ(help.objectName(), "frmIstruzioni");
  auto* view = help.findChild<QTextBrowser*>("rtfIstruzioni");
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->toPlainText().contains("dulvex --drive E=/dev/sdb1"));
  EXPECT_TRUE(prompter.shown.empty());

  ASSERT_TRUE(model.Click("mnuAbout"));
  ASSERT_TRUE(model.Click("mnuAbout"));
  int abouts = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    abouts += w->objectName() == "Form2" && w->isVisible();
  EXPECT_EQ(abouts, 1);
  AboutBox* box = windows->about().box();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->findChild<QLabel*>("Label6")->text().toStdString(), VersionCaption(AppVersion()));
}

}  // namespace
}  // namespace dulvex::ui

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
