#include "device/posix_io.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <limits>

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
  // A loop device with no file attached, a card reader with no card: the node opens, but
  // there is nothing behind it.
  std::uint64_t bytes = 1;
  if (S_ISBLK(st.st_mode) && ::ioctl(fd, BLKGETSIZE64, &bytes) == 0 && bytes == 0) {
    ::close(fd);
    errno = ENOMEDIUM;
    return -1;
  }
  int fl = ::fcntl(fd, F_GETFL);
  if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
  return fd;
}

namespace {

template <typename Call>
ssize_t TransferAll(std::size_t length, Call call, std::size_t* moved = nullptr) {
  std::size_t done = 0;
  ssize_t n = 0;
  while (done < length) {
    n = call(done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (moved != nullptr) *moved = done;
  return n < 0 ? -1 : static_cast<ssize_t>(done);
}

}  // namespace

ssize_t PreadAll(MediumIo& io, int fd, void* buf, std::size_t length, off_t offset) {
  return TransferAll(length, [&](std::size_t done) {
    return io.Pread(fd, static_cast<char*>(buf) + done, length - done,
                    offset + static_cast<off_t>(done));
  });
}

ssize_t PwriteAll(MediumIo& io, int fd, const void* buf, std::size_t length, off_t offset,
                  std::size_t* moved) {
  return TransferAll(
      length,
      [&](std::size_t done) {
        return io.Pwrite(fd, static_cast<const char*>(buf) + done, length - done,
                         offset + static_cast<off_t>(done));
      },
      moved);
}

bool SectorOffset(std::int64_t sector, off_t* offset) {
  if (sector < 0 || sector > std::numeric_limits<off_t>::max() / 512 - 1) return false;
  *offset = static_cast<off_t>(sector) * 512;
  return true;
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
