// libFuzzer: -max_len=20000
// The search over a medium against a byte-by-byte loop: any data, a pattern of fixed bytes,
// letter pairs and wildcards, any range, either direction, chunks of any sector count, read
// through pread, a mapping or O_DIRECT, with unreadable sectors and, for the mapping, a file
// cut short under it while it is borrowed (a real SIGBUS, which the scan must survive).
//
// Input: way, direction, chunk sectors, cut, lo and hi (2 bytes each, of the data's size),
// three fault ranges (2 bytes each: first sector, count), the pattern (a length byte, then
// per position a kind byte and a byte), then the data.
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "search/scanner.h"
#include "support/faulty_reader.h"

namespace {

using dulvex::device::Borrowed;
using dulvex::device::BulkReader;
using dulvex::search::Direction;
using dulvex::search::PatternByte;
using End = dulvex::search::ScanOutcome::End;

struct NoProgress : dulvex::WorkProgress {
  void Report(std::uint64_t, std::uint64_t) override {}
  bool Cancelled() const override { return false; }
};

// Cuts the file to `cut` bytes right after the reader lends a stretch that reaches past it.
class Cutting : public BulkReader {
 public:
  Cutting(std::unique_ptr<BulkReader> inner, std::filesystem::path file, std::uint64_t cut)
      : inner_(std::move(inner)), file_(std::move(file)), cut_(cut) {}
  std::uint64_t size() const override { return inner_->size(); }
  dulvex::Status Read(std::uint64_t offset, std::uint8_t* out, std::size_t length,
                      std::size_t* got) override {
    return inner_->Read(offset, out, length, got);
  }
  Borrowed Borrow(std::uint64_t offset, std::size_t length) override {
    const Borrowed lent = inner_->Borrow(offset, length);
    if (!done_ && offset + length > cut_) {
      std::filesystem::resize_file(file_, cut_);
      done_ = true;
    }
    return lent;
  }
  bool cut() const { return done_; }

 private:
  std::unique_ptr<BulkReader> inner_;
  std::filesystem::path file_;
  std::uint64_t cut_;
  bool done_ = false;
};

std::filesystem::path TempFile() {
  static std::atomic<int> n{0};
  return std::filesystem::temp_directory_path() /
         ("dulvex-scan-fuzz-" + std::to_string(::getpid()) + "-" + std::to_string(n++));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  InputReader in(data, size);
  const int wayByte = in.Byte() % 3;
  const bool forward = in.Byte() % 2 == 0;
  const std::size_t chunk = std::size_t{512} * (1 + in.Byte() % 9);
  const std::uint8_t cutByte = in.Byte();
  std::uint8_t head[4 + 6];
  in.Bytes(head, sizeof head);
  std::vector<PatternByte> bytes(1 + in.Byte() % 24);
  for (auto& p : bytes) {
    const std::uint8_t kind = in.Byte(), b = in.Byte();
    p = kind % 7 == 0   ? PatternByte{0, 0, true}
        : kind % 7 == 1 ? PatternByte{b, static_cast<std::uint8_t>(b ^ 0x20), false}
                        : PatternByte{b, b, false};
  }
  std::vector<std::uint8_t> medium;
  while (!in.AtEnd()) medium.push_back(in.Byte());
  if (medium.empty()) return 0;
  const std::uint64_t n = medium.size();
  std::uint64_t lo = (head[0] | head[1] << 8) % (n + 1), hi = (head[2] | head[3] << 8) % (n + 1);
  if (lo > hi) std::swap(lo, hi);
  dulvex::device::SectorFaults faults;
  std::vector<bool> bad((n + 511) / 512);
  for (int f = 0; f < 3; ++f) {
    const std::uint64_t first = head[4 + 2 * f] % (bad.size() + 1), count = head[5 + 2 * f] % 4;
    if (head[5 + 2 * f] < 128 || count == 0) continue;
    faults.Add(first, first + count - 1);
    for (std::uint64_t s = first; s < first + count && s < bad.size(); ++s) bad[s] = true;
  }

  // The reference: the first or the last match lying wholly in [lo, hi) and in no bad sector.
  long long expected = -1;
  for (std::uint64_t at = lo; at + bytes.size() <= hi; ++at) {
    bool all = true;
    for (std::size_t i = 0; i < bytes.size() && all; ++i) {
      const PatternByte& p = bytes[i];
      all = !bad[(at + i) / 512] && (p.any || medium[at + i] == p.a || medium[at + i] == p.b);
    }
    if (all && (expected < 0 || !forward)) expected = static_cast<long long>(at);
    if (all && forward) break;
  }

  const std::filesystem::path file = TempFile();
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(medium.data()), static_cast<std::streamsize>(n));
  const auto way = wayByte == 0   ? dulvex::device::ReadWay::Pread
                   : wayByte == 1 ? dulvex::device::ReadWay::Mapped
                                  : dulvex::device::ReadWay::Direct;
  dulvex::Status why;
  auto reader = dulvex::device::SystemOpener(way).Open(file, &why);
  Check(reader != nullptr);
  // Cut only a mapping, at a page boundary, so its later pages raise SIGBUS.
  const std::uint64_t cut = cutByte >= 200 && way == dulvex::device::ReadWay::Mapped
                                ? (cutByte - 200) % ((n + 4095) / 4096) * 4096
                                : UINT64_MAX;
  auto faulty = std::make_unique<dulvex::device::FaultyReader>(std::move(reader), faults);
  Cutting cutting(std::move(faulty), file, cut);
  NoProgress progress;
  const auto o =
      dulvex::search::Scan(cutting, dulvex::search::Pattern(bytes), lo, hi,
                           forward ? Direction::Forward : Direction::Backward, progress, chunk);
  std::filesystem::remove(file);
  if (cutting.cut()) {
    // Whatever was searched before the cut is right; after it the medium has vanished.
    Check(o.end == End::Vanished ||
          (o.end == End::Found && static_cast<long long>(o.offset) == expected) ||
          (o.end == End::NotFound && expected < 0));
    return 0;
  }
  Check(o.end == (expected < 0 ? End::NotFound : End::Found));
  if (expected >= 0) Check(static_cast<long long>(o.offset) == expected);
  if (o.end == End::NotFound && lo < hi && hi - lo >= bytes.size()) {
    // Every bad sector the range touches was skipped and counted once.
    std::uint64_t count = 0, first = 0;
    for (std::uint64_t s = lo / 512; s < (hi + 511) / 512; ++s) {
      if (bad[s] && count++ == 0) first = s;
    }
    Check(o.skippedSectors == count);
    if (count > 0) Check(o.firstSkipped == first);
  }
  return 0;
}
