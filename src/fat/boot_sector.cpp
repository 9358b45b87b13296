#include "fat/boot_sector.h"

#include "base/le.h"

namespace dulvex::fat {

namespace {

std::string Decimal(std::int64_t v) {
  return std::to_string(v);
}

bool PowerOfTwoUpTo128(std::int64_t v) {
  return v >= 1 && v <= 128 && (v & (v - 1)) == 0;
}

// Works out the derived members from the fields (the divisors must not be 0). Every
// quantity stays far inside 64 bits: the largest product is 255 x (2^32 - 1).
void Derive(VolumeGeometry& g) {
  g.RootDirSectors = (g.BPB_RootEntCnt * 32 + (g.BPB_BytsPerSec - 1)) / g.BPB_BytsPerSec;
  g.TotSec = g.BPB_TotSec16 != 0 ? g.BPB_TotSec16 : g.BPB_TotSec32;
  g.FATSz = g.BPB_FATSz16 != 0 ? g.BPB_FATSz16 : g.BPB_FATSz32;
  g.FirstDataSector = g.BPB_RsvdSec + g.BPB_NumFATs * g.FATSz + g.RootDirSectors;
  g.DataSec = g.TotSec - g.FirstDataSector;
  g.CountofClusters = g.DataSec / g.BPB_SecPerClus;  // toward zero, also when negative
  // The FAT type follows from the cluster count alone.
  g.FatType = g.CountofClusters < 4085 ? 1 : g.CountofClusters < 65525 ? 2 : 3;
  g.Fat1Sector = g.BPB_RsvdSec;
  g.Fat2Sector = g.Fat1Sector + g.FATSz;
  g.Cluster0Sector = g.FirstDataSector - 2 * g.BPB_SecPerClus;
  g.RootDirEntrySector = g.FatType == 3 ? g.Cluster0Sector + g.BPB_RootClus * g.BPB_SecPerClus
                                        : g.BPB_RsvdSec + g.BPB_NumFATs * g.FATSz;
}

// The rules a boot sector must keep for the program to work from its geometry, in order:
// what real FAT implementations check, and what the program itself needs. Returns the first
// rule broken, or an empty text. Rules on fields come first, so that the derived members are
// worked out only from sound divisors.
std::string FieldRefusal(const VolumeGeometry& g) {
  const std::int64_t size = g.BPB_BytsPerSec;
  const std::string b = Decimal(size);
  // FAT defines four sector sizes; anything else is not a FAT boot sector.
  if (size != 512 && size != 1024 && size != 2048 && size != 4096)
    return "bytes per sector " + b + " is not 512, 1024, 2048 or 4096";
  // Every sector number of the program counts 512-byte sectors of the device.
  if (size != 512)
    return "bytes per sector " + b + ": this program works with 512-byte sectors only";
  // A cluster is a power-of-two run of sectors, at most 128 of them.
  if (!PowerOfTwoUpTo128(g.BPB_SecPerClus))
    return "sectors per cluster " + Decimal(g.BPB_SecPerClus) + " is not a power of two";
  // The boot sector itself is the first reserved sector.
  if (g.BPB_RsvdSec < 1) return "reserved sectors " + Decimal(g.BPB_RsvdSec) + " is less than 1";
  // Without a FAT there is no cluster chain to follow.
  if (g.BPB_NumFATs < 1) return "number of FATs " + Decimal(g.BPB_NumFATs) + " is less than 1";
  const std::int64_t fatSz = g.BPB_FATSz16 != 0 ? g.BPB_FATSz16 : g.BPB_FATSz32;
  if (fatSz < 1) return "FAT size " + Decimal(fatSz) + " is less than 1";
  return {};
}

std::string GeometryRefusal(const VolumeGeometry& g) {
  // The data region must hold at least one sector, and one whole cluster.
  if (g.TotSec <= g.FirstDataSector)
    return "total sectors " + Decimal(g.TotSec) + " is not greater than the first data sector " +
           Decimal(g.FirstDataSector);
  if (g.CountofClusters < 1)
    return "count of clusters " + Decimal(g.CountofClusters) + " is less than 1";
  // FAT32 entries hold 28 bits; the highest ones are reserved marks.
  if (g.CountofClusters > 268435445)
    return "count of clusters " + Decimal(g.CountofClusters) + " is more than FAT32 can number";
  // The type (by cluster count) and the layout of the extension (by BPB_FATSz16) must agree,
  // or the root directory would be looked for in the wrong place.
  const bool fat32Layout = g.BPB_FATSz16 == 0;
  if ((g.FatType == 3) != fat32Layout) {
    return "count of clusters " + Decimal(g.CountofClusters) + " makes " + FatTypeName(g.FatType) +
           ", but BPB_FATSz16 " + Decimal(g.BPB_FATSz16) + " gives the " +
           (fat32Layout ? "FAT32" : "FAT12/FAT16") + " layout";
  }
  // The FAT needs an entry for every cluster, and for the two reserved entries before them.
  const std::int64_t bits = g.FatType == 1 ? 12 : g.FatType == 2 ? 16 : 32;
  const std::int64_t entries = g.FATSz * g.BPB_BytsPerSec * 8 / bits;
  if (entries < g.CountofClusters + 2)
    return "FAT size " + Decimal(g.FATSz) + " holds " + Decimal(entries) + " entries, fewer than " +
           Decimal(g.CountofClusters + 2) + " for " + Decimal(g.CountofClusters) + " clusters";
  // The FAT32 root directory starts in a cluster of the volume.
  if (g.FatType == 3 && (g.BPB_RootClus < 2 || g.BPB_RootClus > g.CountofClusters + 1))
    return "root cluster " + Decimal(g.BPB_RootClus) + " is not a cluster of this volume (2 to " +
           Decimal(g.CountofClusters + 1) + ")";
  // Every landmark must be a sector number the program can read.
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
    if (!InSectorRange(n.value)) return OutOfSectorRange(n.name + (" " + Decimal(n.value)));
  }
  return {};
}

}  // namespace

