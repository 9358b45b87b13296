// The one way a sector reaches a medium. In order:
//   1. the medium is opened read-write and held for the whole sequence: a block device
//      exclusively (so a mounted one, or one another program holds, is refused), an image
//      file under an advisory lock (so a second window of the program waits its turn);
//   2. a device set read-only is refused, and so is a medium whose bytes another device
//      reaches too: a loop device over the image, or, for a loop device, another loop device
//      over its file (a write through one goes behind the cache and any file system of the
//      other);
//   3. the sector must lie inside the medium, and must hold, read at the medium, what the
//      caller last read there (another medium, another program's write or a removal shows
//      as a change);
//   4. the write log (the journal) records the write durably, or nothing is written;
//   5. the sector is read again, as late as can be: changed since step 3, it is not written;
//   6. the sector is written and flushed, then read back past the page cache and compared;
//   7. the log learns how the write ended: written, not written, failed (the medium kept
//      other bytes) or unknown (it could not be told).
// Each failure comes back as a value with its cause; nothing else in the program writes.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "device/medium_identity.h"
#include "device/medium_io.h"
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
  const std::string& target;  // DescribeTarget(): what the letter really reaches
  std::int64_t sector;
  const Sector& before;  // what the medium held, read at the medium just now
  const Sector& after;   // what is to be written
};

// What became of the sector once the log held the write's record.
enum class Outcome {
  NotWritten,  // nothing reached the medium
  Written,     // the medium holds the bytes, read back and compared
  Failed,      // read back, the medium holds other bytes than were written
  Unknown,     // the bytes may or may not have reached the medium: it could not be told
};

struct WriteResult : Status {
  // LoopAttached: the other devices that reach the same file, and that file's name.
  std::vector<DeviceUser> others;
  std::string backingFile;
  bool throughLoop = false;  // the letter leads to a loop device (not to the image itself)
  // Busy: where the device is mounted and what holds it, when that can be told.
  DeviceUser users;
  int differing = 0;        // Changed, Mismatch: bytes that differ
  int firstDiffering = -1;  // ... and the offset of the first of them
  ReadBack readBack = ReadBack::None;
  bool begun = false;  // the log holds the write's record
  Outcome outcome = Outcome::NotWritten;
  bool lateChange = false;  // Changed, found by the read after the journal's record
  bool logEnded = true;     // false when the log could not record the end of the write
};

// The journal as the write path sees it.
class WriteLog {
 public:
  virtual ~WriteLog() = default;
  // Records the write as pending, durably, before anything reaches the medium. When it
  // cannot, the write is refused with the log's words.
  virtual Status Begin(const PendingWrite& write) = 0;
  // Records how the write ended (after the check at the medium). False when it could not.
  virtual bool End(const WriteResult& result) = 0;
};

// Writes `data` over sector `sector` of `file` when the sector holds `expected` at the medium.
WriteResult WriteSectorChecked(const std::filesystem::path& file, std::int64_t sector,
                               const Sector& expected, const Sector& data, WriteLog& log,
                               MediumIo& io = SystemIo());

// Several sectors written as one step (a repair): the medium is opened, held and guarded once
// for all of them, every sector must hold what it is expected to hold before anything is
// recorded, and the log records the whole group durably before the first sector is written.
struct GroupSector {
  std::int64_t sector = 0;
  Sector expected{}, data{};
};

// The journal as a group's write path sees it.
class GroupWriteLog {
 public:
  virtual ~GroupWriteLog() = default;
  // Records every write of the group as pending, durably and all at once. When it cannot,
  // nothing is written.
  virtual Status Begin(const std::vector<PendingWrite>& writes) = 0;
  // How write `index` ended. False when it could not be recorded.
  virtual bool End(std::size_t index, const WriteResult& result) = 0;
  // Write `index` was never tried: the group stopped at an earlier one (`stop`).
  virtual bool Skip(std::size_t index, std::int64_t stopSector, const WriteResult& stop) = 0;
};

struct GroupWriteResult {
  WriteResult stop;             // ok when every sector was written; else the first failure
  std::int64_t stopSector = 0;  // ... and the sector it concerns
  std::size_t written = 0;      // sectors written and checked, in order from the first
  bool begun = false;           // the log holds the group
};

// Writes the sectors in the order given, stopping at the first that fails.
GroupWriteResult WriteSectorGroupChecked(const std::filesystem::path& file,
                                         const std::vector<GroupSector>& sectors,
                                         GroupWriteLog& log, MediumIo& io = SystemIo());

}  // namespace dulvex::device
