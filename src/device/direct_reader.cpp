#include "device/direct_reader.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "device/posix_io.h"

namespace dulvex::device {

DirectReader::DirectReader(MediumReader plain, int direct)
    : plain_(std::move(plain)), direct_(direct) {
  // A block device reads in its logical blocks; a file's direct reads are safe on pages.
  struct stat st {};
  int block = 0;
  if (::fstat(direct_, &st) == 0 && S_ISBLK(st.st_mode) &&
      ::ioctl(direct_, BLKSSZGET, &block) == 0 && block > 0)
    align_ = static_cast<std::size_t>(block);
  align_ = std::max<std::size_t>(align_, 512);
}

DirectReader::~DirectReader() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
  if (direct_ >= 0) ::close(direct_);
}

std::unique_ptr<DirectReader> DirectReader::Open(const std::filesystem::path& file, Status* why) {
  MediumReader plain;
  if (Status r = plain.Open(file); !r.ok()) return *why = r, nullptr;
  const int direct = OpenMedium(file.c_str(), O_RDONLY | O_DIRECT);
  if (direct < 0) return *why = Status::FromErrno(), nullptr;
  return std::make_unique<DirectReader>(std::move(plain), direct);
}

void DirectReader::Fill(Buffer& b, std::uint64_t offset, std::size_t length) {
  const std::uint64_t lo = offset / align_ * align_;
  const std::uint64_t hi = (offset + length + align_ - 1) / align_ * align_;
  const auto span = static_cast<std::size_t>(hi - lo);
  b.offset = offset, b.length = length, b.skip = static_cast<std::size_t>(offset - lo),
  b.ok = false;
  if (b.capacity < span) {
    void* p = std::aligned_alloc(std::max<std::size_t>(align_, 4096), (span + 4095) / 4096 * 4096);
    if (p == nullptr) return;
    b.bytes = {static_cast<std::uint8_t*>(p), std::free};
    b.capacity = span;
  }
  // Past the end of a file the read comes back short; only the requested part must arrive.
  const ssize_t n = PreadAll(SystemIo(), direct_, b.bytes.get(), span, static_cast<off_t>(lo));
  if (n < 0 && errno == EINVAL) refused_ = true;
  b.ok = n >= 0 && static_cast<std::size_t>(n) >= b.skip + length;
}

void DirectReader::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !jobDone_; });
    if (stopping_) return;
    Buffer& b = buffers_[job_];
    const std::uint64_t offset = b.offset;
    const std::size_t length = b.length;
    lock.unlock();
    Fill(b, offset, length);
    lock.lock();
    jobDone_ = true;
    changed_.notify_all();
  }
}

Borrowed DirectReader::Borrow(std::uint64_t offset, std::size_t length) {
  if (length == 0 || offset >= size() || length > size() - offset) return {};
  int got = -1;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return jobDone_; });  // the buffer it fills may be wanted
    if (job_ >= 0 && buffers_[job_].offset == offset && buffers_[job_].length == length) got = job_;
    job_ = -1;
  }
  if (refused_) return {};
  if (got < 0) {
    got = lent_ == 0 ? 1 : 0;
    Fill(buffers_[got], offset, length);
  }
  lent_ = got;
  const Buffer& b = buffers_[got];
  // Bytes read ahead before the medium shrank are not lent: Read() tells where it ended.
  const long long now = MediumSize(plain_.fd());
  if (!b.ok || now < 0 || static_cast<std::uint64_t>(now) < offset + length) return {};
  return {b.bytes.get() + b.skip, false};
}

void DirectReader::WillBorrow(std::uint64_t offset, std::size_t length) {
  if (refused_ || length == 0 || offset >= size() || length > size() - offset) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!jobDone_) return;  // one read in flight at a time
  if (!worker_.joinable()) worker_ = std::thread([this] { Work(); });
  job_ = lent_ == 0 ? 1 : 0;
  buffers_[job_].offset = offset, buffers_[job_].length = length;
  jobDone_ = false;
  changed_.notify_all();
}

}  // namespace dulvex::device
