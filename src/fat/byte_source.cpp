#include "fat/byte_source.h"

#include <algorithm>

namespace dulvex::fat {

device::IoResult MemorySource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (offset > bytes_.size() || out.size() > bytes_.size() - offset)
    return {device::IoStatus::PastEnd, 0};
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
  return {};
}

device::IoResult MediumSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  std::size_t got = 0;
  device::IoResult r = reader_.Read(offset, out.data(), out.size(), &got);
  if (r.ok() && got < out.size()) return {device::IoStatus::PastEnd, 0};
  return r;
}

}  // namespace dulvex::fat
