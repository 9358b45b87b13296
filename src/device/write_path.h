// The one way a sector reaches a medium. In order:
//   1. the image must not be attached to a loop device (a write to the file would go behind
//      the loop device's cache and any file system mounted on it);
//   2. the medium is opened read-write (a block device exclusively, so a mounted one is
//      refused) and the sector must lie inside it;
//   3. the sector is read at the medium and must hold, byte for byte, what the caller last
//      read there (another medium, another program's write or a removal shows as a change);
//   4. the write log (the journal) records the write durably, or nothing is written;
//   5. the sector is written and flushed, then read back past the page cache and compared;
//   6. the log learns how the write ended.
// Each failure comes back as a value with its cause; nothing else in the program writes.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "device/medium_identity.h"
#include "device/sector_device.h"

namespace dulvex::device {

using Sector = std::array<std::uint8_t, kSectorSize>;

// How a sector was read at the medium: past the page cache with O_DIRECT, or, where the file
// system refuses O_DIRECT, after dropping the cached pages (POSIX_FADV_DONTNEED).
enum class ReadBack { None, Direct, CacheDropped };
const char* ReadBackName(ReadBack how);

// A write about to be made, as the log records it.
struct PendingWrite {
  const std::filesystem::path& file;
  const MediumIdentity& medium;
  std::int64_t sector;
  const Sector& before;  // what the medium held, read at the medium just now
  const Sector& after;   // what is to be written
};

struct WriteResult : IoResult {
  std::vector<std::string> loops;  // LoopAttached: the loop devices over the image
  std::string journalProblem;      // JournalFailed: the journal's words, naming its file
  int differing = 0;               // Changed, Mismatch: bytes that differ
  int firstDiffering = -1;         // ... and the offset of the first of them
  ReadBack readBack = ReadBack::None;
  bool begun = false;    // the log holds the write's record: the medium may have changed
  bool logEnded = true;  // false when the log could not record the end of the write
};

// The journal as the write path sees it.
class WriteLog {
 public:
  virtual ~WriteLog() = default;
  // Records the write as pending, durably, before anything reaches the medium. Returns an
  // empty text when done; otherwise what went wrong, and the write is refused.
  virtual std::string Begin(const PendingWrite& write) = 0;
  // Records how the write ended (after the check at the medium). False when it could not.
  virtual bool End(const WriteResult& result) = 0;
};

// Writes `data` over sector `sector` of `file` when the sector holds `expected` at the medium.
WriteResult WriteSectorChecked(const std::filesystem::path& file, std::int64_t sector,
                               const Sector& expected, const Sector& data, WriteLog& log);

// Test only: called after the write was flushed and before it is read back, so a test can
// change the medium behind the page cache. Never set in the program.
void SetAfterFlushHookForTest(std::function<void()> hook);

}  // namespace dulvex::device
