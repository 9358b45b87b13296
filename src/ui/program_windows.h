// The program's windows around its window model, wired as the program runs them: the main
// window; the prompter's boxes, the progress of long work and the find dialog modal to it;
// help and About; the Cluster Chain report; Write History; and the drives (Open Device, the
// recent images, files dropped anywhere on the main window). The program and the scenario
// runner's window mode both build their window with it:
//
//   ProgramWindows windows;                       // after the model, so it goes first
//   BuildForm1(model, {windows.findAsker(), windows.drivesShell(), nullptr, windows.clipboard()});
//   windows.Open(model, prompter, runner);
#pragma once

#include <memory>

#include "commands/find_command.h"
#include "commands/open_commands.h"
#include "core/window_model.h"
#include "ui/find_dialog.h"
#include "ui/main_window.h"
#include "ui/qt_clipboard.h"
#include "ui/qt_prompter.h"
#include "ui/qt_work_runner.h"

class QWidget;

namespace dulvex::ui {

class ProgramWindows {
 public:
  ProgramWindows();
  ~ProgramWindows();
  ProgramWindows(const ProgramWindows&) = delete;
  ProgramWindows& operator=(const ProgramWindows&) = delete;

  // What the commands ask through, to build the model with: the Find String dialog, the Open
  // Device dialog with the recent images in the user's settings, and the clipboard. Their dialogs
  // are modal to the main window once it is open.
  search::FindAsker* findAsker() { return &findAsker_; }
  std::shared_ptr<drives::DrivesShell> drivesShell() const { return drives_; }
  // The desktop's clipboard, for the Copy Buffer menu's items.
  Clipboard* clipboard() { return &clipboard_; }

  // Makes the main window over `model` (built with the two above) and wires the rest to it;
  // `prompter` is the one the model asks through, `runner` the one its long work runs on.
  void Open(WindowModel& model, QtPrompter& prompter, QtWorkRunner& runner);
  MainWindow& window() { return *window_; }

 private:
  QtFindAsker findAsker_;
  QtClipboard clipboard_;
  std::shared_ptr<drives::DrivesShell> drives_;
  std::unique_ptr<MainWindow> window_;
  WindowModel* model_ = nullptr;
  QtPrompter* prompter_ = nullptr;
  QtWorkRunner* runner_ = nullptr;
};

// Esc closes `window`, as its close button does: for the program's secondary windows.
void CloseOnEscape(QWidget& window);

}  // namespace dulvex::ui
