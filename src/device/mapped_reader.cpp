#include "device/mapped_reader.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "device/posix_io.h"

namespace dulvex::device {

namespace {

std::uint64_t PageSize() {
  static const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  return page;
}

}  // namespace

MappedReader::MappedReader(MediumReader plain, std::size_t window)
    : plain_(std::move(plain)), window_(std::max<std::size_t>(window, PageSize())) {}

MappedReader::~MappedReader() {
  if (map_ != nullptr) ::munmap(map_, mapLen_);
}

Borrowed MappedReader::Borrow(std::uint64_t offset, std::size_t length) {
  if (mapFails_ || length == 0 || offset >= size() || length > size() - offset) return {};
  // A file cut short keeps the rest of its last page as zeros in a mapping, where pread
  // tells that the medium ended: a stretch the medium no longer holds is not lent.
  const long long now = MediumSize(plain_.fd());
  if (now < 0 || static_cast<std::uint64_t>(now) < offset + length) return {};
  if (map_ == nullptr || offset < mapLo_ || offset + length > mapLo_ + mapLen_) {
    if (map_ != nullptr) ::munmap(map_, mapLen_), map_ = nullptr;
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
    ::madvise(map_, mapLen_, MADV_SEQUENTIAL);
    ::madvise(map_, mapLen_, MADV_HUGEPAGE);  // refused on most file systems: no matter
  }
  // The pages fault in as the scan reads them, the file system's large folios and the
  // sequential read-ahead keeping the faults few. (Faulting a stretch in beforehand with
  // MADV_POPULATE_READ costs more than the scan itself.)
  const std::uint8_t* at = map_ + (offset - mapLo_);
  return {at, true};
}

}  // namespace dulvex::device
