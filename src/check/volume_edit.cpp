#include "check/volume_edit.h"

#include <algorithm>

#include "fat/fat_table.h"

namespace dulvex::check {

Status EditedVolume::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  Status r = medium_.ReadAt(offset, out);
  if (!r.ok() || out.empty()) return r;
  const std::uint64_t end = offset + out.size();
  const auto first = static_cast<std::int64_t>(offset / fat::kSectorBytes);
  for (auto it = edits_.lower_bound(first);
       it != edits_.end() && static_cast<std::uint64_t>(it->first) * fat::kSectorBytes < end;
       ++it) {
    const std::uint64_t at = static_cast<std::uint64_t>(it->first) * fat::kSectorBytes;
    const std::uint64_t from = std::max(at, offset), to = std::min(at + fat::kSectorBytes, end);
    std::copy(it->second.after.begin() + static_cast<std::ptrdiff_t>(from - at),
              it->second.after.begin() + static_cast<std::ptrdiff_t>(to - at),
              out.begin() + static_cast<std::ptrdiff_t>(from - offset));
  }
  return r;
}

bool EditedVolume::ReadMedium(std::int64_t sector, SectorBytes& out) {
  if (sector < 0) return false;
  if (cacheFirst_ < 0 || sector < cacheFirst_ ||
      sector >= cacheFirst_ + static_cast<std::int64_t>(cache_.size() / fat::kSectorBytes)) {
    // Read a stretch; near the end of the medium, as much of it as there is.
    cache_.assign(kCacheSectors * fat::kSectorBytes, 0);
    std::size_t sectors = kCacheSectors;
    while (sectors > 0) {
      const std::span<std::uint8_t> part(cache_.data(), sectors * fat::kSectorBytes);
      if (medium_.ReadAt(static_cast<std::uint64_t>(sector) * fat::kSectorBytes, part).ok()) break;
      sectors = sectors > 1 ? 1 : 0;  // the stretch fails: read the sector alone
    }
    if (sectors == 0) {
      cacheFirst_ = -1;
      return false;
    }
    cache_.resize(sectors * fat::kSectorBytes);
    cacheFirst_ = sector;
  }
  const auto at = static_cast<std::size_t>(sector - cacheFirst_) * fat::kSectorBytes;
  std::copy_n(cache_.begin() + static_cast<std::ptrdiff_t>(at), fat::kSectorBytes, out.begin());
  return true;
}

bool EditedVolume::Read(std::int64_t sector, SectorBytes& out) {
  if (auto it = edits_.find(sector); it != edits_.end()) {
    out = it->second.after;
    return true;
  }
  return ReadMedium(sector, out);
}

bool EditedVolume::Write(std::int64_t sector, const SectorBytes& bytes) {
  auto it = edits_.find(sector);
  if (it == edits_.end()) {
    Edit e;
    if (!ReadMedium(sector, e.before)) return false;
    e.after = e.before;
    it = edits_.emplace(sector, e).first;
  }
  if (it->second.after != bytes) ++changes_;
  it->second.after = bytes;
  return true;
}

bool EditedVolume::ReadBytes(std::uint64_t offset, std::span<std::uint8_t> out) {
  for (std::size_t done = 0; done < out.size();) {
    const auto sector = static_cast<std::int64_t>((offset + done) / fat::kSectorBytes);
    const std::size_t at = (offset + done) % fat::kSectorBytes;
    const std::size_t n = std::min(fat::kSectorBytes - at, out.size() - done);
    SectorBytes s{};
    if (!Read(sector, s)) return false;
    std::copy_n(s.begin() + static_cast<std::ptrdiff_t>(at), n,
                out.begin() + static_cast<std::ptrdiff_t>(done));
    done += n;
  }
  return true;
}

bool EditedVolume::WriteBytes(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const auto sector = static_cast<std::int64_t>((offset + done) / fat::kSectorBytes);
    const std::size_t at = (offset + done) % fat::kSectorBytes;
    const std::size_t n = std::min(fat::kSectorBytes - at, bytes.size() - done);
    SectorBytes s{};
    if (!Read(sector, s)) return false;
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(done), n,
                s.begin() + static_cast<std::ptrdiff_t>(at));
    if (!Write(sector, s)) return false;
    done += n;
  }
  return true;
}

std::vector<SectorWrite> EditedVolume::Writes() const {
  std::vector<SectorWrite> writes;
  for (const auto& [sector, e] : edits_) {
    if (e.before != e.after) writes.push_back({sector, e.before, e.after});
  }
  return writes;
}

std::optional<std::uint32_t> FatEditor::Get(std::uint32_t n) {
  std::uint8_t b[4] = {};
  const std::uint64_t at = static_cast<std::uint64_t>(l_.FatSector(inUse_)) * fat::kSectorBytes +
                           fat::FirstByteOfEntry(l_.kind, n);
  if (!v_.ReadBytes(at, std::span(b, fat::BytesOfEntry(l_.kind)))) return std::nullopt;
  return fat::EntryValueAt(l_.kind, n, b);
}

bool FatEditor::Set(std::uint32_t n, std::uint32_t value) {
  for (unsigned k = 0; k < l_.numFats; ++k) {
    if (!l_.mirrored && k != inUse_) continue;
    std::uint8_t b[4] = {};
    const std::uint64_t at = static_cast<std::uint64_t>(l_.FatSector(k)) * fat::kSectorBytes +
                             fat::FirstByteOfEntry(l_.kind, n);
    const std::span<std::uint8_t> bytes(b, fat::BytesOfEntry(l_.kind));
    if (!v_.ReadBytes(at, bytes)) return false;
    fat::PutEntryValueAt(l_.kind, n, b, value);
    if (!v_.WriteBytes(at, bytes)) return false;
  }
  return true;
}

std::optional<std::uint32_t> FatEditor::FindFree(std::uint32_t from) {
  const std::uint32_t max = l_.MaxCluster();
  if (!l_.IsCluster(from)) from = 2;
  for (std::uint64_t i = 0; i < l_.clusterCount; ++i) {
    const auto c = static_cast<std::uint32_t>(2 + (from - 2 + i) % l_.clusterCount);
    const std::optional<std::uint32_t> v = Get(c);
    if (v && fat::Classify(l_.kind, *v, max) == fat::EntryKind::Free) return c;
  }
  return std::nullopt;
}

std::uint32_t FatEditor::EndMark() const {
  return l_.kind == fat::FatKind::Fat12   ? 0xFFF
         : l_.kind == fat::FatKind::Fat16 ? 0xFFFF
                                          : 0x0FFFFFFF;
}

}  // namespace dulvex::check
