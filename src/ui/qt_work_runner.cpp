#include "ui/qt_work_runner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

namespace dulvex::ui {

namespace {

// The worker's side: atomics the interface thread reads on a timer.
class ThreadProgress : public WorkProgress {
 public:
  void Report(std::uint64_t done, std::uint64_t total) override {
    done_.store(done, std::memory_order_relaxed);
    total_.store(total, std::memory_order_relaxed);
  }
  bool Cancelled() const override { return cancel_.load(std::memory_order_relaxed); }
  void Cancel() { cancel_.store(true); }
  std::uint64_t done() const { return done_.load(std::memory_order_relaxed); }
  std::uint64_t total() const { return total_.load(std::memory_order_relaxed); }

 private:
  std::atomic<std::uint64_t> done_{0}, total_{0};
  std::atomic<bool> cancel_{false};
};

QString ProgressText(const std::string& title, WorkUnit unit, std::uint64_t done,
                     std::uint64_t total, qint64 elapsedMs) {
  QString text = QString::fromStdString(title);
  if (unit == WorkUnit::Bytes) {
    const double mb = 1024.0 * 1024.0;
    text += QString("\n%1 of %2 MB").arg(done / mb, 0, 'f', 1).arg(total / mb, 0, 'f', 1);
    if (elapsedMs > 0)
      text += QString(", %1 MB/s").arg(done / mb / (elapsedMs / 1000.0), 0, 'f', 0);
  } else if (unit == WorkUnit::Thousandths) {
    text += QString("\n%1 %").arg(static_cast<double>(done) / 10.0, 0, 'f', 1);
  } else if (total > 0) {
    text += QString("\n%1 of %2").arg(done).arg(total);
  }
  return text;
}

}  // namespace

void QtWorkRunner::Run(const std::string& title, WorkUnit unit, Work work, Done done) {
  // The work runs to its end inside a local event loop, so Run keeps the order of the
  // handler that called it: the handler's next statement sees the work done.
  auto progress = std::make_shared<ThreadProgress>();
  QProgressDialog dialog(ProgressText(title, unit, 0, 0, 0), "Cancel", 0, 1000, parent_);
  dialog.setWindowTitle(QString::fromStdString(title));
  dialog.setWindowModality(Qt::WindowModal);
  dialog.setMinimumDuration(showAfterMs_);
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);
  dialog.setValue(0);
  // Cancel, Esc or closing the dialog while the work runs; the dialog is closed below only
  // once this is disconnected (closing it emits canceled()).
  const QMetaObject::Connection cancel =
      QObject::connect(&dialog, &QProgressDialog::canceled, [progress] { progress->Cancel(); });

  QEventLoop loop;
  std::atomic<bool> finished{false};
  WorkResult result;
  std::thread worker([&] {
    result = RunWork(work, *progress);
    finished.store(true);
    QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
  });
  QElapsedTimer clock;
  clock.start();
  // Progress is shown at most every 50 ms, so reporting costs the work nothing.
  QTimer timer;
  timer.setInterval(50);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    const std::uint64_t d = progress->done(), t = progress->total();
    if (t > 0) dialog.setValue(static_cast<int>(1000.0 * static_cast<double>(d) / t));
    dialog.setLabelText(ProgressText(title, unit, d, t, clock.elapsed()));
  });
  timer.start();
  if (!finished.load()) loop.exec();
  worker.join();
  timer.stop();
  QObject::disconnect(cancel);
  dialog.close();
  if (done) done(result);
  if (afterDone) afterDone();
}

}  // namespace dulvex::ui
