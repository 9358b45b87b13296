#include "core/work_runner.h"

#include <exception>

namespace dulvex {

namespace {

// The runner's progress as the work sees it, remembering whether the work was told to stop.
class Watched : public WorkProgress {
 public:
  explicit Watched(WorkProgress& inner) : inner_(inner) {}
  void Report(std::uint64_t done, std::uint64_t total) override { inner_.Report(done, total); }
  bool Cancelled() const override {
    const bool cancelled = inner_.Cancelled();
    told_ = told_ || cancelled;
    return cancelled;
  }
  bool told() const { return told_; }

 private:
  WorkProgress& inner_;
  mutable bool told_ = false;
};

}  // namespace

WorkResult RunWork(const WorkRunner::Work& work, WorkProgress& progress) {
  Watched watched(progress);
  try {
    work(watched);
  } catch (const std::exception& e) {
    return {WorkOutcome::Failed, e.what()};
  } catch (...) {
    return {WorkOutcome::Failed, "an unknown error"};
  }
  return {watched.told() ? WorkOutcome::Cancelled : WorkOutcome::Done, {}};
}

}  // namespace dulvex
