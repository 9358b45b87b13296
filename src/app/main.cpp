// Dulvex Hex Editor: wires the window model, its handlers and the Qt layer together.
#include <QApplication>
#include <QDir>

#include "app/form1.h"
#include "app/scripted_prompter.h"
#include "ui/help_window.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  dulvex::ScriptedPrompter prompter;
  dulvex::WindowModel model(prompter);
  model.exeDir = QCoreApplication::applicationDirPath().toStdString();
  model.state.drivesDir = model.exeDir / "drives";
  dulvex::BuildForm1(model);
  dulvex::ui::MainWindow window(model);
  dulvex::ui::InstallHelpWindows(model, &window);
  window.show();
  return QApplication::exec();
}
