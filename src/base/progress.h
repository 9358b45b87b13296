// What long work (a search over the whole medium, a walk of the directory tree, a file's
// export) sees of whoever runs it: a place to report how far it has come, and a cancel flag.
// The work itself is Qt-free and knows nothing of the window.
#pragma once

#include <cstdint>

namespace dulvex {

// Both calls are cheap and safe from a worker thread.
class WorkProgress {
 public:
  virtual ~WorkProgress() = default;
  // How far the work has come: `done` of `total` units (bytes, clusters, entries).
  virtual void Report(std::uint64_t done, std::uint64_t total) = 0;
  // True once the user asked to stop; the work returns soon after, with what it has.
  virtual bool Cancelled() const = 0;
};

// The unit the work counts in, for the progress bar's text ("512.0 of 1024.0 MB, 3100 MB/s").
// Thousandths: the work reports how far it is as thousandths of the whole ("37.5 %").
enum class WorkUnit { Bytes, Items, Thousandths };

}  // namespace dulvex
