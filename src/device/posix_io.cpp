#include "device/posix_io.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace dulvex::device {

int OpenMedium(const char* path, int flags) {
  int fd;
  do {
    fd = ::open(path, flags | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) {
    int error = S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
    ::close(fd);
    errno = error;
    return -1;
  }
  int fl = ::fcntl(fd, F_GETFL);
  if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
  return fd;
}

long long MediumSize(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return -1;
  if (S_ISBLK(st.st_mode)) {
    std::uint64_t bytes = 0;
    if (::ioctl(fd, BLKGETSIZE64, &bytes) != 0) return -1;
    return static_cast<long long>(bytes);
  }
  if (S_ISREG(st.st_mode)) return st.st_size;
  return -1;
}

MediumId MediumIdOf(const struct stat& st) {
  if (S_ISBLK(st.st_mode)) return {static_cast<std::uint64_t>(st.st_rdev), 0};
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace dulvex::device
