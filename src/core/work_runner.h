// Long work (a search over the whole medium, a walk of the directory tree, a file's export) is
// a Qt-free function that reports its progress and looks at a cancel flag. A WorkRunner decides
// where it runs: the real window runs it on a worker thread behind a progress bar with Cancel;
// tests run it at once. The window model is handed its runner when it is made.
#pragma once

#include <functional>
#include <string>

#include "base/progress.h"

namespace dulvex {

// How long work ended.
enum class WorkOutcome {
  Done,       // it ran to its end
  Cancelled,  // the user pressed Cancel, and the work saw it and stopped early
  Failed,     // it ended with an error of its own (it threw): `problem` says which
};

struct WorkResult {
  WorkOutcome outcome = WorkOutcome::Done;
  std::string problem;  // Failed only
};

class WorkRunner {
 public:
  virtual ~WorkRunner() = default;
  using Work = std::function<void(WorkProgress&)>;
  // Runs on the interface thread once the work has returned, with how it ended.
  using Done = std::function<void(const WorkResult&)>;
  // Runs `work`, then `done` (when given), and returns after both. `work` must not touch the
  // window model or the prompter; `done` may do both. `title` names the work on the progress
  // bar ("Find String").
  virtual void Run(const std::string& title, WorkUnit unit, Work work, Done done) = 0;
};

// Runs `work` with `progress` on the calling thread and tells how it ended: Cancelled only when
// the work asked whether to stop and was told so (a Cancel pressed after the work's last
// question changes nothing: the work ran to its end), Failed when it threw. For runners.
WorkResult RunWork(const WorkRunner::Work& work, WorkProgress& progress);

}  // namespace dulvex
