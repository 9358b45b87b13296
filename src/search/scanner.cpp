#include "search/scanner.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "device/mapped_guard.h"

namespace dulvex::search {

namespace {

using End = ScanOutcome::End;

constexpr std::uint64_t kSector = device::kSectorSize;
constexpr std::size_t kPage = 4096;

// A stretch of readable bytes within the chunk: data[begin .. end).
struct Run {
  std::size_t begin, end;
};

// An answer that means the medium is gone or has shrunk, rather than a damaged sector: any
// failure but an input/output error (which a damaged stretch gives).
bool Vanishes(const Status& r) {
  return !r.ok() && r.cause != Cause::IoError;
}

// Chunks lie on multiples of the chunk size, so a reader that reads ahead can tell the next
// one; the first and the last may be shorter. Within a chunk the readable runs are searched
// in place. A match that crosses into the next chunk is found in the seam: the last bytes of
// one chunk's edge run (at most size() - 1 of them, kept) followed by the first bytes of the
// next chunk's edge run. Every match in a seam crosses the chunk boundary, so seams and
// chunks together find each match once and in order.
class Scanner {
 public:
  Scanner(device::BulkReader& medium, const Pattern& pattern, WorkProgress& progress,
          std::size_t chunkBytes, const SectorSpan& counted)
      : medium_(medium),
        counted_(counted),
        pattern_(pattern),
        searcher_(pattern),
        progress_(progress),
        chunk_(std::max<std::size_t>(chunkBytes / kSector * kSector, kSector)),
        storage_(chunk_ + kPage) {
    const auto address = reinterpret_cast<std::uintptr_t>(storage_.data());
    buffer_ = storage_.data() + (kPage - address % kPage) % kPage;
  }

  ScanOutcome Forward(std::uint64_t lo, std::uint64_t hi);
  ScanOutcome Backward(std::uint64_t lo, std::uint64_t hi);

 private:
  // What one chunk's search gave: a match at an offset of the medium, or none.
  struct ChunkResult {
    bool found = false;
    std::uint64_t offset = 0;
  };
  struct Stretch {
    std::uint64_t pos;
    std::size_t len;
  };
  // The chunk holding medium bytes [pos, pos + len): in place when the reader lends it (under
  // the SIGBUS guard when it is a mapping), else copied into buffer_ with its runs listed.
  // Once it is lent the reader hears of the `next` chunk, to fetch it meanwhile. False when
  // the scan must end (the medium vanished, or Cancel during a sector-wise read).
  bool SearchChunk(std::uint64_t pos, std::size_t len, Stretch next, std::uint64_t lo, bool forward,
                   ChunkResult* result);
  bool ReadChunk(std::uint64_t pos, std::size_t len);
  // Searches data's runs (bytes before `from` left out) and then sets the kept bytes for the
  // next chunk; *kept holds the current ones on entry.
  ChunkResult SearchRuns(const std::uint8_t* data, std::uint64_t pos, std::size_t len,
                         std::size_t from, bool forward);
  bool Finish(End end, std::uint64_t offset = 0) {
    outcome_.end = end;
    outcome_.offset = offset;
    return false;
  }

