#include "fat/byte_source.h"

#include <algorithm>

namespace dulvex::fat {

Status MemorySource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (offset > bytes_.size() || out.size() > bytes_.size() - offset) return {Cause::PastEnd, 0};
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
  return {};
}

Status MediumSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  std::size_t got = 0;
  Status r = reader_.Read(offset, out.data(), out.size(), &got);
  if (r.ok() && got < out.size()) return {Cause::PastEnd, 0};
  return r;
}

}  // namespace dulvex::fat
