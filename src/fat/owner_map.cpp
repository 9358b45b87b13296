#include "fat/owner_map.h"

#include <algorithm>
#include <new>

namespace dulvex::fat {

OwnerMap::Numbers OwnerMap::Zeroed(std::size_t n) {
  Numbers p(static_cast<std::uint32_t*>(std::calloc(n, sizeof(std::uint32_t))));
  if (!p) throw std::bad_alloc();
  return p;
}

std::optional<OwnerMap> OwnerMap::Build(const Tree& tree, const FatTable& fat,
                                        WorkProgress* progress, std::vector<ChainEnd>* ends) {
  const Layout& l = fat.layout();
  OwnerMap map;
  map.clusters_ = std::size_t{l.MaxCluster()} + 1;
  map.owner_ = Zeroed(map.clusters_);
  map.position_ = Zeroed(map.clusters_);
  map.length_.assign(tree.nodes.size(), 0);
  if (ends != nullptr) ends->assign(tree.nodes.size(), ChainEnd{});
  ChainFollower follower(fat);
  for (std::uint32_t i = 0; i < tree.nodes.size(); ++i) {
    if (progress != nullptr && i % 4096 == 0) {
      progress->Report(i, tree.nodes.size());
      if (progress->Cancelled()) return std::nullopt;
    }
    const Node& n = tree.nodes[i];
    if (n.deleted || n.IsVolumeLabel() || !l.IsCluster(n.firstCluster)) continue;
    if (i == 0 && l.kind != FatKind::Fat32) continue;  // the fixed root region
    std::uint32_t position = 0;
    const ChainEnd end = follower.Walk(n.firstCluster, [&](std::uint32_t c) {
      ++position;
      if (map.owner_[c] == 0) {
        map.owner_[c] = i + 1;
        map.position_[c] = position;
      } else {
        if (map.others_.count(c) == 0) ++map.crossLinked_;
        if (map.others_.size() < kMaxOthers) map.others_.emplace(c, std::pair(i, position));
      }
      return true;
    });
    map.length_[i] = position;
    if (ends != nullptr) (*ends)[i] = end;
    if ((end.stop == ChainStop::Free || end.stop == ChainStop::Bad) &&
        map.runInto_.size() < kMaxOthers)
      map.runInto_.emplace(end.into, std::pair(i, end.last));
  }
  if (progress != nullptr) progress->Report(tree.nodes.size(), tree.nodes.size());
  return map;
}

Owner OwnerMap::Query(const FatTable& fat, std::uint32_t cluster) const {
  Owner o;
  if (!fat.layout().IsCluster(cluster) || cluster >= clusters_) return o;
  if (const std::uint32_t node = owner_[cluster]; node != 0) {
    o.kind = Owner::Kind::File;
    o.node = node - 1;
    o.position = position_[cluster];
    o.chainLength = length_[o.node];
    if (!others_.empty()) {
      const auto [first, last] = others_.equal_range(cluster);
      for (auto it = first; it != last; ++it) o.others.push_back(it->second);
    }
    return o;
  }
  if (!runInto_.empty()) {
    const auto [first, last] = runInto_.equal_range(cluster);
    for (auto it = first; it != last; ++it) o.runInto.push_back(it->second);
    std::sort(o.runInto.begin(), o.runInto.end());
  }
  switch (fat.At(cluster).kind) {
    case EntryKind::Free:
      o.kind = Owner::Kind::Free;
      break;
    case EntryKind::Bad:
      o.kind = Owner::Kind::Bad;
      break;
    case EntryKind::Reserved:
      o.kind = Owner::Kind::Reserved;
      break;
    default:
      o.kind = Owner::Kind::Lost;
  }
  return o;
}

std::vector<std::uint32_t> OwnerMap::CrossLinkedClusters() const {
  std::vector<std::uint32_t> clusters;
  for (const auto& [cluster, other] : others_) clusters.push_back(cluster);
  std::sort(clusters.begin(), clusters.end());
  clusters.erase(std::unique(clusters.begin(), clusters.end()), clusters.end());
  return clusters;
}

std::uint64_t OwnerMap::ClusterBytes() const {
  return std::uint64_t{clusters_} * 2 * 4;
}

std::uint64_t OwnerMap::Bytes() const {
  return ClusterBytes() + length_.capacity() * 4 + (others_.size() + runInto_.size()) * 32 +
         (others_.bucket_count() + runInto_.bucket_count()) * 8;
}

}  // namespace dulvex::fat
