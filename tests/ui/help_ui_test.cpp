// The Qt help window and About box, offscreen: names, the guide shown, one About box placed
// over the middle of the main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTextBrowser>
#include <QWidget>

#include "app/scripted_prompter.h"
#include "ui/about_box.h"
#include "ui/help_window.h"
#include "wiring/form1.h"

namespace dulvex::ui {
namespace {

TEST(HelpUi, HelpShowsTheGuideAndAboutIsOneBoxOverTheMainWindow) {
  ScriptedPrompter prompter;
  WindowModel model{prompter};
  BuildForm1(model);
  model.exeDir = DULVEX_BIN_DIR;
  QWidget mainWindow;
  mainWindow.setGeometry(40, 50, 1000, 760);
  mainWindow.show();
  HelpWindows* windows = InstallHelpWindows(model, &mainWindow);

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
  const QPoint offCentre = box->geometry().center() - mainWindow.frameGeometry().center();
  EXPECT_LE(offCentre.manhattanLength(), 8);  // the frames, unknown before it is shown
}

}  // namespace
}  // namespace dulvex::ui
