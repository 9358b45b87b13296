#include "fat/fat_table.h"

#include <algorithm>
#include <cstdio>

#include "base/le.h"

namespace dulvex::fat {

namespace {

// Bytes read at once while loading a FAT.
constexpr std::size_t kLoadChunk = 8u << 20;

struct Markers {
  std::uint32_t reservedFrom, bad, endFrom;
};

Markers MarkersOf(FatKind kind) {
  switch (kind) {
    case FatKind::Fat12:
      return {0xFF0, 0xFF7, 0xFF8};
    case FatKind::Fat16:
      return {0xFFF0, 0xFFF7, 0xFFF8};
    case FatKind::Fat32:
      break;
  }
  return {0x0FFFFFF0, 0x0FFFFFF7, 0x0FFFFFF8};
}

std::string Hex(std::uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "%X", v);
  return b;
}

// Entry n, 0 past the end: one test for each kind, as the FAT engine's commonest step.
inline std::uint32_t ValueOf(FatKind kind, std::span<const std::uint8_t> fat, std::uint32_t n) {
  const std::uint8_t* p = fat.data();
  switch (kind) {
    case FatKind::Fat12: {
      const std::uint64_t at = std::uint64_t{n} * 3 / 2;
      if (at + 2 > fat.size()) return 0;
      const std::uint16_t pair = Le16(p + at);
      return (n & 1) == 0 ? pair & 0xFFFu : pair >> 4u;
    }
    case FatKind::Fat16:
      return std::uint64_t{n} * 2 + 2 > fat.size() ? 0 : Le16(p + std::uint64_t{n} * 2);
    case FatKind::Fat32:
      break;
  }
  return std::uint64_t{n} * 4 + 4 > fat.size() ? 0 : Le32(p + std::uint64_t{n} * 4);
}

}  // namespace

EntryKinds::EntryKinds(FatKind kind, std::uint32_t maxCluster) {
  const Markers m = MarkersOf(kind);
  mask_ = kind == FatKind::Fat32 ? 0x0FFFFFFF : 0xFFFFFFFF;
  // A FAT12 volume of 4084 clusters numbers them up to FF5: a cluster wins over the
  // reserved range, never over the bad or end markers.
  nextMax_ = std::min(maxCluster, m.bad - 1);
  reservedFrom_ = m.reservedFrom, bad_ = m.bad, endFrom_ = m.endFrom;
}

EntryKind Classify(FatKind kind, std::uint32_t value, std::uint32_t maxCluster) {
  return EntryKinds(kind, maxCluster).Of(value);
}

std::uint32_t EntryValueAt(FatKind kind, std::uint32_t n, const std::uint8_t* first) {
  switch (kind) {
    case FatKind::Fat12: {
      const std::uint16_t pair = Le16(first);
      return n % 2 == 0 ? pair & 0xFFFu : pair >> 4u;
    }
    case FatKind::Fat16:
      return Le16(first);
    case FatKind::Fat32:
      break;
  }
  return Le32(first);
}

void PutEntryValueAt(FatKind kind, std::uint32_t n, std::uint8_t* first, std::uint32_t value) {
  switch (kind) {
    case FatKind::Fat12: {
      const std::uint16_t pair = Le16(first);
      const std::uint32_t v = value & 0xFFFu;
      PutLe16(first, static_cast<std::uint16_t>(n % 2 == 0 ? (pair & 0xF000u) | v
                                                           : (pair & 0x000Fu) | v << 4u));
      return;
    }
    case FatKind::Fat16:
      PutLe16(first, static_cast<std::uint16_t>(value));
      return;
    case FatKind::Fat32:
      break;
  }
  PutLe32(first, (Le32(first) & 0xF0000000u) | (value & 0x0FFFFFFFu));
}

std::uint32_t EntryValue(FatKind kind, std::span<const std::uint8_t> fat, std::uint32_t n) {
  return ValueOf(kind, fat, n);
}

std::string EntryText(const Entry& e) {
  switch (e.kind) {
    case EntryKind::Free:
      return "free";
    case EntryKind::Next:
      return "next " + std::to_string(e.Next());
    case EntryKind::Bad:
      return "bad";
    case EntryKind::End:
      return "end of chain";
    case EntryKind::Reserved:
      return "reserved (" + Hex(e.value) + ")";
    case EntryKind::OutOfRange:
      break;
  }
  return "out of range (" + std::to_string(e.Next()) + ")";
}

