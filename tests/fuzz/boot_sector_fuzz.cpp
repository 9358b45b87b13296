// libFuzzer: -max_len=520 -dict=boot_sector.dict
// Any 512 bytes through the boot-sector reading alone (no window; the window path is
// volume_flow_fuzz). The eight bytes after the sector choose the geometry left by an earlier
// volume, so the members a sector does not rewrite take arbitrary values too.

#include "fuzz_input.h"
#include "volume/boot_sector.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  InputReader in(data, size);
  dulvex::SectorBytes sector{};
  in.Bytes(sector.data(), sector.size());
  dulvex::VolumeGeometry previous;
  std::uint32_t rootClus = 0, fatSz32 = 0;
  in.Bytes(reinterpret_cast<std::uint8_t*>(&rootClus), 4);
  in.Bytes(reinterpret_cast<std::uint8_t*>(&fatSz32), 4);
  previous.BPB_RootClus = rootClus;
  previous.BPB_FATSz32 = fatSz32;
  const dulvex::BootSectorReading r = dulvex::ReadBootSector(sector, previous);

  const dulvex::VolumeGeometry& g = r.geometry;
  if (r.outcome == dulvex::BootSectorOutcome::Complete) {
    // A usable volume: every sector number the tools reach fits the program's range, and
    // the cluster count is a whole division of the data region.
    for (std::int64_t n :
         {g.Fat1Sector, g.Fat2Sector, g.FirstDataSector, g.Cluster0Sector, g.RootDirEntrySector}) {
      Check(n >= dulvex::kLowestSectorNumber && n <= dulvex::kHighestSectorNumber);
    }
    Check(g.CountofClusters == g.DataSec / g.BPB_SecPerClus);
    Check(g.FatType >= 1 && g.FatType <= 3);
  } else {
    Check(!r.refusal.empty() && g.FatType == 0);  // the rule it breaks, and nothing derived
  }
  return 0;
}
