#include "ui/qt_drives_shell.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QUrl>

#include "ui/main_window.h"
#include "ui/open_device_dialog.h"

namespace dulvex::ui {

namespace {

const char* kRecentKey = "recentImages";

// Local files among the dropped URLs; empty when anything else was dropped. A name's bytes
// are taken from the URL's percent-encoding, so a name that is not UTF-8 keeps them.
std::vector<std::string> DroppedFiles(const QMimeData* data) {
  std::vector<std::string> files;
  if (data == nullptr || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) return {};
    files.push_back(
        url.host().isEmpty()
            ? QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString()
            : url.toLocalFile().toStdString());
  }
  return files;
}

// Takes files dropped anywhere on the window: on the window itself, where the widget under
// the pointer takes no drops, and on the widgets that take drops of their own (a text box
// would take the files' URLs as text), which keep every other drop.
class DropFilter : public QObject {
 public:
  DropFilter(MainWindow& window, WindowModel& model, std::shared_ptr<drives::DrivesShell> shell)
      : QObject(&window), window_(window), model_(model), shell_(std::move(shell)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (!model_.busy && !DroppedFiles(drag->mimeData()).empty()) {
        drag->acceptProposedAction();
        return true;
      }
    } else if (event->type() == QEvent::Drop) {
      auto* drop = static_cast<QDropEvent*>(event);
      const std::vector<std::string> files = DroppedFiles(drop->mimeData());
      if (!model_.busy && !files.empty()) {
        drop->acceptProposedAction();
        drives::OpenDropped(model_, *shell_, files);
        window_.Refresh();
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  MainWindow& window_;
  WindowModel& model_;
  std::shared_ptr<drives::DrivesShell> shell_;
};

}  // namespace

std::vector<std::string> LoadRecentImages() {
  std::vector<std::string> list;
  for (const QVariant& path : QSettings("Dulvex", "dulvex").value(kRecentKey).toList()) {
    // Byte arrays since names that are not UTF-8 are kept exactly; texts before that.
    list.push_back(path.typeId() == QMetaType::QByteArray ? path.toByteArray().toStdString()
                                                          : path.toString().toStdString());
  }
  return list;
}

void SaveRecentImages(const std::vector<std::string>& list) {
  QVariantList paths;
  for (const std::string& path : list) {
    paths << QByteArray(path.data(), static_cast<qsizetype>(path.size()));
  }
  QSettings("Dulvex", "dulvex").setValue(kRecentKey, paths);
}

std::shared_ptr<drives::DrivesShell> QtDrivesShell(std::function<QWidget*()> parent) {
  auto shell = std::make_shared<drives::DrivesShell>();
  shell->chooseDevice = [parent = std::move(parent)] { return OpenDeviceDialog::Choose(parent()); };
  shell->loadRecent = LoadRecentImages;
  shell->saveRecent = SaveRecentImages;
  return shell;
}

void ConnectDrives(MainWindow& window, WindowModel& model,
                   std::shared_ptr<drives::DrivesShell> shell) {
  window.setAcceptDrops(true);
  auto* drops = new DropFilter(window, model, std::move(shell));
  window.installEventFilter(drops);
  for (QWidget* child : window.findChildren<QWidget*>())
    if (child->acceptDrops()) child->installEventFilter(drops);
  if (auto* volume = window.findChild<QMenu*>(
          QString::fromUtf8(kVolumeMenu.name.data(), static_cast<int>(kVolumeMenu.name.size())))) {
    volume->setToolTipsVisible(true);
    QObject::connect(volume, &QMenu::aboutToShow, &window, [&window, &model] {
      drives::RefreshLetterTips(model);
      window.Refresh();
    });
  }
  if (auto* recent = window.findChild<QMenu*>(
          QString::fromUtf8(kRecentMenu.name.data(), static_cast<int>(kRecentMenu.name.size()))))
    recent->setToolTipsVisible(true);
  window.Refresh();
}

}  // namespace dulvex::ui
