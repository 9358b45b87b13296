#include "support/test_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace dulvex::testing {

namespace {

// Device and inode of an image; the device number of a block device.
void IdOf(const struct stat& st, std::uint64_t* dev, std::uint64_t* ino) {
  *dev = S_ISBLK(st.st_mode) ? st.st_rdev : st.st_dev;
  *ino = S_ISBLK(st.st_mode) ? 0 : st.st_ino;
}

}  // namespace

bool TestIo::FailReads(const std::filesystem::path& file, std::int64_t first, std::int64_t last) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || first > last) return false;
  Fault f{0, 0, first, last};
  IdOf(st, &f.dev, &f.ino);
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.push_back(f);
  return true;
}

void TestIo::ClearFaults() {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.clear();
}

ssize_t TestIo::Pread(int fd, void* buf, std::size_t length, off_t offset) {
  struct stat st {};
  if (length > 0 && ::fstat(fd, &st) == 0) {
    std::uint64_t dev = 0, ino = 0;
    IdOf(st, &dev, &ino);
    const auto firstSector = static_cast<std::int64_t>(offset / 512);
    const auto lastSector =
        static_cast<std::int64_t>((offset + static_cast<off_t>(length) - 1) / 512);
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Fault& f : faults_) {
      if (f.dev == dev && f.ino == ino && f.first <= lastSector && firstSector <= f.last) {
        errno = EIO;
        return -1;
      }
    }
  }
  return MediumIo::Pread(fd, buf, length, offset);
}

ssize_t TestIo::Pwrite(int fd, const void* buf, std::size_t length, off_t offset) {
  ++writes;
  if (beforeWrite) beforeWrite();
  return MediumIo::Pwrite(fd, buf, length, offset);
}

int TestIo::Fdatasync(int fd) {
  ++flushes;
  const int rc = MediumIo::Fdatasync(fd);
  if (afterFlush) afterFlush();
  if (rc == 0 && flushError != 0) {
    errno = flushError;
    return -1;
  }
  return rc;
}

}  // namespace dulvex::testing
