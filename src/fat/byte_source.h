// Where the FAT engine reads its bytes: a medium through the device layer's large reads, or
// a volume held in memory (unit tests, fuzz targets). The engine never writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

#include "device/medium_reader.h"
#include "device/sector_device.h"

namespace dulvex::fat {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads exactly out.size() bytes at byte `offset`. Anything less is a failure: PastEnd
  // when the range reaches past the end, else the reason of the failed transfer.
  virtual Status ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

// A volume image in memory; the bytes must outlive the source.
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  Status ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

 private:
  std::span<const std::uint8_t> bytes_;
};

// An image file or a block device, read with one open read-only descriptor.
class MediumSource : public ByteSource {
 public:
  Status Open(const std::filesystem::path& file, device::MediumIo& io = device::SystemIo()) {
    return reader_.Open(file, io);
  }
  Status ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;
  const device::MediumReader& reader() const { return reader_; }

 private:
  device::MediumReader reader_;
};

}  // namespace dulvex::fat
