// Follows chains through any FAT bytes: every chain ends, says why, and holds each cluster
// once; a second walk from the same start gives the same chain.
#include <set>

#include "fat/chain.h"
#include "fat_volume.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzVolume v(data, size);
  dulvex::fat::ChainFollower follower(*v.table);
  for (std::uint32_t start = 0; start <= v.layout.MaxCluster() + 1; start += 1 + start / 8) {
    dulvex::fat::ChainEnd end;
    const std::vector<std::uint32_t> chain = follower.Follow(start, &end);
    Check(chain.size() == end.length && chain.size() < v.layout.MaxCluster());
    Check(std::set(chain.begin(), chain.end()).size() == chain.size());
    Check(end.stop != dulvex::fat::ChainStop::Cut);
    Check((end.stop == dulvex::fat::ChainStop::NotACluster) == chain.empty());
    Check(!dulvex::fat::StopText(end, v.layout).empty());
    Check(follower.Follow(start) == chain);
    Check(dulvex::fat::RunsOf(chain).size() <= chain.size());
  }
  return 0;
}
