// A file's bytes: which clusters hold them (its chain, or for a deleted entry the
// consecutive clusters from its first one, the usual recovery assumption), and copying
// exactly its size from the volume to a sink in large reads. Nothing is written to the
// volume.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/progress.h"
#include "base/status.h"
#include "fat/chain.h"
#include "fat/read_failure.h"

namespace dulvex::fat {

struct FileExtents {
  std::vector<Run> runs;       // the clusters to read, in order
  std::uint64_t size = 0;      // the file's length
  std::uint64_t readable = 0;  // bytes those clusters give, at most `size`
  bool assumed = false;        // a deleted entry: consecutive clusters assumed
  ChainEnd end;                // how the chain ended (not for an assumed one)
  // Why fewer bytes than the size can be read ("" when all can): the chain's end, a bad
  // cluster, no first cluster, the end of the volume.
  std::string shortfall;
};

// How a deleted file's consecutive clusters are read.
enum class Recovery {
  Consecutive,  // every cluster its size needs, whatever the FAT says of them now
  StopAtInUse,  // up to the first cluster the FAT gives as in use
};

// The extents of a file with this first cluster and size; `deleted` assumes consecutive
// clusters over the size, read as `recovery` says.
FileExtents PlanFile(ChainFollower& follower, std::uint32_t firstCluster, std::uint64_t size,
                     bool deleted, Recovery recovery = Recovery::Consecutive);

// Where the bytes go: a host file, or anything else in tests.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes all bytes, or says why it could not.
  virtual Status Write(std::span<const std::uint8_t> bytes) = 0;
};

struct CopyResult {
  std::uint64_t copied = 0;
  std::optional<ReadFailure> failure;  // the read that stopped the copy
  Status sink;                         // the sink's failure; ok when none
  bool cancelled = false;
};

// Copies the readable bytes of `file`, run by run in reads of several megabytes. Progress
// counts bytes. A failed read copies what lies before the first unreadable sector, then
// stops.
CopyResult CopyFile(ByteSource& source, const Layout& layout, const FileExtents& file,
                    ByteSink& sink, WorkProgress* progress = nullptr);

}  // namespace dulvex::fat
