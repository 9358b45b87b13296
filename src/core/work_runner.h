// Long work (a search over the whole medium, a walk of the directory tree, a file's export) is
// a Qt-free function that reports its progress and looks at a cancel flag. A WorkRunner decides
// where it runs: the real window runs it on a worker thread behind a progress bar with Cancel
// and takes no other event until it ends; tests and the scenario runner run it at once.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "base/progress.h"

namespace dulvex {

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
