// The plain bulk reader: positioned reads (pread) through the page cache. One read-only
// descriptor stays open for the whole scan; each read takes any length at any byte offset, so
// a caller reads in chunks of megabytes instead of sector by sector. The other readers fall
// back on it where their own way fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "device/bulk_reader.h"
#include "device/medium_io.h"
#include "device/sector_device.h"

namespace dulvex::device {

class MediumReader : public BulkReader {
 public:
  MediumReader() = default;
  MediumReader(const MediumReader&) = delete;
  MediumReader& operator=(const MediumReader&) = delete;
  MediumReader(MediumReader&& other) noexcept;
  MediumReader& operator=(MediumReader&& other) noexcept;
  ~MediumReader() override;

  // Opens a regular file or a block device read-only and learns its size; its reads go
  // through `io`, which must outlive the reader.
  Status Open(const std::filesystem::path& file, MediumIo& io = SystemIo());
  bool isOpen() const { return fd_ >= 0; }
  // Size of the medium in bytes.
  std::uint64_t size() const override { return size_; }

  Status Read(std::uint64_t offset, std::uint8_t* out, std::size_t length,
              std::size_t* got) override;

  // Device and inode of the open medium, to tell two bindings of one medium apart.
  std::uint64_t dev() const { return dev_; }
  std::uint64_t ino() const { return ino_; }
  // The open descriptor, for a reader built over this one; -1 when closed.
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
  MediumIo* io_ = &SystemIo();
  std::uint64_t size_ = 0, dev_ = 0, ino_ = 0;
};

}  // namespace dulvex::device
