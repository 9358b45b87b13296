#include "ui/open_device_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <vector>

#include "core/contrast.h"
#include "drives/drive_info.h"
#include "lsblk/block_devices.h"

namespace dulvex::ui {

namespace {

const QStringList kColumns = {"Device", "Size",       "Model",     "File system",
                              "Label",  "Mounted on", "Removable", "Read-only"};
constexpr int kMountColumn = 5;
const QColor kMountedColour(160, 0, 0);

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QStringList RowTexts(const lsblk::BlockDevice& d) {
  std::string fsType = d.fsType;
  std::string label = d.label;
  if (fsType.empty() && d.size > 0 && d.type != "rom") {
    // Without a udev database lsblk knows no file system; the device may still be read
    // (an empty drive, size 0, and optical drives are not touched: they can take seconds).
    Status read;
    const drives::FileSystemGuess g = drives::ProbeFileSystem(d.path, &read);
    fsType = read.ok() ? g.type : "(" + read.Describe() + ")";
    if (label.empty()) label = g.label;
  }
  QStringList mounts;
  for (const std::string& m : d.mountPoints) mounts << Q(m);
  QString mounted = mounts.join(", ");
  if (mounted.isEmpty() && d.holdsMounted) mounted = "(a partition is mounted)";
  return {Q(d.path),
          !d.sizeKnown  ? QString("?")
          : d.size == 0 ? QString("no medium")  // an empty card reader
                        : Q(drives::HumanSize(d.size)),
          Q(d.model),
          Q(fsType),
          Q(label),
          mounted,
          d.removable ? "yes" : "",
          d.readOnly ? "yes" : ""};
}

}  // namespace

OpenDeviceDialog::OpenDeviceDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("OpenDeviceDialog");
  setWindowTitle("Open Device");
  tree_ = new QTreeWidget(this);
  tree_->setObjectName("DeviceList");
  tree_->setHeaderLabels(kColumns);
  tree_->setRootIsDecorated(true);
  tree_->setAllColumnsShowFocus(true);
  tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  auto* note = new QLabel(
      "Devices marked in red are mounted (or hold a mounted partition): they can be looked "
      "at, but writing to them is refused while they are mounted. Unmount a device before "
      "you write to it.",
      this);
  note->setWordWrap(true);
  status_ = new QLabel(this);
  status_->setObjectName("DeviceListStatus");
  status_->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(this);
  open_ = buttons->addButton("Open", QDialogButtonBox::AcceptRole);
  open_->setEnabled(false);
  buttons->addButton("Refresh", QDialogButtonBox::ActionRole)->setObjectName("RefreshButton");
  buttons->addButton(QDialogButtonBox::Cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tree_);
  layout->addWidget(note);
  layout->addWidget(status_);
  layout->addWidget(buttons);
  resize(860, 420);

  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(buttons, &QDialogButtonBox::clicked, this, [this, buttons](QAbstractButton* b) {
    if (buttons->buttonRole(b) == QDialogButtonBox::ActionRole) Reload();
  });
  connect(tree_, &QTreeWidget::itemSelectionChanged, this,
          [this] { open_->setEnabled(!tree_->selectedItems().isEmpty()); });
  connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this] { accept(); });
  // A stick plugged in sends a burst of events (the disk, then each partition): one reload
  // a moment after the last of them.
  settle_.setSingleShot(true);
  settle_.setInterval(300);
  connect(&settle_, &QTimer::timeout, this, &OpenDeviceDialog::Reload);
  if (watch_.fd() >= 0) {
    events_ = new QSocketNotifier(watch_.fd(), QSocketNotifier::Read, this);
    connect(events_, &QSocketNotifier::activated, this, [this] {
      if (watch_.TakeEvents()) settle_.start();
    });
  }
  if (watch_.rescans()) {
    rescan_.setInterval(lsblk::BlockWatch::kRescanMs);
    connect(&rescan_, &QTimer::timeout, this, [this] {
      if (watch_.Rescan()) settle_.start();
    });
    rescan_.start();
  }
  Reload();
}

void OpenDeviceDialog::Reload() {
  const std::string was = chosenPath();
  const lsblk::DeviceList list = lsblk::ListBlockDevices();
  tree_->clear();
  std::vector<QTreeWidgetItem*> parents;
  for (const lsblk::BlockDevice& d : list.devices) {
    parents.resize(static_cast<std::size_t>(d.depth));
    auto* item = parents.empty() ? new QTreeWidgetItem(tree_, RowTexts(d))
                                 : new QTreeWidgetItem(parents.back(), RowTexts(d));
    item->setData(0, Qt::UserRole, Q(d.path));
    if (d.mounted() || d.holdsMounted) {
      // Red, as far as it reads on the list's background in the palette in use.
      const QColor base = tree_->palette().color(QPalette::Active, QPalette::Base);
      const Rgb red =
          ReadableOn(MakeRgb(kMountedColour.red(), kMountedColour.green(), kMountedColour.blue()),
                     MakeRgb(base.red(), base.green(), base.blue()));
      for (int c = 0; c < kColumns.size(); ++c)
        item->setForeground(c, QColor(RedOf(red), GreenOf(red), BlueOf(red)));
      item->setToolTip(kMountColumn, "Writing is refused while it is mounted.");
    }
    if (d.path == was) item->setSelected(true);
    parents.push_back(item);
  }
  tree_->expandAll();
  status_->setText(list.status.ok() ? QString("%1 block devices.").arg(list.devices.size())
                                    : Q(list.status.Describe()));
  open_->setEnabled(!tree_->selectedItems().isEmpty());
}

std::string OpenDeviceDialog::chosenPath() const {
  const QList<QTreeWidgetItem*> chosen = tree_->selectedItems();
  return chosen.isEmpty() ? std::string()
                          : chosen.front()->data(0, Qt::UserRole).toString().toStdString();
}

std::string OpenDeviceDialog::Choose(QWidget* parent) {
  OpenDeviceDialog dialog(parent);
  return dialog.exec() == QDialog::Accepted ? dialog.chosenPath() : std::string();
}

}  // namespace dulvex::ui
