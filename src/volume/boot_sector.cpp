#include "volume/boot_sector.h"

#include <cstdio>

#include "view/codepage.h"

namespace dulvex {

namespace {

// Little-endian unsigned fields of the sector. Every offset used is below 90.
std::int64_t U8(const SectorBytes& b, std::size_t at) {
  return b[at];
}
std::int64_t U16(const SectorBytes& b, std::size_t at) {
  return b[at] + 256 * static_cast<std::int64_t>(b[at + 1]);
}
std::int64_t U32(const SectorBytes& b, std::size_t at) {
  return U16(b, at) + 65536 * U16(b, at + 2);
}

std::string Decimal(std::int64_t v) {
  return std::to_string(v);
}

// The derived sector numbers that must fit the program's sector range, in the order the
// refresh works them out.
bool CheckSectorNumbers(const VolumeGeometry& g, std::string& problem) {
  const struct {
    const char* name;
    std::int64_t value;
  } numbers[] = {
      {"Fat1Sector", g.Fat1Sector},
      {"Fat2Sector", g.Fat2Sector},
      {"FirstDataSector", g.FirstDataSector},
      {"Cluster0Sector", g.Cluster0Sector},
      {"RootDirEntrySector", g.RootDirEntrySector},
  };
  for (const auto& n : numbers) {
    if (n.value < kLowestSectorNumber || n.value > kHighestSectorNumber) {
      problem = std::string(n.name) + " " + Decimal(n.value);
      return false;
    }
  }
  return true;
}

}  // namespace

std::string HexRun(const SectorBytes& b, std::size_t first, std::size_t last) {
  std::string text;
  for (std::size_t i = first; i <= last && i < b.size(); ++i) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(b[i]));
    text += buf;
  }
  return text;
}

std::string CharRun(const SectorBytes& b, std::size_t first, std::size_t count) {
  std::string text;
  for (std::size_t i = first; i < first + count && i < b.size(); ++i) {
    text += VisibleCharOfByte(b[i]);
  }
  return text;
}

