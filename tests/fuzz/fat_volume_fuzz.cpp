// libFuzzer: -max_len=20480 -dict=fat.dict
// Walks whole crafted volumes: the boot sector, the FAT and the directory clusters all come
// from the input, which is the image (a short one: sectors past its end cannot be read). The
// volume goes the program's way: boot sector, geometry, layout, FAT, tree, owner map, paths
// and the plan of each file's data. Nothing may break a bound, every cluster has one answer,
// and every live entry is found again by its path.
#include <vector>

#include "fat/file_data.h"
#include "fat/owner_map.h"
#include "fat/tree.h"
#include "fuzz_input.h"
#include "volume/boot_sector.h"

using dulvex::fuzz::Check;
namespace fat = dulvex::fat;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dulvex::SectorBytes boot{};
  std::copy_n(data, std::min<std::size_t>(size, 512), boot.begin());
  const dulvex::BootSectorReading reading = dulvex::ReadBootSector(boot, {});
  if (reading.outcome != dulvex::BootSectorOutcome::Complete) return 0;
  const fat::LayoutReading l = fat::LayoutOf(reading.geometry);
  // The owner map takes 8 bytes a cluster: volumes up to the smallest FAT32 keep runs fast.
  if (!l.layout || l.layout->MaxCluster() > 70000) return 0;
  fat::MemorySource source(std::span(data, size));
  const std::optional<fat::FatTable> table = fat::LoadFat(source, *l.layout, 0).table;
  if (!table) return 0;
  const fat::Tree tree = fat::WalkTree(source, *table);
  Check(tree.nodes.size() <= fat::Tree::kMaxNodes + 1 && !tree.nodes.empty());
  Check(tree.problems.size() == std::min(tree.problemCount, fat::Tree::kMaxProblems));
  const std::optional<fat::OwnerMap> owners = fat::OwnerMap::Build(tree, *table);
  Check(owners.has_value());
  fat::TreeNames names(tree, source);
  fat::ChainFollower follower(*table);
  std::vector<bool> leadsBack(tree.nodes.size());
  leadsBack[0] = true;
  for (std::uint32_t i = 1; i < tree.nodes.size(); ++i) {
    const fat::Node& n = tree.nodes[i];
    Check(n.parent < i && tree.nodes[n.parent].walked && n.pieces <= 20);
    const std::optional<fat::EntryPlace> place = fat::PlaceOf(tree, i);
    Check(place && place->offset % 32 == 0 && place->offset < 512);
    const auto found = names.Find(names.Path(i));
    leadsBack[i] = leadsBack[n.parent] && found == i;
    if (leadsBack[n.parent] && !n.deleted && !n.IsVolumeLabel()) Check(found.has_value());
    if (n.IsDirectory() || n.IsVolumeLabel()) continue;
    const fat::FileExtents f = fat::PlanFile(follower, n.firstCluster, n.size, n.deleted);
    Check(f.readable <= n.size && f.shortfall.empty() == (f.readable == n.size));
    std::uint64_t clusters = 0;
    for (const fat::Run& r : f.runs) clusters += r.count;
    Check(f.readable <= clusters * l.layout->clusterBytes);
  }
  // Every cluster has one answer; a free or bad one is owned by no chain.
  for (std::uint32_t c = 0; c <= l.layout->MaxCluster() + 1; ++c) {
    const fat::Owner o = owners->Query(*table, c);
    const fat::EntryKind k = table->At(c).kind;
    Check((o.kind == fat::Owner::Kind::NotACluster) == !l.layout->IsCluster(c));
    Check(o.kind != fat::Owner::Kind::File ||
          (o.position >= 1 && o.position <= o.chainLength && k != fat::EntryKind::Free &&
           k != fat::EntryKind::Bad));
    Check(o.runInto.empty() || o.kind == fat::Owner::Kind::Free || o.kind == fat::Owner::Kind::Bad);
  }
  return 0;
}
