#include "base/status.h"

#include <cstring>

namespace dulvex {

Cause CauseOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case EISDIR:
    case ENODEV:
    case ELOOP:
    case ENAMETOOLONG:
      return Cause::OpenFailed;
    case EACCES:
    case EPERM:
      return Cause::PermissionDenied;
    case EROFS:
      return Cause::ReadOnly;
    case EBUSY:
    case ETXTBSY:
      return Cause::Busy;
    case ENOSPC:
    case EDQUOT:
      return Cause::NoSpace;
    case ENXIO:
    case ENOMEDIUM:
      return Cause::NoMedium;
    case EIO:
      return Cause::IoError;
    default:
      return Cause::SystemError;
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

std::string Status::Describe() const {
  if (!detail.empty()) return detail;
  switch (cause) {
    case Cause::Ok:
      return "done";
    case Cause::OpenFailed:
      if (error == EISDIR || error == ENODEV) return "it is not a disk image or block device";
      if (error == 0 || CauseOfErrno(error) == Cause::OpenFailed) return "nothing is there to open";
      return "it cannot be opened: " + Status{CauseOfErrno(error), error, {}}.Describe();
    case Cause::PermissionDenied:
      return error == EPERM ? "the system does not permit it (an immutable or append-only file?)"
                            : "permission denied";
    case Cause::ReadOnly:
      return "the medium or its file system is read-only";
    case Cause::Busy:
      return "the device is in use by a mounted file system or another program";
    case Cause::NoSpace:
      return "no space left on the file system that holds it";
    case Cause::NoMedium:
      return "there is no medium in the device (removed?)";
    case Cause::PastEnd:
      return "the sector lies past the end of the medium";
    case Cause::ShortTransfer:
      return "fewer than 512 bytes were transferred";
    case Cause::IoError:
      return "input/output error";
    case Cause::SystemError:
      return std::string("the system reported: ") + std::strerror(error);
    case Cause::Changed:
      return "the sector changed since it was shown";
    case Cause::LoopAttached:
      return "another device reaches the same file";
    case Cause::JournalFailed:
      return "the write journal could not record the write";
    case Cause::Mismatch:
      return "read back at the medium, the sector differs from what was written";
    case Cause::ReadOnlyDevice:
      return "the device is set read-only (a write-protect switch, blockdev --setro or "
             "losetup -r)";
    case Cause::Locked:
      return "another window of this program, or another program, is writing to it";
    case Cause::Refused:
      return "the program refused it";
    case Cause::Cancelled:
      return "cancelled";
  }
  return "unknown failure";
}

}  // namespace dulvex
