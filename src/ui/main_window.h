// The Qt main window: lays out widgets from the window model and forwards events to it.
#pragma once

#include <QMainWindow>

#include "app/window_model.h"

namespace dulvex::ui {

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(WindowModel& model, QWidget* parent = nullptr);

 private:
  WindowModel& model_;
};

}  // namespace dulvex::ui
