// A bulk reader over a mapping of the medium: a scan reads the page cache in place, with no
// copy. The medium is mapped a window at a time (so page tables stay small on a device of
// many gigabytes), read ahead sequentially, in huge pages where the kernel gives them. A page
// the medium cannot deliver raises SIGBUS: touch borrowed bytes only inside RunGuarded()
// (mapped_guard.h), and read a stretch where it failed again with Read(), which is pread and
// names the failing sectors. A file cut shorter than a stretch does not lend it.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

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
  // Maps the pages from there on (or down, going backward) into the window ahead of the
  // caller, on a thread of its own, so that the caller's reads of them do not fault.
  void WillBorrow(std::uint64_t offset, std::size_t length) override;
  const char* kind() const override { return "mapped"; }

  static constexpr std::size_t kWindow = std::size_t{64} << 20;
  // How far ahead of the bytes the caller borrows next their pages are mapped.
  static constexpr std::size_t kAhead = std::size_t{8} << 20;

 private:
  // Work for the helper thread: mapping the pages of a stretch of the window of generation
  // `window` (passed over once the window has changed), or unmapping a window.
  struct Job {
    bool unmap = false;
    std::uint8_t* at = nullptr;
    std::size_t length = 0;
    std::uint64_t window = 0;
  };
  void Post(const Job& job);
  void Work();

  MediumReader plain_;
  const std::size_t window_;
  std::uint8_t* map_ = nullptr;  // the mapped window: medium bytes [mapLo_, mapLo_ + mapLen_)
  std::uint64_t mapLo_ = 0;
  std::size_t mapLen_ = 0;
  bool mapFails_ = false;  // the medium cannot be mapped: never try again
  // The window's bytes [readyLo_, readyHi_) are mapped, or handed to the helper to map.
  std::uint64_t readyLo_ = 0, readyHi_ = 0;

  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<Job> jobs_;
  std::uint64_t generation_ = 0;  // of the current window; guarded by mutex_
  bool stopping_ = false;
  bool noHelper_ = false;  // the system gave no thread: the work is done in place or not at all
  std::thread helper_;
};

}  // namespace dulvex::device
