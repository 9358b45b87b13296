// A large FAT32 volume for the FAT engine's benchmarks, made at bench time: a sparse image of
// 32 GiB formatted by mkfs.fat (4 KiB clusters), into which the generator writes directory
// entries and FAT chains straight away: 100 directories of 100 files with long names, each
// file in two runs, and one file of 1 GiB (262,144 clusters in runs of 1024) whose data is
// written for real. About 1,000,000 clusters are in use. The image is removed at exit.
#pragma once

#include <cstdint>
#include <filesystem>

namespace dulvex::bench {

struct FatBenchVolume {
  std::filesystem::path image;
  std::uint32_t bigFile = 0;  // first cluster of the 1 GiB file, "/BIG.BIN"
  std::uint64_t bigSize = 0;
  std::uint64_t clustersInUse = 0;
  std::uint64_t files = 0;
};

// Made on first use, in $DULVEX_BENCH_DIR or the temporary folder.
const FatBenchVolume& BenchVolume();

// A FAT32 volume of 2 GiB (4 KiB clusters) holding 2,000,000 empty files with names of 255
// characters, in 667 directories of up to 3,000 (21 entries each: 20 long-name pieces and
// the short entry), about 1.3 GiB of directories written for real. Made on first use, like
// BenchVolume.
struct LongNamesVolume {
  std::filesystem::path image;
  std::uint64_t files = 0;
};
const LongNamesVolume& LongNamesBenchVolume();

}  // namespace dulvex::bench
