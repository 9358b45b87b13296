// The device layer's own helpers over the POSIX calls: a descriptor that closes itself,
// opening a medium, its size and its identity. Not for use outside src/device.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include "device/medium_io.h"

namespace dulvex::device {

// Closes the descriptor when the transfer is over.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now and reports whether the close succeeded.
  bool Close() {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }
  // Gives the descriptor away; it is no longer closed here.
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// Opens a regular file or a block device; anything else behind a drive letter (a folder, a
// pipe, a terminal) counts as a device that cannot be opened (errno EISDIR or ENODEV). The
// open does not wait: a pipe with no writer would otherwise hang the window. A block device
// of size 0 (a detached loop device, an empty card reader) fails with ENOMEDIUM.
int OpenMedium(const char* path, int flags);

// Reads or writes `length` bytes at `offset` through `io`, going on after interruptions and
// partial transfers. Returns the bytes moved (fewer only at the end of the medium), or -1
// with errno; *moved (when given) tells how many had moved before a failure.
ssize_t PreadAll(MediumIo& io, int fd, void* buf, std::size_t length, off_t offset);
ssize_t PwriteAll(MediumIo& io, int fd, const void* buf, std::size_t length, off_t offset,
                  std::size_t* moved = nullptr);

// Byte offset of a sector: false for a negative number or one past what an offset can hold.
bool SectorOffset(std::int64_t sector, off_t* offset);

// Size in bytes of a regular file or block device, or -1 when unknown.
long long MediumSize(int fd);

// What identifies a medium whatever name reaches it: device and inode of a regular file, the
// device number of a block device (inode 0).
struct MediumId {
  std::uint64_t dev = 0, ino = 0;
};
MediumId MediumIdOf(const struct stat& st);

}  // namespace dulvex::device
