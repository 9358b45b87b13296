// The calls through which the device layer moves bytes to and from a medium. The program
// uses the system's own (SystemIo()); a test puts its own in their place to make a medium
// fail, stall or change under a write, or to stop the process at a chosen call, as damaged
// media, slow sticks, other programs and crashes do. Whoever holds the window's state names
// the one in use (AppState::io).
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace dulvex::device {

class MediumIo {
 public:
  virtual ~MediumIo() = default;
  // As pread(2), pwrite(2) and fdatasync(2): -1 with errno on failure.
  virtual ssize_t Pread(int fd, void* buf, std::size_t length, off_t offset);
  virtual ssize_t Pwrite(int fd, const void* buf, std::size_t length, off_t offset);
  virtual int Fdatasync(int fd);
};

// The system's calls.
MediumIo& SystemIo();

}  // namespace dulvex::device
