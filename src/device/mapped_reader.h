// A bulk reader over a mapping of the medium: a scan reads the page cache in place, with no
// copy. The medium is mapped a window at a time (so page tables stay small on a device of
// many gigabytes), read ahead sequentially, in huge pages where the kernel gives them. A page
// the medium cannot deliver raises SIGBUS: touch borrowed bytes only inside RunGuarded()
// (mapped_guard.h), and read a stretch where it failed again with Read(), which is pread and
// names the failing sectors. A file cut shorter than a stretch does not lend it.
#pragma once

#include <memory>

#include "device/medium_reader.h"

namespace dulvex::device {

class MappedReader : public BulkReader {
 public:
  // Over an open plain reader, which it keeps for Read() and where mapping fails.
  explicit MappedReader(MediumReader plain, std::size_t window = kWindow);
  ~MappedReader() override;
  MappedReader(const MappedReader&) = delete;
  MappedReader& operator=(const MappedReader&) = delete;

  std::uint64_t size() const override { return plain_.size(); }
  Status Read(std::uint64_t offset, std::uint8_t* out, std::size_t length,
              std::size_t* got) override {
    return plain_.Read(offset, out, length, got);
  }
  Borrowed Borrow(std::uint64_t offset, std::size_t length) override;
  const char* kind() const override { return "mapped"; }

  static constexpr std::size_t kWindow = std::size_t{64} << 20;

 private:
  MediumReader plain_;
  const std::size_t window_;
  std::uint8_t* map_ = nullptr;  // the mapped window: medium bytes [mapLo_, mapLo_ + mapLen_)
  std::uint64_t mapLo_ = 0;
  std::size_t mapLen_ = 0;
  bool mapFails_ = false;  // the medium cannot be mapped: never try again
};

}  // namespace dulvex::device
