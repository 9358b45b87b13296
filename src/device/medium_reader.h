// Large positioned reads for work that scans a medium: a search, the FAT tables, a file's
// data. One read-only descriptor stays open for the whole scan; each read takes any length at
// any byte offset, so a caller reads in chunks of megabytes instead of sector by sector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "device/sector_device.h"

namespace dulvex::device {

class MediumReader {
 public:
  MediumReader() = default;
  MediumReader(const MediumReader&) = delete;
  MediumReader& operator=(const MediumReader&) = delete;
  MediumReader(MediumReader&& other) noexcept;
  MediumReader& operator=(MediumReader&& other) noexcept;
  ~MediumReader();

  // Opens a regular file or a block device read-only and learns its size.
  IoResult Open(const std::filesystem::path& file);
  bool isOpen() const { return fd_ >= 0; }
  // Size of the medium in bytes.
  std::uint64_t size() const { return size_; }

  // Reads up to `length` bytes at byte `offset` into `out`; *got says how many arrived.
  // Fewer than `length` only at the end of the medium (status Ok); a read at or past the
  // end gives PastEnd with nothing read. A failed read (IoError) leaves *got at 0: the
  // caller narrows it down in smaller reads when it wants the readable part.
  IoResult Read(std::uint64_t offset, std::uint8_t* out, std::size_t length, std::size_t* got);

  // Device and inode of the open medium, to tell two bindings of one medium apart.
  std::uint64_t dev() const { return dev_; }
  std::uint64_t ino() const { return ino_; }

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0, dev_ = 0, ino_ = 0;
};

}  // namespace dulvex::device
