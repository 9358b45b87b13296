// Read faults made on purpose, for tests: a bulk reader that fails every read touching a
// sector of given ranges as an input/output error, as a damaged medium does, and lends none
// of those bytes in place. Its opener wraps another opener and knows a medium by its device
// and inode, so a fault follows an image through every name and link that reaches it.
#pragma once

#include <map>
#include <mutex>
#include <vector>

#include "device/bulk_reader.h"

namespace dulvex::device {

// Sector ranges first..last, inclusive.
class SectorFaults {
 public:
  void Add(std::uint64_t first, std::uint64_t last);
  // True when a range covers any byte of offset .. offset + length - 1.
  bool Touches(std::uint64_t offset, std::uint64_t length) const;

 private:
  std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges_;
};

class FaultyReader : public BulkReader {
 public:
  FaultyReader(std::unique_ptr<BulkReader> inner, SectorFaults faults)
      : inner_(std::move(inner)), faults_(std::move(faults)) {}
  std::uint64_t size() const override { return inner_->size(); }
  Status Read(std::uint64_t offset, std::uint8_t* out, std::size_t length,
              std::size_t* got) override;
  Borrowed Borrow(std::uint64_t offset, std::size_t length) override;
  void WillBorrow(std::uint64_t offset, std::size_t length) override {
    inner_->WillBorrow(offset, length);
  }
  const char* kind() const override { return inner_->kind(); }

 private:
  std::unique_ptr<BulkReader> inner_;
  SectorFaults faults_;
};

class FaultyOpener : public BulkOpener {
 public:
  explicit FaultyOpener(BulkOpener& inner) : inner_(inner) {}
  // Makes sectors first..last of the medium behind `file` unreadable; false when the file
  // cannot be looked at or the range is empty.
  bool Add(const std::filesystem::path& file, std::int64_t first, std::int64_t last);
  void Clear();
  std::unique_ptr<BulkReader> Open(const std::filesystem::path& file, Status* why) override;

 private:
  BulkOpener& inner_;
  std::mutex mutex_;
  std::map<std::pair<std::uint64_t, std::uint64_t>, SectorFaults> faults_;
};

}  // namespace dulvex::device
