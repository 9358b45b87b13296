// The Qt help window and About box, offscreen: names, geometry, one About box, the guide
// shown, and a picture of each written to the build folder for looking at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTextBrowser>
#include <QWidget>

#include "app/form1.h"
#include "app/scripted_prompter.h"
#include "ui/about_box.h"
#include "ui/help_window.h"

namespace dulvex::ui {
namespace {

int CountTopLevel(const char* name) {
  int n = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->objectName() == name && w->isVisible()) ++n;
  }
  return n;
}

struct UiFixture : ::testing::Test {
  ScriptedPrompter prompter;
  WindowModel model{prompter};
  QWidget mainWindow;
  HelpWindows* windows = nullptr;
  void SetUp() override {
    BuildForm1(model);
    model.exeDir = DULVEX_BIN_DIR;
    mainWindow.resize(1002, 721);
    mainWindow.show();
    windows = InstallHelpWindows(model, &mainWindow);
  }
};

TEST_F(UiFixture, HelpShowsTheGuideBesideTheExecutable) {
  ASSERT_TRUE(model.Click("mnuHelp"));
  HelpWindow& w = windows->helpWindow();
  // Offscreen windows may not be activated by the platform: activate by hand.
  windows->viewer().Form_Activate();
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_EQ(w.objectName(), "frmIstruzioni");
  EXPECT_EQ(w.windowTitle(), " Help");
  QTextBrowser* view = w.findChild<QTextBrowser*>("rtfIstruzioni");
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->isReadOnly());
  EXPECT_EQ(w.size(), QSize(716, 527));
  EXPECT_EQ(view->geometry(), QRect(0, 0, 716, 527));
  EXPECT_TRUE(view->toPlainText().contains("Binding a drive letter"));
  EXPECT_TRUE(view->toPlainText().contains("ln -s /dev/sdb1 drives/E"));
  QApplication::processEvents();
  w.grab().save(QString(DULVEX_BIN_DIR) + "/help_window.png");

  w.resize(300, 200);
  QApplication::processEvents();
  EXPECT_EQ(view->size(), QSize(300, 200));
  w.close();
  EXPECT_FALSE(windows->viewer().loaded());
}

TEST_F(UiFixture, AboutTwiceGivesOneBox) {
  ASSERT_TRUE(model.Click("mnuAbout"));
  ASSERT_TRUE(model.Click("mnuAbout"));
  EXPECT_EQ(CountTopLevel("Form2"), 1);
  AboutBox* box = windows->about().box();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->windowTitle(), "About");
  EXPECT_EQ(box->size(), QSize(512, 610));  // 7680 by 9144 twips
  auto* label6 = box->findChild<QLabel*>("Label6");
  ASSERT_NE(label6, nullptr);
  EXPECT_EQ(label6->text().toStdString(), VersionCaption(AppVersion()));
  EXPECT_EQ(box->findChild<QLabel*>("Label2")->text(), "by Morlentis");
  EXPECT_EQ(box->findChild<QLabel*>("Label3")->text(), kAboutAddress);
  auto* image = box->findChild<QLabel*>("Image1");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->pixmap().size(), QSize(600, 516));
  EXPECT_EQ(image->geometry(), QRect(16, 64, 480, 413));
  box->grab().save(QString(DULVEX_BIN_DIR) + "/about_box.png");

  box->close();  // deleted; the next "About" makes a new one
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(windows->about().Exists());
  ASSERT_TRUE(model.Click("mnuAbout"));
  EXPECT_EQ(CountTopLevel("Form2"), 1);
}

TEST_F(UiFixture, HelpAndAboutCloseWithTheMainWindow) {
  model.Click("mnuHelp");
  model.Click("mnuAbout");
  mainWindow.close();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(windows->helpWindow().isVisible());
  EXPECT_FALSE(windows->about().Exists());
}

}  // namespace
}  // namespace dulvex::ui

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
