// Any 512 bytes through the boot-sector reading and into the volume panel of a model built
// as at start-up. The first input bytes also choose the geometry left by an earlier volume,
// so the members a sector does not rewrite take arbitrary values too.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_model.h"
#include "volume/boot_sector.h"

namespace {}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dulvex::SectorBytes sector{};
  std::memcpy(sector.data(), data, size < sector.size() ? size : sector.size());
  dulvex::VolumeGeometry previous;
  if (size > sector.size() + 8) {
    std::memcpy(&previous.BPB_RootClus, data + sector.size(), 4);
    std::memcpy(&previous.BPB_FATSz32, data + sector.size() + 4, 4);
    previous.BPB_RootClus &= 0xFFFFFFFF;
    previous.BPB_FATSz32 &= 0xFFFFFFFF;
  }
  dulvex::BootSectorReading r = dulvex::ReadBootSector(sector, previous);
  dulvex::WindowModel& model = FuzzModel();
  for (const dulvex::PanelText& t : r.texts) model.At(t.name, t.index).caption = t.text;

  const dulvex::VolumeGeometry& g = r.geometry;
  if (r.outcome == dulvex::BootSectorOutcome::Complete) {
    // A usable volume: every sector number the tools reach fits the program's range, and
    // the cluster count is a whole division of the data region.
    for (std::int64_t n :
         {g.Fat1Sector, g.Fat2Sector, g.FirstDataSector, g.Cluster0Sector, g.RootDirEntrySector}) {
      if (n < dulvex::kLowestSectorNumber || n > dulvex::kHighestSectorNumber) __builtin_trap();
    }
    if (g.CountofClusters != g.DataSec / g.BPB_SecPerClus) __builtin_trap();
    if (g.FatType < 1 || g.FatType > 3) __builtin_trap();
  }
  return 0;
}
