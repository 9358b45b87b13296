// A WorkRunner for tests: the work runs at once on the calling thread, and Cancel can be
// pressed after a given number of progress reports.
#pragma once

#include <optional>

#include "core/work_runner.h"

namespace dulvex {

class InlineWorkRunner : public WorkRunner {
 public:
  // When set, each work sees Cancelled() once it has reported this many times.
  std::optional<int> cancelAfterReports;

  void Run(const std::string& title, WorkUnit unit, Work work, Done done) override;
};

}  // namespace dulvex
