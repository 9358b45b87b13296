// Whose cluster is this: every live file's and directory's chain written into one map from
// cluster to owner and position, 8 bytes per cluster (and 4 per entry for its chain's
// length), so that a question answers at once.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "base/progress.h"
#include "fat/tree.h"

namespace dulvex::fat {

struct Owner {
  enum class Kind {
    File,        // in the chain of `node` (a file or a directory), at `position`
    Free,        // not allocated
    Bad,         // marked bad
    Lost,        // allocated, but in no file's chain
    Reserved,    // its entry holds a reserved value and no chain reaches it
    NotACluster  // no data cluster of the volume
  };
  Kind kind = Kind::NotACluster;
  std::uint32_t node = 0;
  std::uint32_t position = 0;     // 1 for the first cluster of the chain
  std::uint32_t chainLength = 0;  // clusters in that chain
  // Further chains that hold the same cluster (cross-links): node and position.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> others;
  // A free or bad cluster: the chains that run into it and stop there, each with the
  // cluster whose entry points at it (0 when the chain starts there).
  std::vector<std::pair<std::uint32_t, std::uint32_t>> runInto;
};

class OwnerMap {
 public:
  // Follows the chain of the root directory (FAT32) and of every live entry with a first
  // cluster. Progress counts the tree's nodes. Returns nothing when cancelled. `ends`, when
  // given, receives how each node's chain ended (a default ChainEnd for a node without one).
  static std::optional<OwnerMap> Build(const Tree& tree, const FatTable& fat,
                                       WorkProgress* progress = nullptr,
                                       std::vector<ChainEnd>* ends = nullptr);

  // The owner of `cluster`; `fat` is the one the map was built from.
  Owner Query(const FatTable& fat, std::uint32_t cluster) const;
  // Memory held, in bytes: for each cluster, and in all.
  std::uint64_t ClusterBytes() const;
  std::uint64_t Bytes() const;
  // Clusters held by more than one chain (each counted once).
  std::uint64_t crossLinked() const { return crossLinked_; }
  // The clusters of the chain of `node`, as far as the map followed it (0 when it has none).
  std::uint32_t ChainLength(std::uint32_t node) const {
    return node < length_.size() ? length_[node] : 0;
  }
  // Whether some chain holds `cluster`.
  bool Owned(std::uint32_t cluster) const { return cluster < clusters_ && owner_[cluster] != 0; }
  // The clusters held by more than one chain, ascending (as far as the others are kept).
  std::vector<std::uint32_t> CrossLinkedClusters() const;

 private:
  static constexpr std::size_t kMaxOthers = 100000;
  // Set in position_ for a cluster that more than one chain holds.
  static constexpr std::uint32_t kCrossed = 0x80000000;
  // One number per cluster, from calloc: the pages of clusters no chain reaches are never
  // touched, so a large volume with few clusters in use costs little memory and time.
  struct Free {
    void operator()(std::uint32_t* p) const { std::free(p); }
  };
  using Numbers = std::unique_ptr<std::uint32_t[], Free>;
  static Numbers Zeroed(std::size_t n);
  std::size_t clusters_ = 0;           // entries of owner_ and position_
  Numbers owner_;                      // node + 1 of the first chain met; 0 for none
  Numbers position_;                   // 1-based position in that chain
  std::vector<std::uint32_t> length_;  // per node: clusters in its chain
  // The further chains of the cross-linked clusters, and the chains that run into free or bad
  // ones: cluster, node, and position or the cluster pointing in; sorted once built.
  struct Link {
    std::uint32_t cluster, node, at;
    bool operator<(const Link& o) const {
      return cluster != o.cluster ? cluster < o.cluster
             : node != o.node     ? node < o.node
                                  : at < o.at;
    }
  };
  std::vector<Link> others_, runInto_;
  // The links of `cluster` in a sorted list.
  static std::pair<const Link*, const Link*> LinksOf(const std::vector<Link>& links,
                                                     std::uint32_t cluster);
  std::uint64_t crossLinked_ = 0;
};

}  // namespace dulvex::fat
