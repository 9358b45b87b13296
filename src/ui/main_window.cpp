#include "ui/main_window.h"

namespace dulvex::ui {

MainWindow::MainWindow(WindowModel& model, QWidget* parent) : QMainWindow(parent), model_(model) {
  setWindowTitle(QString::fromStdString(model_.At("Form1").caption));
}

}  // namespace dulvex::ui
