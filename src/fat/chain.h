// Cluster chains: from a start cluster, each FAT entry names the next cluster until one
// ends the chain. A chain always says why it stopped; a cluster met twice (a loop) is found
// in time proportional to the chain's length with a bitmap of the clusters seen.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fat/fat_table.h"

namespace dulvex::fat {

enum class ChainStop {
  End,          // the last entry marks the end of the chain
  Free,         // the chain runs into a free cluster (`into`), which it does not take
  Bad,          // the chain runs into a cluster marked bad (`into`), which it does not take
  OutOfRange,   // the last entry names no cluster of the volume: taken as the end
  Reserved,     // the last entry holds a reserved value: taken as the end
  Loop,         // the last entry names a cluster already in the chain
  NotACluster,  // the start is no data cluster: the chain is empty
  Cut,          // the caller stopped following
};

// A chain stops where fsck.fat stops it: a link into a free or a bad cluster ends the chain
// before that cluster (a start that is free or bad gives an empty chain); an entry that
// names no cluster or holds a reserved value makes its cluster the last one.
struct ChainEnd {
  ChainStop stop = ChainStop::End;
  std::uint32_t start = 0;
  std::uint32_t last = 0;    // the last cluster of the chain (0 when it is empty)
  std::uint32_t value = 0;   // the entry of `last`, which stopped the chain
  std::uint32_t into = 0;    // Free, Bad: the cluster the chain runs into
  std::uint64_t length = 0;  // clusters in the chain
};

// Why the chain stopped, in words: "end of chain", "runs into free cluster 56", "loop:
// cluster 41 points back to cluster 2".
std::string StopText(const ChainEnd& end, const Layout& layout);

class ChainFollower {
 public:
  explicit ChainFollower(const FatTable& fat)
      : fat_(fat), seen_((std::uint64_t{fat.layout().MaxCluster()} + 64) / 64) {}

  // Calls visit(cluster) for each cluster of the chain from `start`, in order; when visit
  // returns false the walk stops there (ChainStop::Cut, that cluster counted).
  template <typename Visit>
  ChainEnd Walk(std::uint32_t start, Visit&& visit);

  // The clusters of the chain from `start`.
  std::vector<std::uint32_t> Follow(std::uint32_t start, ChainEnd* end = nullptr);

  const FatTable& fat() const { return fat_; }

 private:
  bool Seen(std::uint32_t n) const { return (seen_[n / 64] >> (n % 64) & 1) != 0; }
  void Mark(std::uint32_t n) { seen_[n / 64] |= std::uint64_t{1} << (n % 64); }
  // Clears the marks of the first `length` clusters from `start` again.
  void Unmark(std::uint32_t start, std::uint64_t length);

  const FatTable& fat_;
  std::vector<std::uint64_t> seen_;  // one bit per cluster, all clear between walks
};

// Runs of consecutive clusters ("2-17" is one run of 16).
struct Run {
  std::uint32_t first = 0;
  std::uint32_t count = 0;
  std::uint32_t last() const { return first + count - 1; }
};
std::vector<Run> RunsOf(std::span<const std::uint32_t> clusters);
// The same, each run handed to `each` as it is found, with no list of its own.
template <typename Each>
void ForEachRun(std::span<const std::uint32_t> clusters, Each each) {
  for (std::size_t i = 0; i < clusters.size();) {
    std::size_t j = i + 1;
    while (j < clusters.size() && clusters[j] == clusters[j - 1] + 1) ++j;
    each(Run{clusters[i], static_cast<std::uint32_t>(j - i)});
    i = j;
  }
}
// "2-17, 40-41, 1009"; after `most` runs, ", ..." stands for the rest.
std::string RangesText(std::span<const Run> runs, std::size_t most = SIZE_MAX);

template <typename Visit>
ChainEnd ChainFollower::Walk(std::uint32_t start, Visit&& visit) {
  const Layout& l = fat_.layout();
  ChainEnd end;
  end.start = start;
  if (!l.IsCluster(start)) {
    end.stop = ChainStop::NotACluster;
    return end;
  }
  std::uint32_t n = start;
  Entry e = fat_.At(n);
  for (;;) {
    if (e.kind == EntryKind::Free || e.kind == EntryKind::Bad) {
      end.stop = e.kind == EntryKind::Free ? ChainStop::Free : ChainStop::Bad;
      end.into = n;
      break;
    }
    Mark(n);
    ++end.length;
    end.last = n;
    end.value = e.value;
    if (!visit(n)) {
      end.stop = ChainStop::Cut;
      break;
    }
    if (e.kind == EntryKind::Next) {
      if (Seen(e.Next())) {
        end.stop = ChainStop::Loop;
        break;
      }
      n = e.Next();
      e = fat_.At(n);
      continue;
    }
    end.stop = e.kind == EntryKind::End        ? ChainStop::End
               : e.kind == EntryKind::Reserved ? ChainStop::Reserved
                                               : ChainStop::OutOfRange;
    break;
  }
  Unmark(start, end.length);
  return end;
}

}  // namespace dulvex::fat
