#include "device/medium_io.h"

#include <unistd.h>

namespace dulvex::device {

ssize_t MediumIo::Pread(int fd, void* buf, std::size_t length, off_t offset) {
  return ::pread(fd, buf, length, offset);
}

ssize_t MediumIo::Pwrite(int fd, const void* buf, std::size_t length, off_t offset) {
  return ::pwrite(fd, buf, length, offset);
}

int MediumIo::Fdatasync(int fd) {
  return ::fdatasync(fd);
}

MediumIo& SystemIo() {
  static MediumIo io;
  return io;
}

}  // namespace dulvex::device
