#include "volume/volume_working.h"

#include <initializer_list>
#include <string_view>

#include "base/numbers.h"

namespace dulvex {

namespace {

void Put(std::string& out, std::string_view text) {
  out += text;
}
void Put(std::string& out, std::int64_t v) {
  AppendDecimal(out, v);
}

// The FAT type concluded from the cluster count, with the threshold that decides it.
std::string_view TypeConclusion(std::int64_t count) {
  if (count < 4085) return " < 4085 → FAT12";
  if (count < 65525) return " ≥ 4085, < 65525 → FAT16";
  return " ≥ 65525 → FAT32";
}

}  // namespace

std::vector<PanelText> WorkingTooltips(const VolumeGeometry& g, bool worked,
                                       const std::string& refusal) {
  const bool fat16Size = g.BPB_FATSz16 != 0;
  const std::string_view fatSz = fat16Size ? "BPB_FATSz16" : "BPB_FATSz32";
  const std::string_view totSec = g.BPB_TotSec16 != 0 ? "BPB_TotSec16" : "BPB_TotSec32";
  const std::string_view conclusion = refusal.empty() ? TypeConclusion(g.CountofClusters) : "";
  const std::string_view countFormula = "Count of Cluster = ⌊DataSec / BPB_SecPerClus⌋";
  // The FAT32 layout finds the root directory in a cluster, the other in a fixed region.
  const bool fat32Root = !fat16Size;

  // Each tooltip is built in one text of its own, piece by piece: the formula, the same
  // with this volume's numbers when they could be worked out, and the refusal.
  std::vector<PanelText> tips;
  tips.reserve(9);
  auto tip = [&](PanelField field, std::initializer_list<std::string_view> formula,
                 const auto&... numbers) {
    std::string text;
    text.reserve(200 + refusal.size());
    for (std::string_view piece : formula) text += piece;
    if (worked) {
      text += '\n';
      (Put(text, numbers), ...);
    }
    if (!refusal.empty()) {
      text += "\nVolume refused: ";
      text += refusal;
      text += '.';
    }
    tips.push_back({kPanelField(field), std::move(text)});
  };
  tip(PanelField::RootDirSectors, {"RootDirSectors = ⌈(BPB_RootEntCnt × 32) / BPB_BytsPerSec⌉"},
      "RootDirSectors = ⌈(", g.BPB_RootEntCnt, " × 32) / ", g.BPB_BytsPerSec,
      "⌉ = ", g.RootDirSectors);
  tip(PanelField::FirstDataSector,
      {"FirstDataSector = BPB_RsvdSec + BPB_NumFATs × ", fatSz, " + RootDirSectors"},
      "FirstDataSector = ", g.BPB_RsvdSec, " + ", g.BPB_NumFATs, " × ", g.FATSz, " + ",
      g.RootDirSectors, " = ", g.FirstDataSector);
  tip(PanelField::DataSec, {"DataSec = ", totSec, " − FirstDataSector"}, "DataSec = ", g.TotSec,
      " − ", g.FirstDataSector, " = ", g.DataSec);
  for (PanelField field : {PanelField::CountofClusters, PanelField::FatType}) {
    tip(field, {countFormula}, "Count of Cluster = ⌊", g.DataSec, " / ", g.BPB_SecPerClus,
        "⌋ = ", g.CountofClusters, conclusion);
  }
  tip(PanelField::Fat1Sector, {"Fat1Sector = BPB_RsvdSec"}, "Fat1Sector = ", g.Fat1Sector);
  if (g.BPB_NumFATs < 2 && worked) {
    tip(PanelField::Fat2Sector, {"Fat2Sector = Fat1Sector + ", fatSz},
        "No second FAT: BPB_NumFATs = ", g.BPB_NumFATs);
  } else {
    tip(PanelField::Fat2Sector, {"Fat2Sector = Fat1Sector + ", fatSz},
        "Fat2Sector = ", g.Fat1Sector, " + ", g.FATSz, " = ", g.Fat2Sector);
  }
  tip(PanelField::Cluster0Sector, {"Cluster0Sector = FirstDataSector − 2 × BPB_SecPerClus"},
      "Cluster0Sector = ", g.FirstDataSector, " − 2 × ", g.BPB_SecPerClus, " = ", g.Cluster0Sector);
  if (fat32Root) {
    tip(PanelField::RootDirEntrySector,
        {"RootDirEntrySector = Cluster0Sector + BPB_RootClus × BPB_SecPerClus"},
        "RootDirEntrySector = ", g.Cluster0Sector, " + ", g.BPB_RootClus, " × ", g.BPB_SecPerClus,
        " = ", g.Cluster0Sector + g.BPB_RootClus * g.BPB_SecPerClus);
  } else {
    tip(PanelField::RootDirEntrySector,
        {"RootDirEntrySector = BPB_RsvdSec + BPB_NumFATs × ", fatSz},
        "RootDirEntrySector = ", g.BPB_RsvdSec, " + ", g.BPB_NumFATs, " × ", g.FATSz, " = ",
        g.BPB_RsvdSec + g.BPB_NumFATs * g.FATSz);
  }
  return tips;
}

}  // namespace dulvex
