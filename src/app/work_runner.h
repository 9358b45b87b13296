// Long work (a search over the whole medium, a walk of the directory tree, a file's export) is
// a Qt-free function that reports its progress and looks at a cancel flag. A WorkRunner decides
// where it runs: the real window runs it on a worker thread behind a progress bar with Cancel
// and takes no other event until it ends; tests and the scenario runner run it at once.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace dulvex {

// What the work sees of its runner. Both calls are cheap and safe from the worker thread.
class WorkProgress {
 public:
  virtual ~WorkProgress() = default;
  // How far the work has come: `done` of `total` units (bytes, clusters, entries).
  virtual void Report(std::uint64_t done, std::uint64_t total) = 0;
  // True once the user asked to stop; the work returns soon after, with what it has.
  virtual bool Cancelled() const = 0;
};

// The unit the work counts in, for the progress bar's text ("512.0 of 1024.0 MB, 3100 MB/s").
enum class WorkUnit { Bytes, Items };

class WorkRunner {
 public:
  virtual ~WorkRunner() = default;
  using Work = std::function<void(WorkProgress&)>;
  // Runs on the interface thread when the work has returned; `cancelled` tells whether the
  // user stopped it.
  using Done = std::function<void(bool cancelled)>;
  // Runs `work`, then `done`. `work` must not touch the window model or the prompter; `done`
  // may do both. `title` names the work on the progress bar ("Find String").
  virtual void Run(const std::string& title, WorkUnit unit, Work work, Done done) = 0;
};

// Runs the work at once on the calling thread. For tests, Cancel can be pressed after a given
// number of progress reports.
class InlineWorkRunner : public WorkRunner {
 public:
  // When set, the work sees Cancelled() once it has reported this many times.
  std::optional<int> cancelAfterReports;
  int reports = 0;  // reports received over all runs
  int runs = 0;     // works run
  std::string lastTitle;

  void Run(const std::string& title, WorkUnit unit, Work work, Done done) override;
};

}  // namespace dulvex
