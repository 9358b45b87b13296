// The one Qt application the benchmarks share, on the offscreen platform unless one is set.
#pragma once

#include <QApplication>
#include <clocale>

// The application lives until the process ends and is never destroyed: destroyed among the
// other statics at exit, it would outlive Qt's own and crash.
inline void EnsureApplication() {
  static QApplication* app = nullptr;
  if (app != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "dulvex_bench";
  static char* argv[] = {name, nullptr};
  app = new QApplication(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setStyle("Fusion");
}
