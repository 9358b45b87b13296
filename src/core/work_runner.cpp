#include "core/work_runner.h"

namespace dulvex {

namespace {

class InlineProgress : public WorkProgress {
 public:
  explicit InlineProgress(InlineWorkRunner& runner) : runner_(runner) {}
  void Report(std::uint64_t, std::uint64_t) override { ++runner_.reports, ++reportsHere_; }
  bool Cancelled() const override {
    return runner_.cancelAfterReports && reportsHere_ >= *runner_.cancelAfterReports;
  }

 private:
  InlineWorkRunner& runner_;
  int reportsHere_ = 0;
};

}  // namespace

void InlineWorkRunner::Run(const std::string& title, WorkUnit, Work work, Done done) {
  ++runs;
  lastTitle = title;
  InlineProgress progress(*this);
  work(progress);
  if (done) done(progress.Cancelled());
}

}  // namespace dulvex
