// Dulvex Hex Editor: wires the window model, its handlers and the Qt layer together.
#include <QApplication>
#include <clocale>

#include "ui/find_dialog.h"
#include "ui/help_window.h"
#include "ui/main_window.h"
#include "ui/qt_prompter.h"
#include "ui/qt_work_runner.h"
#include "wiring/form1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Qt takes the user's locale; the program's number texts always use "." as the point.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setStyle("Fusion");
  dulvex::ui::QtPrompter prompter;
  dulvex::WindowModel model(prompter);
  model.exeDir = QCoreApplication::applicationDirPath().toStdString();
  model.state.drivesDir = model.exeDir / "drives";
  dulvex::ui::QtFindAsker findAsker;
  dulvex::BuildForm1(model, &findAsker);
  dulvex::ui::MainWindow window(model);
  prompter.SetParent(&window);
  prompter.beforeBox = [&window] { window.Refresh(); };
  findAsker.SetParent(&window);
  dulvex::ui::AddFindNextKey(window, model, [&window] { window.Refresh(); });
  dulvex::ui::QtWorkRunner runner(model, &window);
  runner.afterDone = [&window] { window.Refresh(); };
  model.SetRunner(runner);
  dulvex::ui::InstallHelpWindows(model, &window);
  window.show();
  return QApplication::exec();
}
