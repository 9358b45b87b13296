// The Open Device dialog: the machine's block devices as lsblk lists them (path, size,
// model, file system, label, mount points, removable and read-only), mounted ones marked.
// The list follows devices that come and go; Refresh reads it again.
#pragma once

#include <QDialog>
#include <QFileSystemWatcher>
#include <QTimer>
#include <string>

class QLabel;
class QPushButton;
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
  QFileSystemWatcher watcher_;
  QTimer settle_;  // one reload after a burst of changes in /dev
};

}  // namespace dulvex::ui
