// Large reads of a whole medium, for work that scans it: a search, the FAT tables, a file's
// data. A bulk reader reads any length at any byte offset, and may hand its bytes out in place
// (a mapping of the medium, or the buffer a read ahead filled) so a scan copies nothing.
// Readers are made by an opener; the program uses the system's, tests wrap it to make reads
// fail (tests/support/faulty_reader.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "device/sector_device.h"

namespace dulvex::device {

// Bytes of the medium in place. `data` is null when the reader has none to lend: the caller
// copies them with Read() instead. `mapped` bytes are a mapping of the medium, where a page
// the medium cannot deliver raises SIGBUS: they may be touched only inside RunGuarded()
// (mapped_guard.h).
struct Borrowed {
  const std::uint8_t* data = nullptr;
  bool mapped = false;
};

class BulkReader {
 public:
  virtual ~BulkReader() = default;
  // Size of the medium in bytes, as it was when opened.
  virtual std::uint64_t size() const = 0;
  // Reads up to `length` bytes at byte `offset` into `out`; *got says how many arrived.
  // Fewer than `length` only at the end of the medium (status Ok); a read at or past the
  // end gives PastEnd with nothing read. A failed read (IoError) leaves *got at 0: the
  // caller narrows it down in smaller reads when it wants the readable part.
  virtual Status Read(std::uint64_t offset, std::uint8_t* out, std::size_t length,
                      std::size_t* got) = 0;
  // Bytes [offset, offset + length) in place, valid until the next call to Borrow or Read;
  // `length` must not reach past size(). Nothing lent means: use Read().
  virtual Borrowed Borrow(std::uint64_t offset, std::size_t length) {
    (void)offset, (void)length;
    return {};
  }
  // The bytes the caller will borrow next, so a reader may fetch them while the caller works
  // on the last ones.
  virtual void WillBorrow(std::uint64_t offset, std::size_t length) { (void)offset, (void)length; }
  // The stretch a caller best borrows at a time; 0 when any will do.
  virtual std::size_t PreferredChunk() const { return 0; }
  // How the reader reads, for benchmarks and tests: "pread", "mapped" or "direct".
  virtual const char* kind() const { return "pread"; }
};

// How to read a medium: chosen by the opener (Auto), or one way for tests and benchmarks.
enum class ReadWay {
  Auto,    // mapped when the medium's pages are mostly in the page cache, else direct
  Pread,   // copies through the page cache
  Mapped,  // a mapping of the medium, pread where it cannot map
  Direct,  // O_DIRECT reads ahead into aligned buffers, pread where the kernel refuses them
};

class BulkOpener {
 public:
  virtual ~BulkOpener() = default;
  // Opens a regular file or a block device read-only; nothing, with *why, when it cannot.
  virtual std::unique_ptr<BulkReader> Open(const std::filesystem::path& file, Status* why) = 0;
};

// The program's opener: the way it is given, Auto by default.
class SystemOpener : public BulkOpener {
 public:
  explicit SystemOpener(ReadWay way = ReadWay::Auto) : way_(way) {}
  std::unique_ptr<BulkReader> Open(const std::filesystem::path& file, Status* why) override;

 private:
  ReadWay way_;
};

// One opener for the whole program, used where none is injected.
BulkOpener& DefaultOpener();

// The share (0 to 1) of the pages of bytes [0, size) of `fd` that are in the page cache,
// from up to `samples` pages spread evenly; -1 when the kernel cannot say.
double CachedShare(int fd, std::uint64_t size, int samples = 256);

}  // namespace dulvex::device
