// dulvex_scenario [--window] FILE.scn...: runs scenario files against the headless main window,
// or with --window through the real Qt window over it (offscreen unless a platform is chosen).
#include <QApplication>
#include <clocale>
#include <iostream>

#include "scenario_runner/scenario.h"
#include "scenario_runner/window_surface.h"

namespace {

// Qt's messages, less the offscreen platform's notes on what it cannot do (raise a window,
// grab the keyboard), which say nothing about the program.
void Messages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.startsWith("This plugin does not support") || text.startsWith("QStandardPaths:")) return;
  std::cerr << qPrintable(qFormatLogMessage(type, context, text)) << '\n';
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files(argv + 1, argv + argc);
  const bool window = !files.empty() && files.front() == "--window";
  if (window) files.erase(files.begin());
  if (files.empty()) return std::cerr << "usage: dulvex_scenario [--window] FILE.scn...\n", 2;
  if (!window) return dulvex::scenario::RunFiles(files, std::cout);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The file dialogs in Qt's own form, which the runner can fill in as a user does.
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  qInstallMessageHandler(Messages);
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setStyle("Fusion");
  return dulvex::scenario::RunFiles(files, std::cout, dulvex::scenario::MakeWindowSurface);
}
