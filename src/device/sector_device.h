// Whole-sector transfers on an image file or a block device. Each call opens the file,
// moves one 512-byte sector at byte N x 512 with positioned I/O, and closes it again; no
// handle stays open. Failures come back as values.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace dulvex::device {

inline constexpr std::size_t kSectorSize = 512;

enum class IoStatus {
  Ok,
  OpenFailed,     // the file cannot be opened (missing, no rights)
  Busy,           // a block device held by a mounted file system or another program
  PastEnd,        // the sector lies (wholly or partly) past the end of the medium
  ShortTransfer,  // fewer than 512 bytes moved
  IoError,        // the system reported an error during the transfer
  SyncFailed,     // the data could not be made durable
};

struct IoResult {
  IoStatus status = IoStatus::Ok;
  int error = 0;  // errno of the failing call, 0 when none
  bool ok() const { return status == IoStatus::Ok; }
  // A short reason for a message box, for example "past the end of the medium".
  std::string Describe() const;
};

// The file behind a device name: "A:" ... "R:" name drivesDir/A ... drivesDir/R. Any other
// name (an empty one included) gives an empty path, which fails to open.
std::filesystem::path DriveFile(const std::filesystem::path& drivesDir, std::string_view device);

// Reads sector `sector` (>= 0) into out[0..511]. Opens read-only. On failure `out` is left
// as it was.
IoResult ReadSectorAt(const std::filesystem::path& file, std::int64_t sector, std::uint8_t* out);

// Writes in[0..511] over sector `sector` (>= 0) and makes it durable before returning.
// Opens read-write (a block device exclusively, so a mounted one is refused as Busy).
// A sector past the end of the medium is refused without writing: an image never grows.
IoResult WriteSectorAt(const std::filesystem::path& file, std::int64_t sector,
                       const std::uint8_t* in);

}  // namespace dulvex::device