std::uint64_t FirstByteOfEntry(FatKind kind, std::uint32_t n) {
  switch (kind) {
    case FatKind::Fat12:
      return std::uint64_t{n} * 3 / 2;
    case FatKind::Fat16:
      return std::uint64_t{n} * 2;
    case FatKind::Fat32:
      break;
  }
  return std::uint64_t{n} * 4;
}

unsigned BytesOfEntry(FatKind kind) {
  return kind == FatKind::Fat32 ? 4 : 2;
}

EntriesOfByte EntriesOfFatByte(FatKind kind, std::uint64_t offset) {
  switch (kind) {
    case FatKind::Fat12: {
      // Three bytes hold two entries: byte 0 and the low nibble of byte 1 the even one,
      // the high nibble of byte 1 and byte 2 the odd one.
      const auto pair = static_cast<std::uint32_t>(offset / 3 * 2);
      switch (offset % 3) {
        case 0:
          return {pair, 1};
        case 1:
          return {pair, 2};
        default:
          return {pair + 1, 1};
      }
    }
    case FatKind::Fat16:
      return {static_cast<std::uint32_t>(offset / 2), 1};
    case FatKind::Fat32:
      break;
  }
  return {static_cast<std::uint32_t>(offset / 4), 1};
}

FatTable::FatTable(const Layout& layout, std::vector<std::uint8_t> bytes)
    : layout_(layout), bytes_(std::move(bytes)), kinds_(layout.kind, layout.MaxCluster()) {}

Entry FatTable::At(std::uint32_t n) const {
  const std::uint32_t v = Value(n);
  return {v, kinds_.Of(v)};
}

std::uint32_t FatTable::Value(std::uint32_t n) const {
  return ValueOf(layout_.kind, bytes_, n);
}

std::optional<ReadFailure> ReadSectors(ByteSource& source, std::int64_t sector,
                                       std::span<std::uint8_t> out) {
  const std::uint64_t offset = static_cast<std::uint64_t>(sector) * kSectorBytes;
  Status r = source.ReadAt(offset, out);
  if (r.ok()) return std::nullopt;
  for (std::size_t done = 0; done < out.size(); done += kSectorBytes) {
    const std::size_t n = std::min<std::size_t>(kSectorBytes, out.size() - done);
    Status one = source.ReadAt(offset + done, out.subspan(done, n));
    if (!one.ok()) return ReadFailure{sector + static_cast<std::int64_t>(done / kSectorBytes), one};
  }
  // Every sector reads alone: report the failure of the whole read at its start.
  return ReadFailure{sector, r};
}

FatLoad LoadFat(ByteSource& source, const Layout& layout, unsigned fatIndex,
                WorkProgress* progress) {
  // Only the entries of clusters 0 to MaxCluster are needed, in whole sectors.
  const std::uint64_t entryBytes =
      (std::uint64_t{layout.MaxCluster()} + 1) * layout.EntryBits() / 8 + 1;
  const std::uint64_t wanted =
      std::min<std::uint64_t>((entryBytes + kSectorBytes - 1) / kSectorBytes * kSectorBytes,
                              static_cast<std::uint64_t>(layout.fatSectors) * kSectorBytes);
  std::vector<std::uint8_t> bytes(wanted);
  FatLoad load;
  const std::int64_t first = layout.FatSector(fatIndex);
  for (std::uint64_t done = 0; done < wanted; done += kLoadChunk) {
    if (progress != nullptr) {
      progress->Report(done, wanted);
      if (progress->Cancelled()) return load.cancelled = true, load;
    }
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(kLoadChunk, wanted - done));
    if ((load.failure = ReadSectors(source, first + static_cast<std::int64_t>(done / kSectorBytes),
                                    std::span(bytes).subspan(done, n))))
      return load;
  }
  if (progress != nullptr) progress->Report(wanted, wanted);
  load.table.emplace(layout, std::move(bytes));
  return load;
}

}  // namespace dulvex::fat
