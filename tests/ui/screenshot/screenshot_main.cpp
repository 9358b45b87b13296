// Renders the main window offscreen to a PNG after choosing drive A: from the Volume menu,
// so the picture shows the floppy sample's sector 0.
// Usage: dulvex_screenshot DRIVES_DIR OUTPUT.png [KEY,KEY,...]
// When DRIVES_DIR has no A, a fresh 1.44 MB FAT12 floppy is made for the picture. The
// optional keys name menu items or buttons to use after that, in order (for pictures of
// other panels, e.g. "mnuFileList" or "mnuCopyB,Command9"), cells to click ("Label3(37)"),
// keys to press where the focus is ("key:Shift+Right"), or "dark" for a dark palette.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPalette>
#include <QPixmap>
#include <QRegularExpression>
#include <clocale>
#include <cstdio>
#include <filesystem>

#include "support/inline_work_runner.h"
#include "support/scripted_prompter.h"
#include "support/test_support.h"
#include "ui/cell_grid_widget.h"
#include "ui/main_window.h"
#include "wiring/form1.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: %s DRIVES_DIR OUTPUT.png [KEY,KEY,...]\n", argv[0]);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setStyle("Fusion");

  std::filesystem::path drives = argv[1];
  dulvex::testing::TempDir scratch;
  if (!std::filesystem::exists(drives / "A")) {
    drives = scratch.path() / "drives";
    std::filesystem::create_directories(drives);
    dulvex::testing::MakeFatImage(drives / "A", 2880, "-F 12 -n FLOPPY");
  }

  dulvex::ScriptedPrompter prompter;
  dulvex::InlineWorkRunner runner;
  dulvex::WindowModel model(prompter, runner);
  model.exeDir = drives.parent_path();
  model.state.drivesDir = drives;
  dulvex::BuildForm1(model);
  dulvex::ui::MainWindow window(model);
  window.show();
  QAction* a = window.ActionOf("mnuA(0)");
  if (a == nullptr) return 1;
  a->trigger();
  if (argc == 4) {
    for (const QString& key : QString::fromLocal8Bit(argv[3]).split(',', Qt::SkipEmptyParts)) {
      const QRegularExpressionMatch cell =
          QRegularExpression(R"(^(Label3|Label55)\((\d+)\)$)").match(key);
      if (key == "dark") {
        QPalette dark = QApplication::palette();
        dark.setColor(QPalette::Window, QColor(45, 45, 45));
        dark.setColor(QPalette::WindowText, QColor(224, 224, 224));
        dark.setColor(QPalette::Base, QColor(30, 30, 30));
        dark.setColor(QPalette::Text, QColor(224, 224, 224));
        QApplication::setPalette(dark);
      } else if (cell.hasMatch()) {
        model.Click(cell.captured(1).toStdString(), cell.captured(2).toInt());
        window.sectorGrid()->setFocus();
        window.Refresh();
      } else if (key.startsWith("key:")) {
        const QKeySequence keys(key.mid(4));
        QWidget* focus = window.focusWidget();  // the window may not be active offscreen
        if (keys.isEmpty() || focus == nullptr) return 1;
        QKeyEvent press(QEvent::KeyPress, keys[0].key(), keys[0].keyboardModifiers());
        QApplication::sendEvent(focus, &press);
      } else if (QAction* action = window.ActionOf(key.toStdString())) {
        action->trigger();
      } else if (auto* button =
                     qobject_cast<QAbstractButton*>(window.WidgetOf(key.toStdString()))) {
        button->click();
      } else {
        std::fprintf(stderr, "no menu item or button %s\n", qPrintable(key));
        return 1;
      }
    }
  }
  for (const dulvex::ShownBox& box : prompter.shown) {
    std::fprintf(stderr, "box shown: %s\n", box.text.c_str());
  }
  QApplication::processEvents();
  const QImage image = window.grab().toImage();
  if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  return prompter.shown.empty() ? 0 : 1;
}
