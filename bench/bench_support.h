// Shared by the benchmarks: one offscreen QApplication for every benchmark that needs Qt.
#pragma once

#include <QApplication>
#include <clocale>
#include <memory>

namespace dulvex::bench {

inline void EnsureApplication() {
  static std::unique_ptr<QApplication> app;
  if (app) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "dulvex_bench";
  static char* argv[] = {name, nullptr};
  app = std::make_unique<QApplication>(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setStyle("Fusion");
}

}  // namespace dulvex::bench
