// What became of an operation, from a sector transfer up to a command: one cause, the errno
// behind it, and words naming what failed where the cause alone would not say it. Every
// layer returns this shape; a message box shows Describe().
#pragma once

#include <cerrno>
#include <string>
#include <utility>

namespace dulvex {

enum class Cause {
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
  // Of the write path:
  Changed,         // the sector no longer holds what the caller last read there
  LoopAttached,    // another (loop) device reaches the same file
  JournalFailed,   // the write journal could not record the write first, or could not be read
  Mismatch,        // read back at the medium, the sector differs from what was written
  ReadOnlyDevice,  // the block device is set read-only (BLKROGET)
  Locked,          // another window of the program (or another program) is writing the image
  // Of the program's own checks:
  Refused,    // the program will not do it; `detail` says why
  Cancelled,  // the user stopped it
};

// The cause that stands for an errno of a failed call.
Cause CauseOfErrno(int error);

// A failure of the system in words, named by its errno: "no space left on the device
// (ENOSPC)".
std::string ErrnoText(int error);

struct Status {
  Status() = default;
  Status(Cause c, int e, std::string d = {}) : cause(c), error(e), detail(std::move(d)) {}
  Status(Cause c) : cause(c) {}  // NOLINT(google-explicit-constructor): a cause alone is a status

  Cause cause = Cause::Ok;
  int error = 0;       // errno of the failing call, 0 when none
  std::string detail;  // what failed, in words; empty when the cause says enough
  bool ok() const { return cause == Cause::Ok; }
  // A short reason for a message box: the detail when there is one, else the cause's words,
  // for example "past the end of the medium".
  std::string Describe() const;

  // A failure of a call, its errno taken from errno.
  static Status FromErrno(std::string detail = {}) {
    const int e = errno;
    return {CauseOfErrno(e), e, std::move(detail)};
  }
  // A refusal of the program's own, with its reason.
  static Status Refuse(std::string why) { return {Cause::Refused, 0, std::move(why)}; }
};

}  // namespace dulvex
