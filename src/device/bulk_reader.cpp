#include "device/bulk_reader.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "device/direct_reader.h"
#include "device/mapped_reader.h"
#include "device/medium_reader.h"

namespace dulvex::device {

double CachedShare(int fd, std::uint64_t size, int samples) {
  const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  if (size == 0 || samples <= 0) return -1;
  void* map = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_SHARED, fd, 0);
  if (map == MAP_FAILED) return -1;
  const std::uint64_t pages = (size + page - 1) / page;
  const auto n =
      static_cast<std::uint64_t>(samples) < pages ? static_cast<std::uint64_t>(samples) : pages;
  std::uint64_t cached = 0, asked = 0;
  for (std::uint64_t i = 0; i < n; ++i) {
    unsigned char in = 0;
    const std::uint64_t at = i * pages / n * page;
    if (::mincore(static_cast<std::uint8_t*>(map) + at, static_cast<std::size_t>(page), &in) != 0)
      continue;
    ++asked;
    cached += in & 1;
  }
  ::munmap(map, static_cast<std::size_t>(size));
  return asked == 0 ? -1 : static_cast<double>(cached) / static_cast<double>(asked);
}

std::unique_ptr<BulkReader> SystemOpener::Open(const std::filesystem::path& file, Status* why) {
  ReadWay way = way_;
  if (way == ReadWay::Direct || way == ReadWay::Auto) {
    MediumReader probe;
    if (Status r = probe.Open(file); !r.ok()) return *why = r, nullptr;
    // Cold pages go straight from the device; cached ones are read in place.
    if (way == ReadWay::Auto)
      way = CachedShare(probe.fd(), probe.size()) < 0.5 && probe.size() >= (std::uint64_t{8} << 20)
                ? ReadWay::Direct
                : ReadWay::Mapped;
    if (way == ReadWay::Direct) {
      Status ignored;
      if (auto direct = DirectReader::Open(file, &ignored)) return direct;
      way = ReadWay::Mapped;  // no O_DIRECT on this file system
    }
  }
  auto plain = std::make_unique<MediumReader>();
  if (Status r = plain->Open(file); !r.ok()) return *why = r, nullptr;
  if (way == ReadWay::Pread) return plain;
  return std::make_unique<MappedReader>(std::move(*plain));
}

BulkOpener& DefaultOpener() {
  static SystemOpener opener;
  return opener;
}

}  // namespace dulvex::device