  device::BulkReader& medium_;
  const SectorSpan counted_;
  const Pattern& pattern_;
  Searcher searcher_;
  WorkProgress& progress_;
  const std::size_t chunk_;
  std::vector<std::uint8_t> storage_;
  std::uint8_t* buffer_ = nullptr;  // page-aligned room for one chunk
  std::vector<Run> runs_;
  // The seam: kept_ bytes from the edge of the last chunk searched, then room for as many
  // from the next one.
  std::uint8_t seam_[2 * kMaxPatternBytes] = {};
  std::size_t kept_ = 0;
  std::uint8_t nextSeam_[kMaxPatternBytes] = {};
  std::size_t nextKept_ = 0;
  ScanOutcome outcome_;
};

bool Scanner::ReadChunk(std::uint64_t pos, std::size_t len) {
  runs_.clear();
  std::size_t got = 0;
  Status r = medium_.Read(pos, buffer_, len, &got);
  if (r.ok() && got == len) return runs_.push_back({0, len}), true;
  if (r.ok() || Vanishes(r)) {
    outcome_.stoppedAt = pos + (r.ok() ? got : 0);
    outcome_.error = r.ok() ? Status{Cause::ShortTransfer, 0} : r;
    return Finish(End::Vanished);
  }
  // Some sector of the chunk is damaged: read it sector by sector and keep what answers.
  for (std::size_t at = 0; at < len; at += kSector) {
    if (progress_.Cancelled()) return Finish(End::Cancelled);
    const std::size_t n = std::min<std::size_t>(kSector, len - at);
    r = medium_.Read(pos + at, buffer_ + at, n, &got);
    if (r.ok() && got == n) {
      if (!runs_.empty() && runs_.back().end == at)
        runs_.back().end = at + n;
      else
        runs_.push_back({at, at + n});
    } else if (r.ok() || Vanishes(r)) {
      outcome_.stoppedAt = pos + at;
      outcome_.error = r.ok() ? Status{Cause::ShortTransfer, 0} : r;
      return Finish(End::Vanished);
    } else {
      const std::uint64_t sector = (pos + at) / kSector;
      if (sector < counted_.first || sector >= counted_.end) continue;
      if (outcome_.skippedSectors++ == 0 || sector < outcome_.firstSkipped)
        outcome_.firstSkipped = sector;
    }
  }
  return true;
}

Scanner::ChunkResult Scanner::SearchRuns(const std::uint8_t* data, std::uint64_t pos,
                                         std::size_t len, std::size_t from, bool forward) {
  const std::size_t keep = pattern_.size() - 1;
  ChunkResult result;
  nextKept_ = 0;
  const auto visit = [&](const Run& run) {
    const std::size_t begin = std::max(run.begin, from);
    if (begin >= run.end) return false;
    const std::uint8_t* p = data + begin;
    const std::size_t n = run.end - begin;
    // The seam with the chunk searched before, on this run's side of the chunk.
    const bool edge = forward ? begin == 0 : run.end == len;
    if (edge && kept_ > 0) {
      const std::size_t take = std::min(n, keep);
      std::size_t at;
      if (forward) {
        std::memcpy(seam_ + kept_, p, take);
        at = searcher_.FindFirst(seam_, kept_ + take);
        if (at != Pattern::kNone) return result = {true, pos - kept_ + at}, true;
      } else {
        std::memmove(seam_ + take, seam_, kept_);
        std::memcpy(seam_, p + n - take, take);
        at = searcher_.FindLast(seam_, take + kept_);
        if (at != Pattern::kNone) return result = {true, pos + run.end - take + at}, true;
      }
    }
    const std::size_t at = forward ? searcher_.FindFirst(p, n) : searcher_.FindLast(p, n);
    if (at != Pattern::kNone) return result = {true, pos + begin + at}, true;
    // The bytes the next chunk's seam begins with: this run's far edge, with the bytes kept
    // before it when the run is shorter than they are and reaches back to them.
    const bool far = forward ? run.end == len : begin == 0;
    if (far && keep > 0) {
      const bool joined = forward ? begin == 0 : run.end == len;
      if (forward) {
        const std::size_t old = joined ? std::min(kept_, keep - std::min(n, keep)) : 0;
        const std::size_t take = std::min(n, keep);
        std::memcpy(nextSeam_, seam_ + kept_ - old, old);
        std::memcpy(nextSeam_ + old, p + n - take, take);
        nextKept_ = old + take;
      } else {
        const std::size_t take = std::min(n, keep);
        const std::size_t old = joined ? std::min(kept_, keep - take) : 0;
        // seam_ holds this run's last bytes and then the old kept ones; the old ones come
        // after the run's own.
        std::memcpy(nextSeam_, p, take);
        std::memcpy(nextSeam_ + take, seam_ + (kept_ > 0 && joined ? std::min(n, keep) : 0), old);
        nextKept_ = take + old;
      }
    }
    return false;
  };
  if (forward) {
    for (const Run& run : runs_) {
      if (visit(run)) return result;
    }
  } else {
    for (std::size_t i = runs_.size(); i-- > 0;) {
      if (visit(runs_[i])) return result;
    }
  }
  return result;
}

bool Scanner::SearchChunk(std::uint64_t pos, std::size_t len, Stretch next, std::uint64_t lo,
                          bool forward, ChunkResult* result) {
  const std::size_t from = lo > pos ? static_cast<std::size_t>(lo - pos) : 0;
  const device::Borrowed lent = medium_.Borrow(pos, len);
  if (next.len > 0) medium_.WillBorrow(next.pos, next.len);
  if (lent.data != nullptr) {
    runs_.assign(1, Run{0, len});
    if (!lent.mapped) return *result = SearchRuns(lent.data, pos, len, from, forward), true;
    // The seam may be half written when a page fails: it is rebuilt from a copy below.
    std::uint8_t seam[2 * kMaxPatternBytes];
    const std::size_t kept = kept_;
    std::memcpy(seam, seam_, kept);
    auto work = [&] { *result = SearchRuns(lent.data, pos, len, from, forward); };
    if (device::RunGuarded(lent.data, len, work)) return true;
    // A page of the mapping failed: the chunk again, through reads that name the sectors.
    std::memcpy(seam_, seam, kept);
  }
  if (!ReadChunk(pos, len)) return false;
  *result = SearchRuns(buffer_, pos, len, from, forward);
  return true;
}

// Chunks go up from the sector holding lo.
ScanOutcome Scanner::Forward(std::uint64_t lo, std::uint64_t hi) {
  const std::uint64_t start = lo / kSector * kSector;
  for (std::uint64_t pos = start; pos < hi;) {
    if (progress_.Cancelled()) return outcome_.stoppedAt = pos, Finish(End::Cancelled), outcome_;
    const std::uint64_t end = std::min(hi, (pos / chunk_ + 1) * chunk_);
    const auto len = static_cast<std::size_t>(end - pos);
    const std::uint64_t after = std::min(hi, end + chunk_);
    ChunkResult found;
    if (!SearchChunk(pos, len, {end, static_cast<std::size_t>(after - end)}, lo, true, &found)) {
      if (outcome_.end == End::Cancelled) outcome_.stoppedAt = pos;  // in this chunk's read
      return outcome_;
    }
    if (found.found) return Finish(End::Found, found.offset), outcome_;
    std::memcpy(seam_, nextSeam_, nextKept_);
    kept_ = nextKept_;
    pos = end;
    progress_.Report(pos - start, hi - start);
  }
  return outcome_;
}

// Chunks go down from hi.
ScanOutcome Scanner::Backward(std::uint64_t lo, std::uint64_t hi) {
  const std::uint64_t start = lo / kSector * kSector;
  for (std::uint64_t end = hi; end > start;) {
    if (progress_.Cancelled()) return outcome_.stoppedAt = end, Finish(End::Cancelled), outcome_;
    const std::uint64_t pos = std::max(start, (end - 1) / chunk_ * chunk_);
    const auto len = static_cast<std::size_t>(end - pos);
    const std::uint64_t below = pos > start ? std::max(start, (pos - 1) / chunk_ * chunk_) : pos;
    ChunkResult found;
    if (!SearchChunk(pos, len, {below, static_cast<std::size_t>(pos - below)}, lo, false, &found)) {
      if (outcome_.end == End::Cancelled) outcome_.stoppedAt = end;  // in this chunk's read
      return outcome_;
    }
    if (found.found) return Finish(End::Found, found.offset), outcome_;
    std::memcpy(seam_, nextSeam_, nextKept_);
    kept_ = nextKept_;
    end = pos;
    progress_.Report(hi - end, hi - start);
  }
  return outcome_;
}

}  // namespace

ScanOutcome Scan(device::BulkReader& medium, const Pattern& pattern, std::uint64_t lo,
                 std::uint64_t hi, Direction direction, WorkProgress& progress,
                 std::size_t chunkBytes, const SectorSpan& counted) {
  hi = std::min(hi, medium.size());
  if (lo >= hi || hi - lo < pattern.size()) return {};
  if (chunkBytes == 0) chunkBytes = std::max(kChunkBytes, medium.PreferredChunk());
  Scanner scanner(medium, pattern, progress, chunkBytes, counted);
  return direction == Direction::Forward ? scanner.Forward(lo, hi) : scanner.Backward(lo, hi);
}

}  // namespace dulvex::search