const char* FatTypeName(std::uint8_t fatType) {
  return fatType == 1 ? "FAT12" : fatType == 2 ? "FAT16" : "FAT32";
}

BootSectorDecoding DecodeBootSector(const SectorBytes& sector, const VolumeGeometry& previous) {
  BootSectorDecoding d;
  VolumeGeometry& g = d.geometry;
  g = previous;
  const std::uint8_t* b = sector.data();

  // The BIOS Parameter Block common to every FAT type.
  g.BPB_BytsPerSec = Le16(b + 11);
  g.BPB_SecPerClus = b[13];
  g.BPB_RsvdSec = Le16(b + 14);
  g.BPB_NumFATs = b[16];
  g.BPB_RootEntCnt = Le16(b + 17);
  g.BPB_TotSec16 = Le16(b + 19);
  g.BPB_Media = b[21];
  g.BPB_FATSz16 = Le16(b + 22);
  g.BPB_SecPerTrk = Le16(b + 24);
  g.BPB_NumHeads = Le16(b + 26);
  g.BPB_HiddSec = Le32(b + 28);
  g.BPB_TotSec32 = Le32(b + 32);
  // The extension after offset 35 has one of two layouts; a FAT size in the 16-bit field
  // means the FAT12/FAT16 one, which holds none of these.
  if (g.BPB_FATSz16 == 0) {
    g.BPB_FATSz32 = Le32(b + 36);
    g.BPB_ExtFlags = Le16(b + 40);
    g.BPB_RootClus = Le32(b + 44);
    g.BPB_FSInfo = Le16(b + 48);
    g.BPB_BkBootSec = Le16(b + 50);
  }

  d.refusal = FieldRefusal(g);
  // The working is worked out also for a refused volume, as far as its divisors allow.
  d.worked = g.BPB_BytsPerSec != 0 && g.BPB_SecPerClus != 0;
  d.working = g;
  if (d.worked) Derive(d.working);
  if (d.refusal.empty()) d.refusal = GeometryRefusal(d.working);

  if (d.accepted()) {
    g = d.working;
  } else {
    // The fields stay as read; nothing is derived from a layout that does not hold.
    g.RootDirSectors = g.TotSec = g.FATSz = g.FirstDataSector = g.DataSec = 0;
    g.CountofClusters = g.Fat1Sector = g.Fat2Sector = g.Cluster0Sector = 0;
    g.RootDirEntrySector = 0;
    g.FatType = 0;
  }
  return d;
}

}  // namespace dulvex::fat
