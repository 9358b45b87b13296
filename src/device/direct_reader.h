// A bulk reader for media whose bytes are not in the page cache (a card or a disk read for
// the first time): reads with O_DIRECT into aligned buffers, straight from the device, and
// keeps one read in flight on a thread of its own while the caller works on the last one, so
// the device never waits for the scan. Two buffers: the one lent and the one being filled.
// Where the kernel refuses a direct read (a file system without O_DIRECT, an odd alignment)
// or the read fails, nothing is lent and the caller reads through Read(), which is plain pread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "device/medium_reader.h"

namespace dulvex::device {

class DirectReader : public BulkReader {
 public:
  // Over an open plain reader, which it keeps for Read(); `direct` is a descriptor of the same
  // medium opened with O_DIRECT, which the reader closes.
  DirectReader(MediumReader plain, int direct);
  ~DirectReader() override;
  DirectReader(const DirectReader&) = delete;
  DirectReader& operator=(const DirectReader&) = delete;

  std::uint64_t size() const override { return plain_.size(); }
  Status Read(std::uint64_t offset, std::uint8_t* out, std::size_t length,
              std::size_t* got) override {
    return plain_.Read(offset, out, length, got);
  }
  Borrowed Borrow(std::uint64_t offset, std::size_t length) override;
  void WillBorrow(std::uint64_t offset, std::size_t length) override;
  // Large reads: each hand-over between the reading thread and the caller costs a wake-up.
  std::size_t PreferredChunk() const override { return std::size_t{4} << 20; }
  const char* kind() const override { return "direct"; }

  // Opens `file` both ways; nothing when O_DIRECT cannot be had.
  static std::unique_ptr<DirectReader> Open(const std::filesystem::path& file, Status* why);

 private:
  struct Buffer {
    std::unique_ptr<std::uint8_t, void (*)(void*)> bytes{nullptr, nullptr};
    std::size_t capacity = 0;
    std::uint64_t offset = 0;  // the request it holds
    std::size_t length = 0;
    std::size_t skip = 0;  // where the requested bytes begin in it
    bool ok = false;
  };
  // Fills `b` with bytes [offset, offset + length) in one aligned direct read.
  void Fill(Buffer& b, std::uint64_t offset, std::size_t length);
  void Work();

  MediumReader plain_;
  int direct_ = -1;
  std::size_t align_ = 4096;
  Buffer buffers_[2];
  int lent_ = -1;  // the buffer last lent, or none

  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread worker_;
  int job_ = -1;         // the buffer the worker fills or has filled
  bool jobDone_ = true;  // the worker is idle
  bool stopping_ = false;
  std::atomic<bool> refused_{false};  // the kernel refused a direct read: none again
};

}  // namespace dulvex::device
