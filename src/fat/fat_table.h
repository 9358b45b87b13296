// The entries of a file allocation table: their packing (12, 16 or 32 bits), what each
// value means, and one FAT read whole from the medium in large reads.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/progress.h"
#include "fat/byte_source.h"
#include "fat/layout.h"
#include "fat/read_failure.h"

namespace dulvex::fat {

enum class EntryKind {
  Free,        // 0: the cluster is not allocated
  Next,        // the next cluster of the chain (2 to MaxCluster)
  Bad,         // FF7, FFF7, 0FFFFFF7: the cluster is marked unusable
  End,         // FF8-FFF, FFF8-FFFF, 0FFFFFF8-0FFFFFFF: the last cluster of a chain
  Reserved,    // 1, and FF0-FF6, FFF0-FFF6, 0FFFFFF0-0FFFFFF6
  OutOfRange,  // a cluster number above MaxCluster that is none of the above
};

struct Entry {
  std::uint32_t value = 0;  // as stored; FAT32 keeps its top 4 bits here
  EntryKind kind = EntryKind::Free;
  std::uint32_t Next() const { return value & 0x0FFFFFFF; }  // the cluster it names
};

// What the values of a FAT of `kind` whose clusters go up to `maxCluster` mean, its markers
// worked out once. The top 4 bits of a FAT32 entry are ignored.
class EntryKinds {
 public:
  EntryKinds(FatKind kind, std::uint32_t maxCluster);
  // The most common answer first: a value naming a next cluster.
  EntryKind Of(std::uint32_t value) const {
    const std::uint32_t c = value & mask_;
    if (c >= 2 && c <= nextMax_) return EntryKind::Next;
    if (c == 0) return EntryKind::Free;
    if (c >= endFrom_) return EntryKind::End;
    if (c == bad_) return EntryKind::Bad;
    return c == 1 || c >= reservedFrom_ ? EntryKind::Reserved : EntryKind::OutOfRange;
  }

 private:
  // The bits of a value that count, the values 2 .. nextMax_ that name the next cluster, and
  // the markers.
  std::uint32_t mask_, nextMax_, reservedFrom_, bad_, endFrom_;
};
EntryKind Classify(FatKind kind, std::uint32_t value, std::uint32_t maxCluster);

// Entry n, from its bytes: `first` points at FirstByteOfEntry(kind, n) and BytesOfEntry(kind)
// bytes follow.
std::uint32_t EntryValueAt(FatKind kind, std::uint32_t n, const std::uint8_t* first);

// Writes entry n into its bytes (`first` as for EntryValueAt): the other entry sharing a
// FAT12 byte keeps its nibble, and a FAT32 entry keeps its top 4 bits.
void PutEntryValueAt(FatKind kind, std::uint32_t n, std::uint8_t* first, std::uint32_t value);

// Entry n of a FAT held in `fat` (its first bytes); 0 when its bytes lie past the end.
std::uint32_t EntryValue(FatKind kind, std::span<const std::uint8_t> fat, std::uint32_t n);

// "next 1235", "end of chain", "free", "bad", "reserved (FF0)", "out of range (5000)".
std::string EntryText(const Entry& entry);

// The entries that byte `offset` of a FAT belongs to: one, or two for the FAT12 byte whose
// nibbles are shared by an even entry and the odd one after it.
struct EntriesOfByte {
  std::uint32_t first = 0;
  int count = 1;
};
EntriesOfByte EntriesOfFatByte(FatKind kind, std::uint64_t offset);
// The first byte of entry n within its FAT, and how many bytes it touches.
std::uint64_t FirstByteOfEntry(FatKind kind, std::uint32_t n);
unsigned BytesOfEntry(FatKind kind);

// One FAT of a volume, read whole: the entries of clusters 0 to MaxCluster.
class FatTable {
 public:
  FatTable(const Layout& layout, std::vector<std::uint8_t> bytes);
  const Layout& layout() const { return layout_; }
  Entry At(std::uint32_t n) const;
  std::uint32_t Value(std::uint32_t n) const;
  std::span<const std::uint8_t> bytes() const { return bytes_; }

 private:
  Layout layout_;
  std::vector<std::uint8_t> bytes_;
  EntryKinds kinds_;
};

struct FatLoad {
  std::optional<FatTable> table;
  std::optional<ReadFailure> failure;  // the read that stopped it
  bool cancelled = false;
};

// Reads FAT `fatIndex` (0 for FAT1) in reads of several megabytes, reporting progress in
// bytes and stopping when cancelled. A failed read is narrowed down to its first sector.
FatLoad LoadFat(ByteSource& source, const Layout& layout, unsigned fatIndex,
                WorkProgress* progress = nullptr);

// Reads `length` bytes at sector `sector` in one read; when it fails, finds the first
// sector that cannot be read, sector by sector.
std::optional<ReadFailure> ReadSectors(ByteSource& source, std::int64_t sector,
                                       std::span<std::uint8_t> out);

}  // namespace dulvex::fat
