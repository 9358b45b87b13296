// libFuzzer: -max_len=20480 -dict=fat.dict
// Walks whole crafted volumes: the boot sector, the FAT and the directory clusters all come
// from the input, which is the image (a short one: sectors past its end cannot be read). The
// volume goes the program's way: boot sector, geometry, layout, FAT, tree, owner map, paths
// and the plan of each file's data. Nothing may break a bound, every cluster has one answer,
// and every live entry is found again by its path.
#include "fat/file_data.h"
#include "fat_volume.h"
#include "volume/boot_sector.h"

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
  CheckTree(tree, source, *table, *l.layout, UINT32_MAX);
  fat::ChainFollower follower(*table);
  for (std::uint32_t i = 1; i < tree.nodes.size(); ++i) {
    const fat::Node& n = tree.nodes[i];
    const std::optional<fat::EntryPlace> place = fat::PlaceOf(tree, i);
    Check(place && place->offset % 32 == 0 && place->offset < 512);
    if (n.IsDirectory() || n.IsVolumeLabel()) continue;
    const fat::FileExtents f = fat::PlanFile(follower, n.firstCluster, n.size, n.deleted);
    Check(f.readable <= n.size && f.shortfall.empty() == (f.readable == n.size));
    std::uint64_t clusters = 0;
    for (const fat::Run& r : f.runs) clusters += r.count;
    Check(f.readable <= clusters * l.layout->clusterBytes);
  }
  return 0;
}
