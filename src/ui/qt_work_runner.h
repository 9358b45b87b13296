// Long work on a worker thread, behind a progress dialog with Cancel that is modal to the main
// window (the window model marks itself busy meanwhile, so no other command can read, write or
// change what the work relies on); the work's own result is taken on the interface thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "core/work_runner.h"

namespace dulvex::ui {

class QtWorkRunner : public QObject, public WorkRunner {
  Q_OBJECT
 public:
  explicit QtWorkRunner(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  // The progress dialog shows once the work has run this long, so quick work does not flash
  // a dialog.
  void SetShowAfter(int ms) { showAfterMs_ = ms; }
  // Called after each `done`, so the window shows what it changed.
  std::function<void()> afterDone;

  // Returns when the work has ended and `done` has run. Meanwhile a local event loop keeps
  // the window painted and the dialog's Cancel working.
  void Run(const std::string& title, WorkUnit unit, Work work, Done done) override;

 private:
  QPointer<QWidget> parent_;
  int showAfterMs_ = 300;
};

}  // namespace dulvex::ui
