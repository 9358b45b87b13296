// libFuzzer: -max_len=4096 -dict=fat.dict
// Walks the directory tree of a small volume whose FAT and directories hold any bytes: the
// walk ends, keeps its bounds, and every live entry it lists can be found by its path (where
// no name shared by two live entries makes the path ambiguous).

#include <vector>

#include "fat/owner_map.h"
#include "fat/tree.h"
#include "fat_volume.h"

constexpr std::uint32_t kPathsSearched = 32;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzVolume v(data, size);
  const dulvex::fat::Tree tree = dulvex::fat::WalkTree(*v.source, *v.table);
  // Each directory cluster and the root region are read at most once.
  const std::size_t entries =
      (v.layout.rootSectors * 512 + std::size_t{v.layout.clusterCount} * v.layout.clusterBytes) /
      32;
  Check(tree.nodes.size() <= 1 + entries);
  Check(tree.problems.size() <= dulvex::fat::Tree::kMaxProblems);
  Check(tree.problems.size() == std::min(tree.problemCount, dulvex::fat::Tree::kMaxProblems));
  // A damaged directory may hold two live entries of one name; a path through it leads to
  // the first, so only entries whose directories' paths lead back to them must be found.
  std::vector<bool> leadsBack(tree.nodes.size());
  leadsBack[0] = true;
  dulvex::fat::TreeNames names(tree, *v.source);
  for (std::uint32_t i = 1; i < tree.nodes.size(); ++i) {
    const dulvex::fat::Node& n = tree.nodes[i];
    Check(n.parent < i && tree.nodes[n.parent].walked && n.pieces <= 20);
    // Each path costs a search of its directories: the first entries are searched, so that
    // inputs run fast.
    if (i > kPathsSearched) continue;
    const auto found = names.Find(names.Path(i));
    leadsBack[i] = leadsBack[n.parent] && found == i;
    if (leadsBack[n.parent] && !n.deleted && !n.IsVolumeLabel()) Check(found.has_value());
  }
  const auto owners = dulvex::fat::OwnerMap::Build(tree, *v.table);
  Check(owners.has_value());
  for (std::uint32_t c = 0; c <= v.layout.MaxCluster() + 1; ++c) {
    const dulvex::fat::Owner o = owners->Query(*v.table, c);
    Check((o.kind == dulvex::fat::Owner::Kind::NotACluster) == !v.layout.IsCluster(c));
    Check(o.kind != dulvex::fat::Owner::Kind::File ||
          (o.position >= 1 && o.position <= o.chainLength));
  }
  return 0;
}
