#include "device/sector_device.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "device/posix_io.h"

namespace dulvex::device {

IoStatus StatusOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case EISDIR:
    case ENODEV:
    case ELOOP:
    case ENAMETOOLONG:
      return IoStatus::OpenFailed;
    case EACCES:
    case EPERM:
      return IoStatus::PermissionDenied;
    case EROFS:
      return IoStatus::ReadOnly;
    case EBUSY:
    case ETXTBSY:
      return IoStatus::Busy;
    case ENOSPC:
    case EDQUOT:
      return IoStatus::NoSpace;
    case ENXIO:
    case ENOMEDIUM:
      return IoStatus::NoMedium;
    case EIO:
      return IoStatus::IoError;
    default:
      return IoStatus::SystemError;
  }
}

std::string ErrnoText(int error) {
  std::string words;
  switch (error) {
    case ENOSPC:
      words = "no space left on the device";
      break;
    case EDQUOT:
      words = "the disk quota is used up";
      break;
    case EROFS:
      words = "its file system is read-only";
      break;
    case EACCES:
      words = "permission denied";
      break;
    case EPERM:
      words = "the system does not permit it, as for an immutable or append-only file or folder";
      break;
    case EIO:
      words = "input/output error";
      break;
    case EISDIR:
      words = "it is a folder, not a file";
      break;
    case ENOENT:
      words = "it or its folder does not exist";
      break;
    case ENOTDIR:
      words = "a part of its path is not a folder";
      break;
    case ENAMETOOLONG:
      words = "the name is too long";
      break;
    case ELOOP:
      words = "its symbolic links go round in a loop";
      break;
    default:
      words = std::strerror(error);
  }
  const char* name = ::strerrorname_np(error);
  return name == nullptr ? words : words + " (" + name + ")";
}

std::string IoResult::Describe() const {
  switch (status) {
    case IoStatus::Ok:
      return "done";
    case IoStatus::OpenFailed:
      if (error == EISDIR || error == ENODEV) return "it is not a disk image or block device";
      if (error == 0 || StatusOfErrno(error) == IoStatus::OpenFailed)
        return "nothing is there to open";
      return "it cannot be opened: " + IoResult{StatusOfErrno(error), error}.Describe();
    case IoStatus::PermissionDenied:
      return error == EPERM ? "the system does not permit it (an immutable or append-only file?)"
                            : "permission denied";
    case IoStatus::ReadOnly:
      return "the medium or its file system is read-only";
    case IoStatus::Busy:
      return "the device is in use by a mounted file system or another program";
    case IoStatus::NoSpace:
      return "no space left on the file system that holds it";
    case IoStatus::NoMedium:
      return "there is no medium in the device (removed?)";
    case IoStatus::PastEnd:
      return "the sector lies past the end of the medium";
    case IoStatus::ShortTransfer:
      return "fewer than 512 bytes were transferred";
    case IoStatus::IoError:
      return "input/output error";
    case IoStatus::SystemError:
      return std::string("the system reported: ") + std::strerror(error);
    case IoStatus::Changed:
      return "the sector changed since it was shown";
    case IoStatus::LoopAttached:
      return "another device reaches the same file";
    case IoStatus::JournalFailed:
      return "the write journal could not record the write";
    case IoStatus::Mismatch:
      return "read back at the medium, the sector differs from what was written";
    case IoStatus::ReadOnlyDevice:
      return "the device is set read-only (a write-protect switch, blockdev --setro or "
             "losetup -r)";
    case IoStatus::Locked:
      return "another window of this program, or another program, is writing to it";
  }
  return "unknown failure";
}

std::filesystem::path DriveFile(const std::filesystem::path& drivesDir, std::string_view device) {
  if (device.size() != 2 || device[1] != ':' || device[0] < 'A' || device[0] > 'R') return {};
  return drivesDir / std::string(1, device[0]);
}

IoResult ReadSectorAt(const std::filesystem::path& file, std::int64_t sector, std::uint8_t* out,
                      MediumIo& io) {
  off_t offset = 0;
  if (!SectorOffset(sector, &offset)) return {IoStatus::PastEnd, 0};
  if (file.empty()) return {IoStatus::OpenFailed, ENOENT};
  Fd fd(OpenMedium(file.c_str(), O_RDONLY));
  if (fd.get() < 0) return {errno == ENOMEDIUM ? IoStatus::NoMedium : IoStatus::OpenFailed, errno};
  std::uint8_t data[kSectorSize];
  const ssize_t n = PreadAll(io, fd.get(), data, kSectorSize, offset);
  if (n < 0) return IoResult::FromErrno();
  if (n < static_cast<ssize_t>(kSectorSize))
    return {n == 0 ? IoStatus::PastEnd : IoStatus::ShortTransfer, 0};
  std::memcpy(out, data, kSectorSize);
  return {};
}

}  // namespace dulvex::device
