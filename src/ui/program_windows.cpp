#include "ui/program_windows.h"

#include <QAction>

#include "ui/byte_values_window.h"
#include "ui/chain_report_window.h"
#include "ui/check_volume_window.h"
#include "ui/help_window.h"
#include "ui/history_window.h"
#include "ui/qt_drives_shell.h"

namespace dulvex::ui {

ProgramWindows::ProgramWindows()
    : drives_(QtDrivesShell([this]() -> QWidget* { return window_.get(); })) {}

void ProgramWindows::Open(WindowModel& model, QtPrompter& prompter, QtWorkRunner& runner) {
  window_ = std::make_unique<MainWindow>(model);
  MainWindow* window = window_.get();
  const auto refresh = [window] { window->Refresh(); };
  model_ = &model;
  prompter_ = &prompter;
  runner_ = &runner;
  findAsker_.SetParent(window);
  prompter.SetParent(window);
  prompter.beforeBox = refresh;
  runner.SetParent(window);
  runner.afterDone = refresh;
  InstallHelpWindows(model, window);
  InstallChainReportWindow(model, window, refresh);
  InstallHistoryWindow(model, window, refresh);
  InstallInspectorWindow(model, window);
  InstallCheckVolumeWindow(model, window, refresh);
  ConnectDrives(*window, model, drives_);
}

ProgramWindows::~ProgramWindows() {
  if (prompter_ != nullptr) prompter_->beforeBox = nullptr;
  if (runner_ != nullptr) runner_->afterDone = nullptr;
  if (model_ != nullptr) model_->state.inspectorHost = nullptr;  // goes with the main window
}

void CloseOnEscape(QWidget& window) {
  auto* escape = new QAction(&window);
  escape->setObjectName("CloseOnEscape");
  escape->setShortcut(Qt::Key_Escape);
  escape->setShortcutContext(Qt::WindowShortcut);
  QObject::connect(escape, &QAction::triggered, &window, &QWidget::close);
  window.addAction(escape);
}

}  // namespace dulvex::ui
