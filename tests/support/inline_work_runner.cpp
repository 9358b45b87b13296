#include "support/inline_work_runner.h"

namespace dulvex {

namespace {

class InlineProgress : public WorkProgress {
 public:
  explicit InlineProgress(std::optional<int> cancelAfter) : cancelAfter_(cancelAfter) {}
  void Report(std::uint64_t, std::uint64_t) override { ++reports_; }
  bool Cancelled() const override { return cancelAfter_ && reports_ >= *cancelAfter_; }

 private:
  std::optional<int> cancelAfter_;
  int reports_ = 0;
};

}  // namespace

void InlineWorkRunner::Run(const std::string&, WorkUnit, Work work, Done done) {
  InlineProgress progress(cancelAfterReports);
  const WorkResult result = RunWork(work, progress);
  if (done) done(result);
}

}  // namespace dulvex
