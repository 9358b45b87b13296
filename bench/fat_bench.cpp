// The FAT engine on a 32 GiB FAT32 volume with about 1,000,000 clusters in use and 10,000
// files (made by fat_bench_volume.cpp): the whole-tree walk with the owner map, a chain of
// 262,144 clusters, and the data of a 1 GiB file read from the page cache.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>

#include "fat/file_data.h"
#include "fat/owner_map.h"
#include "fat_bench_volume.h"
#include "support/test_support.h"
#include "volume/boot_sector.h"

namespace {

using dulvex::bench::BenchVolume;
namespace fat = dulvex::fat;

fat::Layout BenchLayout() {
  const std::vector<std::uint8_t> boot = dulvex::testing::ReadBytes(BenchVolume().image, 0, 0, 512);
  dulvex::SectorBytes b{};
  std::copy(boot.begin(), boot.end(), b.begin());
  return *fat::LayoutOf(dulvex::ReadBootSector(b, {}).geometry).layout;
}

// What File's Data does with the bytes: plain writes to a host file (here in memory).
struct FileSink : fat::ByteSink {
  int fd;
  explicit FileSink(int f) : fd(f) {}
  dulvex::Status Write(std::span<const std::uint8_t> b) override {
    if (::write(fd, b.data(), b.size()) == static_cast<ssize_t>(b.size())) return {};
    return dulvex::Status::FromErrno();
  }
};

// The FAT read, the tree walked and the owner map built, as the first "Find File Cluster".
void BM_TreeWalk(benchmark::State& state) {
  const fat::Layout l = BenchLayout();
  fat::MediumSource source;
  if (!source.Open(BenchVolume().image).ok()) return state.SkipWithError("cannot open");
  std::size_t nodes = 0;
  double bytesPerCluster = 0, bytesInAll = 0, treeBytes = 0;
  for (auto _ : state) {
    const fat::FatLoad load = fat::LoadFat(source, l, 0);
    const fat::Tree tree = fat::WalkTree(source, *load.table);
    const std::optional<fat::OwnerMap> owners = fat::OwnerMap::Build(tree, *load.table);
    nodes = tree.nodes.size();
    treeBytes = static_cast<double>(tree.Bytes());
    bytesPerCluster = static_cast<double>(owners->ClusterBytes()) / (l.MaxCluster() + 1.0);
    bytesInAll = static_cast<double>(owners->Bytes());
    if (tree.problemCount != 0) state.SkipWithError(tree.problems.front().c_str());
  }
  state.counters["entries"] = static_cast<double>(nodes);
  state.counters["tree_bytes_per_entry"] = treeBytes / static_cast<double>(nodes);
  state.counters["clusters_in_use"] = static_cast<double>(BenchVolume().clustersInUse);
  state.counters["owner_map_bytes_per_cluster"] = bytesPerCluster;
  state.counters["owner_map_bytes"] = bytesInAll;
}
BENCHMARK(BM_TreeWalk)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->Iterations(1);

// The walk of 2,000,000 entries with names of 255 characters: time, the tree's bytes per entry,
// and how much the process grew per entry over the first walk (its peak resident size).
void BM_TreeWalkLongNames(benchmark::State& state) {
  const dulvex::bench::LongNamesVolume& v = dulvex::bench::LongNamesBenchVolume();
  const std::vector<std::uint8_t> boot = dulvex::testing::ReadBytes(v.image, 0, 0, 512);
  dulvex::SectorBytes b{};
  std::copy(boot.begin(), boot.end(), b.begin());
  const fat::Layout l = *fat::LayoutOf(dulvex::ReadBootSector(b, {}).geometry).layout;
  fat::MediumSource source;
  if (!source.Open(v.image).ok()) return state.SkipWithError("cannot open");
  const auto peak = [] {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) * 1024;
  };
  const double before = peak();
  double nodes = 0, treeBytes = 0, grown = 0;
  for (auto _ : state) {
    const fat::FatLoad load = fat::LoadFat(source, l, 0);
    const fat::Tree tree = fat::WalkTree(source, *load.table);
    const std::optional<fat::OwnerMap> owners = fat::OwnerMap::Build(tree, *load.table);
    nodes = static_cast<double>(tree.nodes.size());
    treeBytes = static_cast<double>(tree.Bytes());
    if (grown == 0) grown = peak() - before;
    if (tree.problemCount != 0) state.SkipWithError(tree.problems.front().c_str());
  }
  if (nodes != static_cast<double>(v.files + 668)) state.SkipWithError("wrong entry count");
  state.counters["entries"] = nodes;
  state.counters["tree_bytes_per_entry"] = treeBytes / nodes;
  state.counters["peak_growth_bytes_per_entry"] = grown / nodes;
}
BENCHMARK(BM_TreeWalkLongNames)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->Iterations(1);

void BM_ChainFollow(benchmark::State& state) {
  const fat::Layout l = BenchLayout();
  fat::MediumSource source;
  if (!source.Open(BenchVolume().image).ok()) return state.SkipWithError("cannot open");
  const fat::FatTable table = *fat::LoadFat(source, l, 0).table;
  fat::ChainFollower follower(table);
  std::uint64_t length = 0;
  for (auto _ : state) {
    const fat::ChainEnd end =
        follower.Walk(BenchVolume().bigFile, [](std::uint32_t) { return true; });
    length = end.length;
    benchmark::DoNotOptimize(end);
  }
  if (length != 262144) state.SkipWithError("wrong chain length");
  state.counters["clusters"] = static_cast<double>(length);
}
BENCHMARK(BM_ChainFollow)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);

// "File's Data" of the 1 GiB file: its chain planned, its bytes read from the page cache
// and written to a file in memory (/dev/shm when there is one).
void BM_FileData(benchmark::State& state) {
  const fat::Layout l = BenchLayout();
  fat::MediumSource source;
  if (!source.Open(BenchVolume().image).ok()) return state.SkipWithError("cannot open");
  const fat::FatTable table = *fat::LoadFat(source, l, 0).table;
  const std::string out =
      std::filesystem::exists("/dev/shm") ? "/dev/shm/dulvex-bench-data" : "/tmp/dulvex-bench-data";
  fat::ChainFollower follower(table);
  // Once before timing, so the data lies in the page cache.
  {
    const int fd = ::open("/dev/null", O_WRONLY);
    FileSink sink(fd);
    fat::CopyFile(source, l,
                  fat::PlanFile(follower, BenchVolume().bigFile, BenchVolume().bigSize, false),
                  sink);
    ::close(fd);
  }
  for (auto _ : state) {
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    FileSink sink(fd);
    const fat::FileExtents file =
        fat::PlanFile(follower, BenchVolume().bigFile, BenchVolume().bigSize, false);
    const fat::CopyResult r = fat::CopyFile(source, l, file, sink);
    ::close(fd);
    if (r.copied != BenchVolume().bigSize) state.SkipWithError("short copy");
  }
  ::unlink(out.c_str());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * BenchVolume().bigSize));
}
BENCHMARK(BM_FileData)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->Iterations(2);

}  // namespace
