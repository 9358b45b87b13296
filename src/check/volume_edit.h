// Sector edits held in memory over a medium. A repair plan writes here, never to the medium:
// later steps of the plan, and a check of the edited volume, read the edits as if written.
// What changed comes out as sector writes, each with the bytes before and after.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "base/sector.h"
#include "fat/byte_source.h"
#include "fat/layout.h"

namespace dulvex::check {

// One sector of a plan: the bytes the medium holds (as read), and those to write.
struct SectorWrite {
  std::int64_t sector = 0;
  SectorBytes before{}, after{};
};

class EditedVolume : public fat::ByteSource {
 public:
  explicit EditedVolume(fat::ByteSource& medium) : medium_(medium) {}

  // The medium's bytes with the edits laid over them.
  Status ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;
  // One sector as it stands; false when the medium cannot read it.
  bool Read(std::int64_t sector, SectorBytes& out);
  // Replaces a sector; false when its bytes before cannot be read.
  bool Write(std::int64_t sector, const SectorBytes& bytes);
  // Bytes at any byte offset, across sectors.
  bool ReadBytes(std::uint64_t offset, std::span<std::uint8_t> out);
  bool WriteBytes(std::uint64_t offset, std::span<const std::uint8_t> bytes);

  // The sectors whose bytes now differ from the medium's, in ascending order.
  std::vector<SectorWrite> Writes() const;
  // How many writes changed a byte so far.
  std::uint64_t changes() const { return changes_; }

 private:
  struct Edit {
    SectorBytes before, after;
  };
  bool ReadMedium(std::int64_t sector, SectorBytes& out);

  fat::ByteSource& medium_;
  std::map<std::int64_t, Edit> edits_;
  std::uint64_t changes_ = 0;
  // The last stretch of sectors read from the medium, for scans of one sector after another.
  static constexpr std::int64_t kCacheSectors = 128;
  std::int64_t cacheFirst_ = -1;
  std::vector<std::uint8_t> cache_;
};

// The entries of a volume's FATs, read and written through an EditedVolume: reads come from
// the copy in use, writes go to every copy the volume mirrors.
class FatEditor {
 public:
  FatEditor(EditedVolume& volume, const fat::Layout& layout, unsigned inUse)
      : v_(volume), l_(layout), inUse_(inUse) {}
  std::optional<std::uint32_t> Get(std::uint32_t n);
  bool Set(std::uint32_t n, std::uint32_t value);
  // The first free cluster from `from` on, going round to cluster 2; none when no cluster
  // is free.
  std::optional<std::uint32_t> FindFree(std::uint32_t from);
  // The end-of-chain mark of this FAT type.
  std::uint32_t EndMark() const;
  const fat::Layout& layout() const { return l_; }

 private:
  EditedVolume& v_;
  fat::Layout l_;
  unsigned inUse_;
};

}  // namespace dulvex::check
