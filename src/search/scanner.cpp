#include "search/scanner.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace dulvex::search {

namespace {

using device::IoResult;
using device::IoStatus;
using End = ScanOutcome::End;

constexpr std::uint64_t kSector = device::kSectorSize;
// The chunk sits on a page boundary (the kernel copies into it fastest), with room before it
// and after it for the bytes kept from the neighbouring chunk.
constexpr std::size_t kPage = 4096;
static_assert(kMaxPatternBytes < kPage);

// A stretch of readable bytes within the chunk: data[begin .. end).
struct Run {
  std::size_t begin, end;
};

// An answer that means the medium is gone or has shrunk, rather than a damaged sector: any
// failure but an input/output error (which a damaged stretch gives).
bool Vanishes(const IoResult& r) {
  return !r.ok() && r.status != IoStatus::IoError;
}

class Scanner {
 public:
  Scanner(device::MediumReader& medium, const Pattern& pattern, WorkProgress& progress,
          std::size_t chunkBytes)
      : medium_(medium),
        pattern_(pattern),
        progress_(progress),
        chunk_(std::max<std::size_t>(chunkBytes / kSector * kSector, kSector)),
        storage_(chunk_ + 3 * kPage) {
    const auto address = reinterpret_cast<std::uintptr_t>(storage_.data()) + kPage;
    data_ = storage_.data() + (kPage - address % kPage) % kPage + kPage;
  }

  ScanOutcome Forward(std::uint64_t lo, std::uint64_t hi);
  ScanOutcome Backward(std::uint64_t lo, std::uint64_t hi);

 private:
  // Reads medium bytes [pos, pos + len) into data_[0 .. len) and lists the readable runs.
  // False when the scan must end (the medium vanished, or Cancel during a sector-wise read).
  bool ReadChunk(std::uint64_t pos, std::size_t len);
  bool Finish(End end, std::uint64_t offset = 0) {
    outcome_.end = end;
    outcome_.offset = offset;
    return false;
  }

  device::MediumReader& medium_;
  const Pattern& pattern_;
  WorkProgress& progress_;
  const std::size_t chunk_;
  std::vector<std::uint8_t> storage_;
  std::uint8_t* data_ = nullptr;  // the chunk, page-aligned, with a page free on either side
  std::vector<Run> runs_;
  ScanOutcome outcome_;
};

bool Scanner::ReadChunk(std::uint64_t pos, std::size_t len) {
  runs_.clear();
  std::size_t got = 0;
  IoResult r = medium_.Read(pos, data_, len, &got);
  if (r.ok()) return runs_.push_back({0, len}), true;
  if (Vanishes(r)) {
    outcome_.stoppedAt = pos, outcome_.error = r;
    return Finish(End::Vanished);
  }
  // Some sector of the chunk is damaged: read it sector by sector and keep what answers.
  for (std::size_t at = 0; at < len; at += kSector) {
    if (progress_.Cancelled()) return Finish(End::Cancelled);
    const std::size_t n = std::min<std::size_t>(kSector, len - at);
    r = medium_.Read(pos + at, data_ + at, n, &got);
    if (r.ok()) {
      if (!runs_.empty() && runs_.back().end == at)
        runs_.back().end = at + n;
      else
        runs_.push_back({at, at + n});
    } else if (Vanishes(r)) {
      outcome_.stoppedAt = pos + at, outcome_.error = r;
      return Finish(End::Vanished);
    } else {
      const std::uint64_t sector = (pos + at) / kSector;
      if (outcome_.skippedSectors++ == 0 || sector < outcome_.firstSkipped)
        outcome_.firstSkipped = sector;
    }
  }
  return true;
}

// Chunks go up from the sector holding lo. The last pattern_.size() - 1 bytes of a readable
// stretch that reaches the end of a chunk are kept just before data_, so the next chunk's
// first run is searched together with them.
ScanOutcome Scanner::Forward(std::uint64_t lo, std::uint64_t hi) {
  const std::uint64_t start = lo / kSector * kSector;
  std::size_t carry = 0;
  for (std::uint64_t pos = start; pos < hi;) {
    if (progress_.Cancelled()) return Finish(End::Cancelled), outcome_;
    const std::size_t len = static_cast<std::size_t>(std::min<std::uint64_t>(chunk_, hi - pos));
    if (!ReadChunk(pos, len)) return outcome_;
    for (const Run& run : runs_) {
      const std::size_t kept = run.begin == 0 ? carry : 0;
      const std::uint64_t base = pos + run.begin - kept;
      const std::size_t skip = lo > base ? static_cast<std::size_t>(lo - base) : 0;
      const std::size_t n = kept + run.end - run.begin;
      if (n <= skip) continue;
      const std::size_t at = pattern_.FindFirst(data_ + run.begin - kept + skip, n - skip);
      if (at != Pattern::kNone) return Finish(End::Found, base + skip + at), outcome_;
    }
    std::size_t next = 0;
    if (!runs_.empty() && runs_.back().end == len) {
      const Run& tail = runs_.back();
      next = std::min(tail.end - tail.begin + (tail.begin == 0 ? carry : 0), pattern_.size() - 1);
      std::memmove(data_ - next, data_ + len - next, next);
    }
    carry = next;
    pos += len;
    progress_.Report(pos - start, hi - start);
  }
  return outcome_;
}

// Chunks go down from hi. The first pattern_.size() - 1 bytes of a readable stretch that
// begins a chunk are kept just after the next (lower) chunk, to be searched with its last run.
ScanOutcome Scanner::Backward(std::uint64_t lo, std::uint64_t hi) {
  const std::uint64_t start = lo / kSector * kSector;
  std::size_t carry = 0;
  for (std::uint64_t end = hi; end > start;) {
    if (progress_.Cancelled()) return Finish(End::Cancelled), outcome_;
    // Chunks begin on sector boundaries; only the first one read may end inside a sector.
    const std::uint64_t pos =
        end - start > chunk_ ? (end - chunk_ + kSector - 1) / kSector * kSector : start;
    const auto len = static_cast<std::size_t>(end - pos);
    std::memmove(data_ + len, data_, carry);
    if (!ReadChunk(pos, len)) return outcome_;
    for (auto run = runs_.rbegin(); run != runs_.rend(); ++run) {
      const std::size_t kept = run->end == len ? carry : 0;
      const std::uint64_t base = pos + run->begin;
      const std::size_t skip = lo > base ? static_cast<std::size_t>(lo - base) : 0;
      const std::size_t n = run->end - run->begin + kept;
      if (n <= skip) continue;
      const std::size_t at = pattern_.FindLast(data_ + run->begin + skip, n - skip);
      if (at != Pattern::kNone) return Finish(End::Found, base + skip + at), outcome_;
    }
    std::size_t next = 0;
    if (!runs_.empty() && runs_.front().begin == 0) {
      const Run& head = runs_.front();
      next = std::min(head.end + (head.end == len ? carry : 0), pattern_.size() - 1);
    }
    carry = next;
    end = pos;
    progress_.Report(hi - end, hi - start);
  }
  return outcome_;
}

}  // namespace

ScanOutcome Scan(device::MediumReader& medium, const Pattern& pattern, std::uint64_t lo,
                 std::uint64_t hi, Direction direction, WorkProgress& progress,
                 std::size_t chunkBytes) {
  hi = std::min(hi, medium.size());
  if (lo >= hi || hi - lo < pattern.size()) return {};
  Scanner scanner(medium, pattern, progress, chunkBytes);
  return direction == Direction::Forward ? scanner.Forward(lo, hi) : scanner.Backward(lo, hi);
}

}  // namespace dulvex::search
