#include "device/sector_device.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "device/posix_io.h"

namespace dulvex::device {

std::filesystem::path DriveFile(const std::filesystem::path& drivesDir, std::string_view device) {
  if (device.size() != 2 || device[1] != ':' || device[0] < 'A' || device[0] > 'R') return {};
  return drivesDir / std::string(1, device[0]);
}

Status ReadSectorAt(const std::filesystem::path& file, std::int64_t sector, std::uint8_t* out,
                    MediumIo& io) {
  off_t offset = 0;
  if (!SectorOffset(sector, &offset)) return {Cause::PastEnd, 0};
  if (file.empty()) return {Cause::OpenFailed, ENOENT};
  Fd fd(OpenMedium(file.c_str(), O_RDONLY));
  if (fd.get() < 0) return {errno == ENOMEDIUM ? Cause::NoMedium : Cause::OpenFailed, errno};
  std::uint8_t data[kSectorSize];
  const ssize_t n = PreadAll(io, fd.get(), data, kSectorSize, offset);
  if (n < 0) return Status::FromErrno();
  if (n < static_cast<ssize_t>(kSectorSize))
    return {n == 0 ? Cause::PastEnd : Cause::ShortTransfer, 0};
  std::memcpy(out, data, kSectorSize);
  return {};
}

}  // namespace dulvex::device