BootSectorReading ReadBootSector(const SectorBytes& b, const VolumeGeometry& previous) {
  BootSectorReading r;
  r.geometry = previous;
  VolumeGeometry& g = r.geometry;
  auto show = [&r](const char* name, int index, std::string text) {
    r.texts.push_back({name, index, std::move(text)});
  };

  // Jump code and OEM name.
  show("Label2", 0, HexRun(b, 0, 2));
  show("Label2", 1, CharRun(b, 3, 8));

  // The BIOS Parameter Block common to every FAT type.
  g.BPB_BytsPerSec = U16(b, 11);
  g.BPB_SecPerClus = U8(b, 13);
  g.BPB_RsvdSec = U16(b, 14);
  g.BPB_NumFATs = U8(b, 16);
  g.BPB_RootEntCnt = U16(b, 17);
  g.BPB_TotSec16 = U16(b, 19);
  g.BPB_Media = U8(b, 21);
  g.BPB_FATSz16 = U16(b, 22);
  g.BPB_SecPerTrk = U16(b, 24);
  g.BPB_NumHeads = U16(b, 26);
  g.BPB_HiddSec = U32(b, 28);
  g.BPB_TotSec32 = U32(b, 32);

  // The two divisions below divide by these, so a zero stops here.
  if (g.BPB_BytsPerSec == 0 || g.BPB_SecPerClus == 0 || g.BPB_NumFATs == 0 ||
      g.BPB_SecPerTrk == 0) {
    r.outcome = BootSectorOutcome::Implausible;
    return r;
  }

  show("Label2", 2, Decimal(g.BPB_BytsPerSec));
  show("Label2", 3, Decimal(g.BPB_SecPerClus));
  show("Label2", 4, Decimal(g.BPB_RsvdSec));
  show("Label2", 5, Decimal(g.BPB_NumFATs));
  show("Label2", 6, Decimal(g.BPB_RootEntCnt));
  show("Label2", 7, Decimal(g.BPB_TotSec16));
  show("Label2", 8, HexRun(b, 21, 21));
  show("Label2", 9, Decimal(g.BPB_FATSz16));
  show("Label2", 10, Decimal(g.BPB_SecPerTrk));
  show("Label2", 11, Decimal(g.BPB_NumHeads));
  show("Label2", 12, Decimal(g.BPB_HiddSec));
  show("Label2", 13, Decimal(g.BPB_TotSec32));

  // The extension after offset 35 has one of two layouts; a FAT size in the 16-bit field
  // means the FAT12/FAT16 one. The other group of boxes keeps what it showed.
  if (g.BPB_FATSz16 != 0) {
    show("Label32", 0, Decimal(U8(b, 36)));
    show("Label32", 1, Decimal(U8(b, 37)));
    show("Label32", 2, Decimal(U8(b, 38)));
    show("Label32", 3, HexRun(b, 39, 42));
    show("Label32", 4, CharRun(b, 43, 11));
    show("Label32", 5, CharRun(b, 54, 8));
  } else {
    g.BPB_FATSz32 = U32(b, 36);
    show("Label33", 0, Decimal(g.BPB_FATSz32));
    show("Label33", 1, HexRun(b, 40, 41));
    show("Label33", 2, Decimal(U16(b, 42)));
    g.BPB_RootClus = U32(b, 44);
    show("Label33", 3, Decimal(g.BPB_RootClus));
    show("Label33", 4, Decimal(U16(b, 48)));
    show("Label33", 5, Decimal(U16(b, 50)));
    show("Label33", 6, HexRun(b, 52, 63));
    show("Label33", 7, Decimal(U8(b, 64)));
    show("Label33", 8, Decimal(U8(b, 65)));
    show("Label33", 9, Decimal(U8(b, 66)));
    show("Label33", 10, HexRun(b, 67, 70));
    show("Label33", 11, CharRun(b, 71, 11));
    show("Label33", 12, CharRun(b, 82, 8));
  }

  // Every quantity below stays far inside 64 bits: the largest product is 255 x (2^32 - 1).
  g.RootDirSectors = (g.BPB_RootEntCnt * 32 + (g.BPB_BytsPerSec - 1)) / g.BPB_BytsPerSec;
  show("Label2", 19, Decimal(g.RootDirSectors));

  g.TotSec = g.BPB_TotSec16 != 0 ? g.BPB_TotSec16 : g.BPB_TotSec32;
  g.FATSz = g.BPB_FATSz16 != 0 ? g.BPB_FATSz16 : g.BPB_FATSz32;
  const std::int64_t beforeData = g.BPB_RsvdSec + g.BPB_NumFATs * g.FATSz + g.RootDirSectors;
  g.FirstDataSector = beforeData;
  g.DataSec = g.TotSec - beforeData;
  // Truncates toward zero, also for a negative DataSec.
  g.CountofClusters = g.DataSec / g.BPB_SecPerClus;

  // The FAT type follows from the cluster count alone.
  const char* type;
  if (g.CountofClusters < 4085) {
    type = "FAT12";
    g.FatType = 1;
  } else if (g.CountofClusters >= 65525) {
    type = "FAT32";
    g.FatType = 3;
  } else {
    type = "FAT16";
    g.FatType = 2;
  }
  show("Label2", 29, type);
  show("Label2", 23, Decimal(g.FirstDataSector));
  show("Label2", 27, Decimal(g.DataSec));
  show("Label2", 28, Decimal(g.CountofClusters));

  g.Fat1Sector = g.BPB_RsvdSec;
  g.Fat2Sector = g.Fat1Sector + g.FATSz;
  show("Label2", 14, Decimal(g.Fat2Sector));
  show("Label2", 15, Decimal(g.Fat1Sector));
  g.Cluster0Sector = g.FirstDataSector - 2 * g.BPB_SecPerClus;
  if (g.FatType == 3) {
    // The FAT32 root directory is a cluster chain starting at BPB_RootClus.
    g.RootDirEntrySector = g.Cluster0Sector + g.BPB_RootClus * g.BPB_SecPerClus;
  } else {
    g.RootDirEntrySector = g.BPB_RsvdSec + g.BPB_NumFATs * g.FATSz;
  }
  show("Label2", 22, Decimal(g.RootDirEntrySector));
  show("Label2", 24, Decimal(g.Cluster0Sector));

  if (!CheckSectorNumbers(g, r.problem)) r.outcome = BootSectorOutcome::OutOfRange;
  return r;
}

}  // namespace dulvex
