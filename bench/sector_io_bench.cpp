// Reading a sector costs the same wherever it lies: sector 0 and sector 2,000,000,000 of a
// sparse 1 TiB image, through the program's own ReadSector.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "sectorio/sector_io.h"
#include "support/test_support.h"

namespace {

using dulvex::testing::ModelFixture;

// One model with drive C: a sparse image of 2^31 sectors (1 TiB), made once.
ModelFixture& Tebibyte() {
  static std::unique_ptr<ModelFixture> f = [] {
    auto fixture = std::make_unique<ModelFixture>();
    dulvex::testing::MakeZeroImage(fixture->Drive('C'), std::uint64_t{1} << 31);
    // Both measured sectors hold data, so neither read is of a hole.
    dulvex::testing::PokeBytes(fixture->Drive('C'), 0, 510, {0x55, 0xAA});
    dulvex::testing::PokeBytes(fixture->Drive('C'), 2000000000, 510, {0x55, 0xAA});
    fixture->model.state.DevicePath = "C:";
    return fixture;
  }();
  return *f;
}

void BM_ReadSector(benchmark::State& state) {
  ModelFixture& f = Tebibyte();
  const std::int64_t n = state.range(0);
  dulvex::SectorBytes buffer{};
  for (auto _ : state) {
    dulvex::TransferResult r = dulvex::ReadSector(f.model, n, buffer);
    if (!r.ok()) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(buffer);
  }
}
BENCHMARK(BM_ReadSector)->Arg(0)->Arg(2000000000)->Repetitions(9);

}  // namespace
