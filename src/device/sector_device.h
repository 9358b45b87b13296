// Whole-sector reads on an image file or a block device. Each call opens the file, reads one
// 512-byte sector at byte N x 512 with positioned I/O, and closes it again; no handle stays
// open. Failures come back as values. Writes go through device/write_path.h alone.
#pragma once

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "device/medium_io.h"

namespace dulvex::device {

inline constexpr std::size_t kSectorSize = 512;

// What became of a transfer. Each failure names one cause; `IoResult::error` keeps the errno
// behind it.
enum class IoStatus {
  Ok,
  OpenFailed,        // nothing behind the name, or not an image or block device
  PermissionDenied,  // the user may not open the file or device this way
  ReadOnly,          // the medium or its file system is read-only
  Busy,              // a block device held by a mounted file system or another program
  NoSpace,           // no space left on the file system that holds the image
  NoMedium,          // the device has no medium (removed)
  PastEnd,           // the sector lies (wholly or partly) past the end of the medium
  ShortTransfer,     // fewer than 512 bytes moved
  IoError,           // the medium reported an input/output error
  SystemError,       // another error of the system, named by its errno text
  // Only from the write path (device/write_path.h):
  Changed,         // the sector no longer holds what the caller last read there
  LoopAttached,    // another (loop) device reaches the same file
  JournalFailed,   // the write journal could not record the write first
  Mismatch,        // read back at the medium, the sector differs from what was written
  ReadOnlyDevice,  // the block device is set read-only (BLKROGET)
  Locked,          // another window of the program (or another program) is writing the image
};

// The status that stands for an errno of a failed call.
IoStatus StatusOfErrno(int error);

// A failure of the system in words, named by its errno: "no space left on the device
// (ENOSPC)".
std::string ErrnoText(int error);

struct IoResult {
  IoStatus status = IoStatus::Ok;
  int error = 0;  // errno of the failing call, 0 when none
  bool ok() const { return status == IoStatus::Ok; }
  // A short reason for a message box, for example "past the end of the medium".
  std::string Describe() const;
  // A failure of a call, its errno taken from errno.
  static IoResult FromErrno() { return {StatusOfErrno(errno), errno}; }
};

// The file behind a device name: "A:" ... "R:" name drivesDir/A ... drivesDir/R. Any other
// name (an empty one included) gives an empty path, which fails to open.
std::filesystem::path DriveFile(const std::filesystem::path& drivesDir, std::string_view device);

// Reads sector `sector` (>= 0) into out[0..511] through `io`. Opens read-only; any failure to
// open gives OpenFailed, its errno telling why. On failure `out` is left as it was.
IoResult ReadSectorAt(const std::filesystem::path& file, std::int64_t sector, std::uint8_t* out,
                      MediumIo& io = SystemIo());

}  // namespace dulvex::device
