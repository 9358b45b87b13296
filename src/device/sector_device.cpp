#include "device/sector_device.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

namespace dulvex::device {

namespace {

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

 private:
  int fd_;
};

// Opens a regular file or a block device; anything else behind a drive letter (a folder, a
// pipe, a terminal) counts as a device that cannot be opened. The open does not wait: a pipe
// with no writer would otherwise hang the window.
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

bool OffsetOf(std::int64_t sector, off_t* offset) {
  if (sector < 0 || sector > std::numeric_limits<off_t>::max() / 512 - 1) return false;
  *offset = static_cast<off_t>(sector) * 512;
  return true;
}

// Size in bytes of a regular file or block device, or -1 when unknown.
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
