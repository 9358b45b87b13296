#include "device/sector_device.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "device/fault_injection.h"
#include "device/posix_io.h"

namespace dulvex::device {

namespace {

bool OffsetOf(std::int64_t sector, off_t* offset) {
  if (sector < 0 || sector > std::numeric_limits<off_t>::max() / 512 - 1) return false;
  *offset = static_cast<off_t>(sector) * 512;
  return true;
}

}  // namespace

std::string IoResult::Describe() const {
  std::string reason;
  switch (status) {
    case IoStatus::Ok:
      return "done";
    case IoStatus::OpenFailed:
      reason = "the device could not be opened";
      break;
    case IoStatus::Busy:
      reason = "the device is in use by a mounted file system or another program";
      break;
    case IoStatus::PastEnd:
      reason = "the sector lies past the end of the medium";
      break;
    case IoStatus::ShortTransfer:
      reason = "fewer than 512 bytes were transferred";
      break;
    case IoStatus::IoError:
      reason = "input/output error";
      break;
    case IoStatus::SyncFailed:
      reason = "the data could not be flushed to the medium";
      break;
  }
  if (error != 0) reason += std::string(" (") + std::strerror(error) + ")";
  return reason;
}

std::filesystem::path DriveFile(const std::filesystem::path& drivesDir, std::string_view device) {
  if (device.size() != 2 || device[1] != ':' || device[0] < 'A' || device[0] > 'R') return {};
  return drivesDir / std::string(1, device[0]);
}

IoResult ReadSectorAt(const std::filesystem::path& file, std::int64_t sector, std::uint8_t* out) {
  off_t offset = 0;
  if (!OffsetOf(sector, &offset)) return {IoStatus::PastEnd, 0};
  if (file.empty()) return {IoStatus::OpenFailed, ENOENT};
  Fd fd(OpenMedium(file.c_str(), O_RDONLY));
  if (fd.get() < 0) return {IoStatus::OpenFailed, errno};
  struct stat st {};
  if (::fstat(fd.get(), &st) == 0) {
    const MediumId id = MediumIdOf(st);
    if (ReadFaultAt(id.dev, id.ino, static_cast<std::uint64_t>(offset), kSectorSize))
      return {IoStatus::IoError, EIO};
  }
  std::uint8_t data[kSectorSize];
  std::size_t done = 0;
  while (done < kSectorSize) {
    ssize_t n =
        ::pread(fd.get(), data + done, kSectorSize - done, offset + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return {IoStatus::IoError, errno};
    }
    if (n == 0) return {done == 0 ? IoStatus::PastEnd : IoStatus::ShortTransfer, 0};
    done += static_cast<std::size_t>(n);
  }
  std::memcpy(out, data, kSectorSize);
  return {};
}

IoResult WriteSectorAt(const std::filesystem::path& file, std::int64_t sector,
                       const std::uint8_t* in) {
  off_t offset = 0;
  if (!OffsetOf(sector, &offset)) return {IoStatus::PastEnd, 0};
  if (file.empty()) return {IoStatus::OpenFailed, ENOENT};
  struct stat st {};
  bool block = ::stat(file.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
  // A block device is opened exclusively: the kernel refuses while a mounted file system
  // or another exclusive user holds it, so a write never goes behind a file system's back.
  Fd fd(OpenMedium(file.c_str(), O_RDWR | (block ? O_EXCL : 0)));
  if (fd.get() < 0) {
    return {errno == EBUSY ? IoStatus::Busy : IoStatus::OpenFailed, errno};
  }
  long long size = MediumSize(fd.get());
  if (size < 0) return {IoStatus::IoError, errno};
  if (offset + static_cast<long long>(kSectorSize) > size) return {IoStatus::PastEnd, 0};
  std::size_t done = 0;
  while (done < kSectorSize) {
    ssize_t n =
        ::pwrite(fd.get(), in + done, kSectorSize - done, offset + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return {IoStatus::IoError, errno};
    }
    if (n == 0) return {IoStatus::ShortTransfer, 0};
    done += static_cast<std::size_t>(n);
  }
  int rc;
  do {
    rc = ::fsync(fd.get());
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return {IoStatus::SyncFailed, errno};
  if (!fd.Close()) return {IoStatus::SyncFailed, errno};
  return {};
}

}  // namespace dulvex::device
