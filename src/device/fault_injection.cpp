#include "device/fault_injection.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "device/posix_io.h"

namespace dulvex::device {

namespace {

struct Fault {
  std::uint64_t dev, ino;
  std::int64_t first, last;  // sectors
};

std::mutex faultsMutex;
std::vector<Fault> faults;
std::atomic<bool> anyFault{false};

}  // namespace

bool InjectReadFault(const std::filesystem::path& file, std::int64_t first, std::int64_t last) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || first > last) return false;
  const MediumId id = MediumIdOf(st);
  std::lock_guard<std::mutex> lock(faultsMutex);
  faults.push_back({id.dev, id.ino, first, last});
  anyFault.store(true);
  return true;
}

void ClearReadFaults() {
  std::lock_guard<std::mutex> lock(faultsMutex);
  faults.clear();
  anyFault.store(false);
}

bool ReadFaultAt(std::uint64_t dev, std::uint64_t ino, std::uint64_t offset, std::uint64_t length) {
  if (!anyFault.load(std::memory_order_relaxed) || length == 0) return false;
  const auto firstSector = static_cast<std::int64_t>(offset / 512);
  const auto lastSector = static_cast<std::int64_t>((offset + length - 1) / 512);
  std::lock_guard<std::mutex> lock(faultsMutex);
  for (const Fault& f : faults) {
    if (f.dev == dev && f.ino == ino && f.first <= lastSector && firstSector <= f.last) return true;
  }
  return false;
}

}  // namespace dulvex::device
