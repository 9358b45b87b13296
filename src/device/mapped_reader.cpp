#include "device/mapped_reader.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>
#include <utility>

#include "device/posix_io.h"

namespace dulvex::device {

namespace {

#ifndef MADV_POPULATE_READ
#define MADV_POPULATE_READ 22  // Linux 5.14; older kernels refuse it, which costs nothing
#endif

std::uint64_t PageSize() {
  static const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  return page;
}

}  // namespace

MappedReader::MappedReader(MediumReader plain, std::size_t window)
    : plain_(std::move(plain)), window_(std::max<std::size_t>(window, PageSize())) {}

MappedReader::~MappedReader() {
  if (helper_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    posted_.notify_one();
    helper_.join();
  }
  if (map_ != nullptr) ::munmap(map_, mapLen_);
}

void MappedReader::Post(const Job& job) {
  if (!helper_.joinable() && !noHelper_) {
    try {
      helper_ = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
      noHelper_ = true;  // no thread to be had: the caller's own reads fault the pages in
    }
  }
  if (noHelper_) {
    if (job.unmap) ::munmap(job.at, job.length);
    return;
  }
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(job);
  }
  posted_.notify_one();
}

// Runs the jobs in order, so a window is unmapped only after the mapping of its pages that
// was asked for before; until stopped, then the unmapping still due is done.
void MappedReader::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    posted_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (jobs_.empty()) return;
    const Job job = jobs_.front();
    jobs_.pop_front();
    const bool current = job.window == generation_;
    if (stopping_ && !job.unmap) continue;
    lock.unlock();
    if (job.unmap) {
      ::munmap(job.at, job.length);
    } else if (current) {
      // A page the medium cannot deliver fails the call (no signal): the caller's own read
      // of it meets the failure under its guard.
      ::madvise(job.at, job.length, MADV_POPULATE_READ);
    }
    lock.lock();
  }
}

Borrowed MappedReader::Borrow(std::uint64_t offset, std::size_t length) {
  if (mapFails_ || length == 0 || offset >= size() || length > size() - offset) return {};
  // A file cut short keeps the rest of its last page as zeros in a mapping, where pread
  // tells that the medium ended: a stretch the medium no longer holds is not lent.
  const long long now = MediumSize(plain_.fd());
  if (now < 0 || static_cast<std::uint64_t>(now) < offset + length) return {};
  if (map_ == nullptr || offset < mapLo_ || offset + length > mapLo_ + mapLen_) {
    // The old window is unmapped by the helper, while the caller reads on.
    if (map_ != nullptr) {
      {
        std::lock_guard lock(mutex_);
        ++generation_;
      }
      Post({true, map_, mapLen_, 0});
      map_ = nullptr;
    }
    // A window on a window boundary, or from the page of `offset` when the stretch would
    // cross one; never past the end of the medium.
    const std::uint64_t page = PageSize();
    std::uint64_t lo = offset / window_ * window_;
    if (offset + length > lo + window_) lo = offset / page * page;
    const std::uint64_t hi =
        std::min(size(), std::max<std::uint64_t>(lo + window_, offset + length));
    void* p = ::mmap(nullptr, static_cast<std::size_t>(hi - lo), PROT_READ, MAP_SHARED, plain_.fd(),
                     static_cast<off_t>(lo));
    if (p == MAP_FAILED) {
      mapFails_ = true;  // a device without mmap, or no address space left: pread it is
      return {};
    }
    map_ = static_cast<std::uint8_t*>(p), mapLo_ = lo, mapLen_ = static_cast<std::size_t>(hi - lo);
    readyLo_ = readyHi_ = offset;
    ::madvise(map_, mapLen_, MADV_SEQUENTIAL);
    ::madvise(map_, mapLen_, MADV_HUGEPAGE);  // refused on most file systems: no matter
  }
  // The pages fault in as the scan reads them, the file system's large folios and the
  // sequential read-ahead keeping the faults few. (Faulting a stretch in beforehand with
  // MADV_POPULATE_READ costs more than the scan itself.)
  const std::uint8_t* at = map_ + (offset - mapLo_);
  return {at, true};
}

void MappedReader::WillBorrow(std::uint64_t offset, std::size_t length) {
  if (map_ == nullptr || length == 0 || offset < mapLo_ || offset + length > mapLo_ + mapLen_)
    return;
  const std::uint64_t page = PageSize(), end = mapLo_ + mapLen_;
  std::uint64_t lo, hi;
  if (offset >= readyLo_) {  // forward: from the end of what is ready, up to kAhead past
    lo = std::max(offset, readyHi_);
    hi = std::min(end, offset + length + kAhead);
    readyHi_ = std::max(readyHi_, hi);
  } else {  // backward
    hi = std::min(offset + length, readyLo_);
    lo = std::max(mapLo_, offset > kAhead ? offset - kAhead : 0);
    readyLo_ = std::min(readyLo_, lo);
  }
  lo = lo / page * page;
  if (lo >= hi) return;
  std::uint64_t window;
  {
    std::lock_guard lock(mutex_);
    window = generation_;
  }
  Post({false, map_ + (lo - mapLo_), static_cast<std::size_t>(hi - lo), window});
}

}  // namespace dulvex::device
