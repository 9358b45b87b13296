// The drives subsystem in the Qt program: a file dropped on the window, the recent images
// kept with QSettings (in a temporary settings folder), the Volume menu's tooltips, and the
// Open Device dialog's list.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QTreeWidget>
#include <QUrl>

#include "support/test_support.h"
#include "ui/main_window.h"
#include "ui/open_device_dialog.h"
#include "ui/qt_drives_shell.h"

namespace dulvex::ui {
namespace {

TEST(DrivesUi, DroppedImageIsBoundChosenAndRemembered) {
  dulvex::testing::ModelFixture f;
  dulvex::testing::TempDir settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromStdString(settings.path().string()));
  MainWindow window(f.model);
  ConnectDrives(window, f.model);
  window.show();
  const std::filesystem::path image = f.dir.path() / "dropped.img";
  dulvex::testing::MakeFatImage(image, 2880, "-F 12 -n DROPPED");

  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(image.string()))});
  // As a drag does it: the drop goes to the widget that accepted the drag's entry.
  QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_EQ(f.model.state.DevicePath, "A:");
  EXPECT_EQ(window.ActionOf("mnuRecentFile(0)")->text().toStdString(), image.string());
  EXPECT_TRUE(window.ActionOf("mnuRecent")->isEnabled());
  EXPECT_EQ(LoadRecentImages(), std::vector<std::string>{image.string()});

  // The Volume menu brings its tooltips up to date as it opens.
  std::filesystem::remove(image);
  emit window.findChild<QMenu*>("mnuVolume")->aboutToShow();
  EXPECT_EQ(window.ActionOf("mnuA(0)")->toolTip().toStdString(),
            image.string() + ": no such file or device");
  EXPECT_EQ(window.ActionOf("mnuA(1)")->toolTip().toStdString(), "nothing bound");
}

TEST(DrivesUi, OpenDeviceDialogListsTheMachinesDevices) {
  OpenDeviceDialog dialog;
  auto* tree = dialog.findChild<QTreeWidget*>("DeviceList");
  auto* status = dialog.findChild<QLabel*>("DeviceListStatus");
  ASSERT_NE(tree, nullptr);
  EXPECT_GT(tree->topLevelItemCount(), 0) << status->text().toStdString();
  EXPECT_TRUE(status->text().endsWith("block devices.")) << status->text().toStdString();
  EXPECT_TRUE(tree->topLevelItem(0)->text(0).startsWith("/dev/"));
  EXPECT_EQ(dialog.chosenPath(), "");
}

}  // namespace
}  // namespace dulvex::ui
