// Find String over a 1 GiB image in the page cache with no match, read through pread and
// through a mapping, against reading the same file in the same chunks, and the cost of showing
// progress; and the worst data for the search's filter (a fill byte, and a pattern made of it
// but for its last byte) against random data. The image is made in /tmp once per run and
// removed at the end of the run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "bench_app.h"
#include "device/medium_reader.h"
#include "search/scanner.h"
#include "ui/qt_work_runner.h"

namespace {

using dulvex::search::Direction;
using dulvex::search::kChunkBytes;
using dulvex::search::ScanOutcome;

// Pseudo-random bytes (splitmix64), so every byte value turns up and the text searched for
// does not: the worst case for a search that tests a rare byte first.
struct Image {
  std::filesystem::path file = "/tmp/dulvex-bench-find-string.img";
  std::uint64_t bytes = std::uint64_t{1} << 30;
  dulvex::device::MediumReader reader;
  std::unique_ptr<dulvex::device::BulkReader> mapped;

  Image() {
    if (const char* size = std::getenv("DULVEX_BENCH_FIND_BYTES")) bytes = std::stoull(size);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    std::vector<std::uint64_t> block(kChunkBytes / 8);
    std::uint64_t state = 12;
    for (std::uint64_t done = 0; done < bytes; done += kChunkBytes) {
      for (auto& v : block) {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        v = z ^ (z >> 31);
      }
      out.write(reinterpret_cast<const char*>(block.data()), kChunkBytes);
    }
    out.close();
    reader.Open(file);
    dulvex::Status why;
    mapped = dulvex::device::SystemOpener(dulvex::device::ReadWay::Mapped).Open(file, &why);
  }
  ~Image() { std::filesystem::remove(file); }
};

Image& TheImage() {
  static Image image;
  return image;
}

const dulvex::search::Pattern& Absent() {
  static const dulvex::search::Pattern p =
      *dulvex::search::CompilePattern("FindStringBench", dulvex::search::FindKind::Text, false)
           .pattern;
  return p;
}

struct NoProgress : dulvex::WorkProgress {
  void Report(std::uint64_t, std::uint64_t) override {}
  bool Cancelled() const override { return false; }
};

// Arg 0: through pread; 1: through a mapping.
void Scan(benchmark::State& state, Direction direction) {
  Image& image = TheImage();
  NoProgress progress;
  dulvex::device::BulkReader& reader =
      state.range(0) == 0 ? static_cast<dulvex::device::BulkReader&>(image.reader) : *image.mapped;
  for (auto _ : state) {
    const ScanOutcome o =
        dulvex::search::Scan(reader, Absent(), 0, image.bytes, direction, progress);
    if (o.end != ScanOutcome::End::NotFound) state.SkipWithError("the scan did not run through");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.bytes));
}

void BM_FindString(benchmark::State& state) {
  Scan(state, Direction::Forward);
}
void BM_FindStringBackward(benchmark::State& state) {
  Scan(state, Direction::Backward);
}

// The same file read in the same chunks into a page-aligned buffer, searching nothing.
void BM_ReadPlain(benchmark::State& state) {
  Image& image = TheImage();
  std::vector<std::uint8_t> storage(kChunkBytes + 4096);
  std::uint8_t* buffer =
      storage.data() + (4096 - reinterpret_cast<std::uintptr_t>(storage.data()) % 4096);
  for (auto _ : state) {
    std::size_t got = 0;
    for (std::uint64_t at = 0; at < image.bytes; at += got) {
      if (!image.reader.Read(at, buffer, kChunkBytes, &got).ok() || got == 0)
        state.SkipWithError("read failed");
    }
    benchmark::DoNotOptimize(buffer[0]);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.bytes));
}

// The search as the window runs it: on a worker thread, reporting after each chunk, while the
// interface thread shows the progress every 50 ms.
void BM_FindStringWithProgress(benchmark::State& state) {
  EnsureApplication();
  Image& image = TheImage();
  dulvex::ui::QtWorkRunner runner;
  for (auto _ : state) {
    ScanOutcome o;
    runner.Run(
        "Find String", dulvex::WorkUnit::Bytes,
        [&](dulvex::WorkProgress& p) {
          o = dulvex::search::Scan(*image.mapped, Absent(), 0, image.bytes, Direction::Forward, p);
        },
        nullptr);
    if (o.end != ScanOutcome::End::NotFound) state.SkipWithError("the scan did not run through");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.bytes));
}

// The scan's own cost: one chunk already in memory (and in the cache), searched again and
// again, with a text and with any case (two bytes accepted at each position).
void BM_FindInChunk(benchmark::State& state) {
  Image& image = TheImage();
  std::vector<std::uint8_t> chunk(kChunkBytes);
  std::size_t got = 0;
  image.reader.Read(0, chunk.data(), chunk.size(), &got);
  const auto pattern = *dulvex::search::CompilePattern(
                            "FindStringBench", dulvex::search::FindKind::Text, state.range(0) != 0)
                            .pattern;
  for (auto _ : state) {
    if (pattern.FindFirst(chunk.data(), chunk.size()) != dulvex::search::Pattern::kNone)
      state.SkipWithError("found");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * chunk.size()));
}
BENCHMARK(BM_FindInChunk)->Arg(0)->Arg(1)->Repetitions(9);

// The search's worst data: 16 MiB of one fill byte with a pattern of that byte but for its
// last, searched by one searcher in chunks of 1 MiB as a scan does; against the same pattern
// over random bytes. Args: the pattern (0: hex FF FF FF FF FF FF FF 00, 1: AAAAAAAB), and the
// data (0: random, 1: the pattern's fill byte).
void BM_FindWorstCase(benchmark::State& state) {
  constexpr std::size_t kBytes = std::size_t{16} << 20;
  const bool ff = state.range(0) == 0;
  static std::vector<std::uint8_t> random;
  if (random.empty()) {
    random.resize(kBytes);
    std::uint64_t z = 99;
    for (auto& b : random)
      b = static_cast<std::uint8_t>((z = z * 6364136223846793005ull + 1) >> 56);
  }
  std::vector<std::uint8_t> fill(kBytes, ff ? 0xFF : 'A');
  const std::vector<std::uint8_t>& data = state.range(1) == 0 ? random : fill;
  const auto pattern =
      ff ? *dulvex::search::CompilePattern("FF FF FF FF FF FF FF 00", dulvex::search::FindKind::Hex,
                                           false)
                .pattern
         : *dulvex::search::CompilePattern("AAAAAAAB", dulvex::search::FindKind::Text, false)
                .pattern;
  for (auto _ : state) {
    dulvex::search::Searcher searcher(pattern);
    for (std::size_t at = 0; at < kBytes; at += kChunkBytes) {
      if (searcher.FindFirst(data.data() + at, kChunkBytes) != dulvex::search::Pattern::kNone)
        state.SkipWithError("found");
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}
BENCHMARK(BM_FindWorstCase)
    ->ArgNames({"ff_pattern", "fill_data"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Repetitions(9);

// Read first, so the image is made and in the page cache before anything is timed.
BENCHMARK(BM_ReadPlain)->Unit(benchmark::kMillisecond)->Repetitions(9)->UseRealTime();
BENCHMARK(BM_FindString)
    ->ArgName("mapped")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->UseRealTime();
BENCHMARK(BM_FindStringBackward)
    ->ArgName("mapped")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->UseRealTime();
BENCHMARK(BM_FindStringWithProgress)->Unit(benchmark::kMillisecond)->Repetitions(9)->UseRealTime();

}  // namespace
