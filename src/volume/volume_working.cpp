#include "volume/volume_working.h"

namespace dulvex {

namespace {

std::string N(std::int64_t v) {
  return std::to_string(v);
}

// The FAT type concluded from the cluster count, with the threshold that decides it.
std::string TypeConclusion(std::int64_t count) {
  if (count < 4085) return " < 4085 → FAT12";
  if (count < 65525) return " ≥ 4085, < 65525 → FAT16";
  return " ≥ 65525 → FAT32";
}

}  // namespace

std::vector<PanelText> WorkingTooltips(const VolumeGeometry& g, bool worked,
                                       const std::string& refusal) {
  const bool fat16Size = g.BPB_FATSz16 != 0;
  const std::string fatSz = fat16Size ? "BPB_FATSz16" : "BPB_FATSz32";
  const std::string totSec = g.BPB_TotSec16 != 0 ? "BPB_TotSec16" : "BPB_TotSec32";
  const std::string count = "Count of Cluster = ⌊" + N(g.DataSec) + " / " + N(g.BPB_SecPerClus) +
                            "⌋ = " + N(g.CountofClusters) +
                            (refusal.empty() ? TypeConclusion(g.CountofClusters) : "");
  const std::string countFormula = "Count of Cluster = ⌊DataSec / BPB_SecPerClus⌋";
  // The FAT32 layout finds the root directory in a cluster, the other in a fixed region.
  const bool fat32Root = !fat16Size;

  struct Working {
    int index;  // of Label2
    std::string formula, numbers;
  };
  std::vector<Working> rows = {
      {19, "RootDirSectors = ⌈(BPB_RootEntCnt × 32) / BPB_BytsPerSec⌉",
       "RootDirSectors = ⌈(" + N(g.BPB_RootEntCnt) + " × 32) / " + N(g.BPB_BytsPerSec) +
           "⌉ = " + N(g.RootDirSectors)},
      {23, "FirstDataSector = BPB_RsvdSec + BPB_NumFATs × " + fatSz + " + RootDirSectors",
       "FirstDataSector = " + N(g.BPB_RsvdSec) + " + " + N(g.BPB_NumFATs) + " × " + N(g.FATSz) +
           " + " + N(g.RootDirSectors) + " = " + N(g.FirstDataSector)},
      {27, "DataSec = " + totSec + " − FirstDataSector",
       "DataSec = " + N(g.TotSec) + " − " + N(g.FirstDataSector) + " = " + N(g.DataSec)},
      {28, countFormula, count},
      {29, countFormula, count},
      {15, "Fat1Sector = BPB_RsvdSec", "Fat1Sector = " + N(g.Fat1Sector)},
      {14, "Fat2Sector = Fat1Sector + " + fatSz,
       g.BPB_NumFATs < 2 && worked
           ? "No second FAT: BPB_NumFATs = " + N(g.BPB_NumFATs)
           : "Fat2Sector = " + N(g.Fat1Sector) + " + " + N(g.FATSz) + " = " + N(g.Fat2Sector)},
      {24, "Cluster0Sector = FirstDataSector − 2 × BPB_SecPerClus",
       "Cluster0Sector = " + N(g.FirstDataSector) + " − 2 × " + N(g.BPB_SecPerClus) + " = " +
           N(g.Cluster0Sector)},
      fat32Root
          ? Working{22, "RootDirEntrySector = Cluster0Sector + BPB_RootClus × BPB_SecPerClus",
                    "RootDirEntrySector = " + N(g.Cluster0Sector) + " + " + N(g.BPB_RootClus) +
                        " × " + N(g.BPB_SecPerClus) + " = " +
                        N(g.Cluster0Sector + g.BPB_RootClus * g.BPB_SecPerClus)}
          : Working{22, "RootDirEntrySector = BPB_RsvdSec + BPB_NumFATs × " + fatSz,
                    "RootDirEntrySector = " + N(g.BPB_RsvdSec) + " + " + N(g.BPB_NumFATs) + " × " +
                        N(g.FATSz) + " = " + N(g.BPB_RsvdSec + g.BPB_NumFATs * g.FATSz)},
  };
  std::vector<PanelText> tips;
  for (const Working& w : rows) {
    std::string text = w.formula;
    if (worked) text += "\n" + w.numbers;
    if (!refusal.empty()) text += "\nVolume refused: " + refusal + ".";
    tips.push_back({"Label2", w.index, std::move(text)});
  }
  return tips;
}

}  // namespace dulvex
