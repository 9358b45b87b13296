// The search over a medium: reads it in large chunks, forward or backward, in place where the
// reader lends its bytes (a mapping, or the buffer a read ahead filled), keeps the edge bytes
// of each chunk so that a match across a chunk boundary is found, and passes over sectors
// that cannot be read (a page of a mapping that fails is read again with pread). Runs as long
// work: it reports its progress after each chunk and stops soon after Cancel.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/progress.h"
#include "device/bulk_reader.h"
#include "search/pattern.h"

namespace dulvex::search {

enum class Direction { Forward, Backward };

struct ScanOutcome {
  enum class End {
    Found,
    NotFound,
    Cancelled,
    Vanished,  // the medium stopped answering (gone, or shorter than when the scan began)
  };
  End end = End::NotFound;
  std::uint64_t offset = 0;          // Found: the match's first byte on the medium
  std::uint64_t skippedSectors = 0;  // unreadable sectors passed over
  std::uint64_t firstSkipped = 0;    // the lowest of them, when there are any
  // Vanished: the byte where the medium stopped answering. Cancelled: where the scan stopped;
  // a forward scan searched the matches beginning before it, a backward one those from it.
  std::uint64_t stoppedAt = 0;
  Status error;  // Vanished: its last answer
};

// Sectors first .. end - 1: where a skipped sector counts. A search that goes round reads
// a sector or two of the first pass again and counts only the sectors that pass did not read.
struct SectorSpan {
  std::uint64_t first = 0, end = UINT64_MAX;
};

// 1 MiB: large enough that a read costs little beyond its copy, small enough that a copied
// chunk is still in the processor's cache when it is searched.
inline constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

// Looks for the first (Forward) or the last (Backward) match that lies wholly in bytes
// [lo, hi) of the medium. Reads go in chunks of `chunkBytes` (a multiple of 512; 0 for the
// reader's preferred size, else kChunkBytes), on multiples of it except where the range
// begins and ends inside one; a chunk that fails is read again sector by sector, and the
// sectors that still fail are skipped (no match spans them) and counted.
ScanOutcome Scan(device::BulkReader& medium, const Pattern& pattern, std::uint64_t lo,
                 std::uint64_t hi, Direction direction, WorkProgress& progress,
                 std::size_t chunkBytes = 0, const SectorSpan& counted = {});

}  // namespace dulvex::search
