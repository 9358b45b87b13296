// Check Volume on the 32 GiB FAT32 bench volume (about 1,000,000 clusters in use, 10,000
// files), next to fsck.fat -n on the same image: each iteration runs the check, then
// fsck.fat, so both meet the same load. The counters give fsck.fat's time and the ratio.
#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "check/checker.h"
#include "fat_bench_volume.h"

namespace {

using dulvex::bench::BenchVolume;
using Clock = std::chrono::steady_clock;

void BM_CheckVolume(benchmark::State& state) {
  const std::string image = BenchVolume().image.string();
  dulvex::fat::MediumSource source;
  if (!source.Open(image).ok()) return state.SkipWithError("cannot open");
  // fsck.fat lives in sbin, which a normal user's PATH lacks.
  const std::string fsck = "PATH=$PATH:/usr/sbin:/sbin fsck.fat -n '" + image + "' >/dev/null 2>&1";
  double ours = 0, theirs = 0;
  std::uint64_t findings = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    const dulvex::check::CheckResult r = dulvex::check::CheckVolume(source);
    const auto end = Clock::now();
    findings = r.Total();
    if (!r.complete) state.SkipWithError("the check did not finish");
    state.PauseTiming();
    const auto fsckStart = Clock::now();
    const int status = std::system(fsck.c_str());
    const auto fsckEnd = Clock::now();
    // 0 or 1: fsck.fat finds the free count of the bench volume's FSInfo stale, as the
    // check does; anything else is a failure to check.
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) state.SkipWithError("fsck.fat failed");
    state.ResumeTiming();
    ours += std::chrono::duration<double, std::milli>(end - start).count();
    theirs += std::chrono::duration<double, std::milli>(fsckEnd - fsckStart).count();
  }
  state.counters["fsck_ms"] = theirs / static_cast<double>(state.iterations());
  state.counters["ratio_to_fsck"] = ours / theirs;
  state.counters["findings"] = static_cast<double>(findings);
  state.counters["clusters_in_use"] = static_cast<double>(BenchVolume().clustersInUse);
}
BENCHMARK(BM_CheckVolume)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(7)
    ->Iterations(1);

}  // namespace
