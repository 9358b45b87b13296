// libFuzzer: -max_len=4096 -dict=fat.dict
// Follows chains through any FAT bytes: every chain ends, says why, and holds each cluster
// once; a second walk from the same start gives the same chain.
#include <algorithm>

#include "fat/chain.h"
#include "fat_volume.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzVolume v(data, size);
  dulvex::fat::ChainFollower follower(*v.table);
  for (std::uint32_t start = 0; start <= v.layout.MaxCluster() + 1; start += 1 + start / 8) {
    dulvex::fat::ChainEnd end;
    const std::vector<std::uint32_t> chain = follower.Follow(start, &end);
    Check(chain.size() == end.length && chain.size() < v.layout.MaxCluster());
    std::vector<std::uint32_t> sorted = chain;
    std::sort(sorted.begin(), sorted.end());
    Check(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end());
    Check(end.stop != dulvex::fat::ChainStop::Cut);
    // Empty only when the start is no cluster, or is free or bad itself.
    Check(chain.empty() == (end.stop == dulvex::fat::ChainStop::NotACluster || end.into == start));
    // A chain never takes a free or bad cluster, nor one past the volume.
    for (const std::uint32_t c : chain) {
      const dulvex::fat::EntryKind k = v.table->At(c).kind;
      Check(v.layout.IsCluster(c) && k != dulvex::fat::EntryKind::Free &&
            k != dulvex::fat::EntryKind::Bad);
    }
    Check(!dulvex::fat::StopText(end, v.layout).empty());
    Check(follower.Follow(start) == chain);
    Check(dulvex::fat::RunsOf(chain).size() <= chain.size());
  }
  return 0;
}
