#include "ui/program_windows.h"

#include <QAction>

#include "commands/find_command.h"
#include "ui/chain_report_window.h"
#include "ui/help_window.h"
#include "ui/history_window.h"
#include "ui/qt_drives_shell.h"

namespace dulvex::ui {

ProgramWindows::ProgramWindows(WindowModel& model, QtPrompter& prompter, QtWorkRunner& runner)
    : model_(model),
      prompter_(prompter),
      runner_(runner),
      window_(std::make_unique<MainWindow>(model)) {
  MainWindow* window = window_.get();
  const auto refresh = [window] { window->Refresh(); };
  search::InstallSearch(model, &findAsker_);
  findAsker_.SetParent(window);
  prompter.SetParent(window);
  prompter.beforeBox = refresh;
  AddFindNextKey(*window, model, refresh);
  runner.SetParent(window);
  runner.afterDone = refresh;
  InstallHelpWindows(model, window);
  InstallChainReportWindow(model, window, refresh);
  InstallHistoryWindow(model, window, refresh);
  ConnectDrives(*window, model);
}

ProgramWindows::~ProgramWindows() {
  search::InstallSearch(model_);  // the find dialog goes with the windows
  prompter_.beforeBox = nullptr;
  runner_.afterDone = nullptr;
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
