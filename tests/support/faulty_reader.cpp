#include "support/faulty_reader.h"

#include <cerrno>

#include "device/posix_io.h"

namespace dulvex::device {

namespace {

bool IdOf(const std::filesystem::path& file, std::pair<std::uint64_t, std::uint64_t>* id) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return false;
  const MediumId m = MediumIdOf(st);
  *id = {m.dev, m.ino};
  return true;
}

}  // namespace

void SectorFaults::Add(std::uint64_t first, std::uint64_t last) {
  ranges_.emplace_back(first, last);
}

bool SectorFaults::Touches(std::uint64_t offset, std::uint64_t length) const {
  if (length == 0) return false;
  const std::uint64_t first = offset / kSectorSize, last = (offset + length - 1) / kSectorSize;
  for (const auto& [lo, hi] : ranges_) {
    if (lo <= last && first <= hi) return true;
  }
  return false;
}

Status FaultyReader::Read(std::uint64_t offset, std::uint8_t* out, std::size_t length,
                          std::size_t* got) {
  *got = 0;
  const std::uint64_t end = std::min<std::uint64_t>(offset + length, size());
  if (offset < end && faults_.Touches(offset, end - offset)) return {Cause::IoError, EIO};
  return inner_->Read(offset, out, length, got);
}

Borrowed FaultyReader::Borrow(std::uint64_t offset, std::size_t length) {
  if (faults_.Touches(offset, length)) return {};
  return inner_->Borrow(offset, length);
}

bool FaultyOpener::Add(const std::filesystem::path& file, std::int64_t first, std::int64_t last) {
  std::pair<std::uint64_t, std::uint64_t> id;
  if (first < 0 || first > last || !IdOf(file, &id)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  faults_[id].Add(static_cast<std::uint64_t>(first), static_cast<std::uint64_t>(last));
  return true;
}

void FaultyOpener::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.clear();
}

std::unique_ptr<BulkReader> FaultyOpener::Open(const std::filesystem::path& file, Status* why) {
  std::unique_ptr<BulkReader> inner = inner_.Open(file, why);
  std::pair<std::uint64_t, std::uint64_t> id;
  if (!inner || !IdOf(file, &id)) return inner;
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = faults_.find(id);
  if (it == faults_.end()) return inner;
  return std::make_unique<FaultyReader>(std::move(inner), it->second);
}

}  // namespace dulvex::device
