// libFuzzer: -max_len=4096 -dict=fat.dict
// Walks the directory tree of a small volume whose FAT and directories hold any bytes: the
// walk ends, keeps its bounds, and every live entry it lists can be found by its path (where
// no name shared by two live entries makes the path ambiguous).

#include "fat_volume.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzVolume v(data, size);
  const dulvex::fat::Tree tree = dulvex::fat::WalkTree(*v.source, *v.table);
  // Each directory cluster and the root region are read at most once.
  const std::size_t entries =
      (v.layout.rootSectors * 512 + std::size_t{v.layout.clusterCount} * v.layout.clusterBytes) /
      32;
  Check(tree.nodes.size() <= 1 + entries);
  CheckTree(tree, *v.source, *v.table, v.layout, 32);
  return 0;
}
