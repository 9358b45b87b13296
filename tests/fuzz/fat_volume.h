// A small FAT volume in memory made from fuzz input: the first bytes choose the FAT type and
// the layout (up to 512 clusters, so that each input runs fast), the rest fills the FAT, the
// root directory region and the clusters. Its FAT is loaded, as any bytes must allow.
#pragma once

#include <algorithm>
#include <optional>
#include <vector>

#include "fat/byte_source.h"
#include "fat/fat_table.h"
#include "fat/owner_map.h"
#include "fat/tree.h"
#include "fuzz_input.h"

struct FuzzVolume {
  dulvex::fat::Layout layout;
  std::vector<std::uint8_t> bytes;
  std::optional<dulvex::fat::MemorySource> source;  // over `bytes`, once they are made
  std::optional<dulvex::fat::FatTable> table;

  FuzzVolume(const std::uint8_t* data, std::size_t size) {
    std::uint8_t head[4] = {};
    std::copy_n(data, std::min<std::size_t>(size, 4), head);
    using dulvex::fat::FatKind;
    dulvex::fat::Layout& l = layout;
    l.kind = head[0] % 3 == 0 ? FatKind::Fat12 : head[0] % 3 == 1 ? FatKind::Fat16 : FatKind::Fat32;
    l.sectorsPerCluster = 1u << (head[1] % 3);
    l.clusterBytes = l.sectorsPerCluster * 512;
    l.clusterCount = 1 + (head[2] | (head[3] & 0x01) << 8);  // up to 512
    l.fat1Sector = 0;
    l.fatSectors = (std::int64_t{l.clusterCount} + 2) * l.EntryBits() / 8 / 512 + 1;
    l.rootSector = l.fatSectors;
    l.rootSectors = l.kind == FatKind::Fat32 ? 0 : 1 + head[3] / 64;
    l.rootCluster = 2 + head[1] / 3 % 4;
    l.firstDataSector = l.rootSector + l.rootSectors;
    // The data region is as long as the input; clusters past it cannot be read.
    bytes.assign(data + std::min<std::size_t>(size, 4), data + size);
    bytes.resize(
        std::max<std::size_t>(bytes.size(), static_cast<std::size_t>(l.firstDataSector) * 512));
    source.emplace(bytes);
    table = dulvex::fat::LoadFat(*source, l, 0).table;
    Check(table.has_value());
  }
};

// What holds for the walk of any volume: each node lies under a directory walked before it,
// and every live entry among the first `searched` nodes (each path costs a search of its
// directories) is found again by its path, where no name shared by two live entries in a
// damaged directory makes the path lead to the first. The owner map is built, gives every
// cluster one answer, and a free or bad cluster is owned by no chain.
inline void CheckTree(const dulvex::fat::Tree& tree, dulvex::fat::ByteSource& source,
                      const dulvex::fat::FatTable& table, const dulvex::fat::Layout& layout,
                      std::uint32_t searched) {
  namespace fat = dulvex::fat;
  Check(tree.nodes.size() <= fat::Tree::kMaxNodes + 1 && !tree.nodes.empty());
  Check(tree.problems.size() == std::min(tree.problemCount, fat::Tree::kMaxProblems));
  fat::TreeNames names(tree, source);
  std::vector<bool> leadsBack(tree.nodes.size());
  leadsBack[0] = true;
  for (std::uint32_t i = 1; i < tree.nodes.size(); ++i) {
    const fat::Node& n = tree.nodes[i];
    Check(n.parent < i && tree.nodes[n.parent].walked && n.pieces <= 20);
    if (i > searched) continue;
    const auto found = names.Find(names.Path(i));
    leadsBack[i] = leadsBack[n.parent] && found == i;
    if (leadsBack[n.parent] && !n.deleted && !n.IsVolumeLabel()) Check(found.has_value());
  }
  const std::optional<fat::OwnerMap> owners = fat::OwnerMap::Build(tree, table);
  Check(owners.has_value());
  for (std::uint32_t c = 0; c <= layout.MaxCluster() + 1; ++c) {
    const fat::Owner o = owners->Query(table, c);
    const fat::EntryKind k = table.At(c).kind;
    Check((o.kind == fat::Owner::Kind::NotACluster) == !layout.IsCluster(c));
    Check(o.kind != fat::Owner::Kind::File ||
          (o.position >= 1 && o.position <= o.chainLength && k != fat::EntryKind::Free &&
           k != fat::EntryKind::Bad));
    Check(o.runInto.empty() || o.kind == fat::Owner::Kind::Free || o.kind == fat::Owner::Kind::Bad);
  }
}
