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
        // The first chain's position keeps a mark once a second chain holds the cluster.
        if ((map.position_[c] & kCrossed) == 0) ++map.crossLinked_, map.position_[c] |= kCrossed;
        if (map.others_.size() < kMaxOthers) map.others_.push_back({c, i, position});
      }
      return true;
    });
    map.length_[i] = position;
    if (ends != nullptr) (*ends)[i] = end;
    if ((end.stop == ChainStop::Free || end.stop == ChainStop::Bad) &&
        map.runInto_.size() < kMaxOthers)
      map.runInto_.push_back({end.into, i, end.last});
  }
  std::sort(map.others_.begin(), map.others_.end());
  std::sort(map.runInto_.begin(), map.runInto_.end());
  if (progress != nullptr) progress->Report(tree.nodes.size(), tree.nodes.size());
  return map;
}

std::pair<const OwnerMap::Link*, const OwnerMap::Link*> OwnerMap::LinksOf(
    const std::vector<Link>& links, std::uint32_t cluster) {
  const Link* first = links.data();
  const Link* last = first + links.size();
  if (first == last || cluster < first->cluster || cluster > last[-1].cluster) return {last, last};
  first = std::lower_bound(first, last, cluster,
                           [](const Link& l, std::uint32_t c) { return l.cluster < c; });
  last = std::upper_bound(first, last, cluster,
                          [](std::uint32_t c, const Link& l) { return c < l.cluster; });
  return {first, last};
}

Owner OwnerMap::Query(const FatTable& fat, std::uint32_t cluster) const {
  Owner o;
  if (!fat.layout().IsCluster(cluster) || cluster >= clusters_) return o;
  if (const std::uint32_t node = owner_[cluster]; node != 0) {
    o.kind = Owner::Kind::File;
    o.node = node - 1;
    o.position = position_[cluster] & ~kCrossed;
    o.chainLength = length_[o.node];
    if ((position_[cluster] & kCrossed) != 0) {
      const auto [first, last] = LinksOf(others_, cluster);
      for (const Link* l = first; l != last; ++l) o.others.emplace_back(l->node, l->at);
    }
    return o;
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
      return o;
    default:
      o.kind = Owner::Kind::Lost;
      return o;
  }
  // Only a free or a bad cluster stops a chain that runs into it.
  const auto [first, last] = LinksOf(runInto_, cluster);
  for (const Link* l = first; l != last; ++l) o.runInto.emplace_back(l->node, l->at);
  return o;
}

std::vector<std::uint32_t> OwnerMap::CrossLinkedClusters() const {
  std::vector<std::uint32_t> clusters;
  for (const Link& l : others_) {
    if (clusters.empty() || clusters.back() != l.cluster) clusters.push_back(l.cluster);
  }
  return clusters;
}

std::uint64_t OwnerMap::ClusterBytes() const {
  return std::uint64_t{clusters_} * 2 * 4;
}

std::uint64_t OwnerMap::Bytes() const {
  return ClusterBytes() + length_.capacity() * 4 +
         (others_.capacity() + runInto_.capacity()) * sizeof(Link);
}

}  // namespace dulvex::fat
