// The program's windows around its window model, wired as the program runs them: the main
// window; the prompter's boxes, the progress of long work and the find dialog modal to it; F3;
// help and About; the Cluster Chain report; Write History; and the drives (Open Device, the
// recent images, files dropped anywhere on the main window). The program and the scenario
// runner's window mode both build their window with it.
#pragma once

#include <QObject>
#include <memory>

#include "core/window_model.h"
#include "ui/find_dialog.h"
#include "ui/main_window.h"
#include "ui/qt_prompter.h"
#include "ui/qt_work_runner.h"

class QWidget;

namespace dulvex::ui {

class ProgramWindows {
 public:
  // `model` is built (BuildForm1); `prompter` is the one it asks through, `runner` the one its
  // long work runs on (or under).
  ProgramWindows(WindowModel& model, QtPrompter& prompter, QtWorkRunner& runner);
  ~ProgramWindows();
  ProgramWindows(const ProgramWindows&) = delete;
  ProgramWindows& operator=(const ProgramWindows&) = delete;

  MainWindow& window() { return *window_; }

 private:
  WindowModel& model_;
  QtPrompter& prompter_;
  QtWorkRunner& runner_;
  QtFindAsker findAsker_;
  std::unique_ptr<MainWindow> window_;
};

// Esc closes `window`, as its close button does: for the program's secondary windows.
void CloseOnEscape(QWidget& window);

}  // namespace dulvex::ui
