// Whole-sector reads on an image file or a block device. Each call opens the file, reads one
// 512-byte sector at byte N x 512 with positioned I/O, and closes it again; no handle stays
// open. Failures come back as values. Writes go through device/write_path.h alone.
#pragma once

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/status.h"
#include "device/medium_io.h"

namespace dulvex::device {

inline constexpr std::size_t kSectorSize = 512;

// The file behind a device name: "A:" ... "R:" name drivesDir/A ... drivesDir/R. Any other
// name (an empty one included) gives an empty path, which fails to open.
std::filesystem::path DriveFile(const std::filesystem::path& drivesDir, std::string_view device);

// Reads sector `sector` (>= 0) into out[0..511] through `io`. Opens read-only; any failure to
// open gives OpenFailed, its errno telling why. On failure `out` is left as it was.
Status ReadSectorAt(const std::filesystem::path& file, std::int64_t sector, std::uint8_t* out,
                    MediumIo& io = SystemIo());

}  // namespace dulvex::device
