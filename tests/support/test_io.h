// The calls to the media as tests want them: the system's, except where a test says
// otherwise. Reads of chosen sectors fail as on a damaged medium (the medium known by its
// device and inode, so a fault follows an image through every name that reaches it); a
// flush can fail after it has done its work, as a dying stick's does; and a test can run
// its own code around a write or a flush: change the medium behind the program's back, or
// end the process there as a crash would.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <vector>

#include "device/medium_io.h"

namespace dulvex::testing {

class TestIo : public device::MediumIo {
 public:
  // Every read that touches sectors first..last of the medium behind `file` fails with EIO.
  // False when the file cannot be looked at.
  bool FailReads(const std::filesystem::path& file, std::int64_t first, std::int64_t last);
  void ClearFaults();

  // Run before each write, and after each flush (once it has flushed).
  std::function<void()> beforeWrite, afterFlush;
  // When not 0, each flush does its work and then reports this errno.
  int flushError = 0;
  int writes = 0, flushes = 0;  // calls made

  ssize_t Pread(int fd, void* buf, std::size_t length, off_t offset) override;
  ssize_t Pwrite(int fd, const void* buf, std::size_t length, off_t offset) override;
  int Fdatasync(int fd) override;

 private:
  struct Fault {
    std::uint64_t dev, ino;
    std::int64_t first, last;  // sectors
  };
  std::mutex mutex_;  // reads may come from a worker thread
  std::vector<Fault> faults_;
};

}  // namespace dulvex::testing
