// The Open Device dialog: the machine's block devices as lsblk lists them (path, size,
// model, file system, label, mount points, removable and read-only), mounted ones marked.
// The list follows devices that come and go, and media that change (see lsblk::BlockWatch);
// Refresh reads it again.
#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>
#include <string>

#include "lsblk/block_watch.h"

class QLabel;
class QPushButton;
class QSocketNotifier;
class QTreeWidget;

namespace dulvex::ui {

class OpenDeviceDialog : public QDialog {
  Q_OBJECT
 public:
  explicit OpenDeviceDialog(QWidget* parent = nullptr);
  // The device chosen; empty until one is.
  std::string chosenPath() const;
  // Shows the dialog; the path of the device chosen, empty on cancel.
  static std::string Choose(QWidget* parent);
  // Reads the list again (Refresh, and devices coming or going).
  void Reload();

 private:
  QTreeWidget* tree_;
  QLabel* status_;
  QPushButton* open_;
  lsblk::BlockWatch watch_;
  QSocketNotifier* events_ = nullptr;  // udev's or the kernel's events
  QTimer rescan_;                      // where udev does not run
  QTimer settle_;                      // one reload after a burst of changes
};

}  // namespace dulvex::ui
