#include "volume/boot_sector.h"

#include "base/codepage.h"
#include "volume/volume_working.h"

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

const char* TypeName(std::uint8_t fatType) {
  return fatType == 1 ? "FAT12" : fatType == 2 ? "FAT16" : "FAT32";
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
    return "count of clusters " + Decimal(g.CountofClusters) + " makes " + TypeName(g.FatType) +
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
    if (n.value < kLowestSectorNumber || n.value > kHighestSectorNumber) {
      return std::string(n.name) + " " + Decimal(n.value) +
             " is out of range (sector numbers go from -2147483647 to 2147483647)";
    }
  }
  return {};
}

}  // namespace

std::string HexRun(const SectorBytes& b, std::size_t first, std::size_t last) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = first; i <= last && i < b.size(); ++i) {
    if (b[i] >= 0x10) text += kDigits[b[i] >> 4];
    text += kDigits[b[i] & 0xF];
  }
  return text;
}

std::string CharRun(const SectorBytes& b, std::size_t first, std::size_t count) {
  std::string text;
  for (std::size_t i = first; i < first + count && i < b.size(); ++i) {
    AppendVisibleCharOfByte(text, b[i]);
  }
  return text;
}

BootSectorReading ReadBootSector(const SectorBytes& b, const VolumeGeometry& previous) {
  BootSectorReading r;
  r.geometry = previous;
  VolumeGeometry& g = r.geometry;
  r.texts.reserve(36);  // the most boxes a reading fills: 14 common, 13 of FAT32, 9 derived
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
    g.BPB_ExtFlags = U16(b, 40);
    show("Label33", 1, HexRun(b, 40, 41));
    show("Label33", 2, Decimal(U16(b, 42)));
    g.BPB_RootClus = U32(b, 44);
    show("Label33", 3, Decimal(g.BPB_RootClus));
    g.BPB_FSInfo = U16(b, 48);
    show("Label33", 4, Decimal(g.BPB_FSInfo));
    g.BPB_BkBootSec = U16(b, 50);
    show("Label33", 5, Decimal(g.BPB_BkBootSec));
    show("Label33", 6, HexRun(b, 52, 63));
    show("Label33", 7, Decimal(U8(b, 64)));
    show("Label33", 8, Decimal(U8(b, 65)));
    show("Label33", 9, Decimal(U8(b, 66)));
    show("Label33", 10, HexRun(b, 67, 70));
    show("Label33", 11, CharRun(b, 71, 11));
    show("Label33", 12, CharRun(b, 82, 8));
  }

  r.refusal = FieldRefusal(g);
  // The working is shown also for a refused volume, as far as its divisors allow.
  const bool worked = g.BPB_BytsPerSec != 0 && g.BPB_SecPerClus != 0;
  VolumeGeometry derived = g;
  if (worked) Derive(derived);
  if (r.refusal.empty()) r.refusal = GeometryRefusal(derived);
  r.tooltips = WorkingTooltips(derived, worked, r.refusal);

  if (!r.refusal.empty()) {
    r.outcome = BootSectorOutcome::Refused;
    // The fields stay as read; nothing is derived from a layout that does not hold.
    g.RootDirSectors = g.TotSec = g.FATSz = g.FirstDataSector = g.DataSec = 0;
    g.CountofClusters = g.Fat1Sector = g.Fat2Sector = g.Cluster0Sector = 0;
    g.RootDirEntrySector = 0;
    g.FatType = 0;
    for (int box : {19, 23, 27, 28, 29, 14, 15, 22, 24}) show("Label2", box, "-");
    return r;
  }

  g = derived;
  show("Label2", 19, Decimal(g.RootDirSectors));
  show("Label2", 29, TypeName(g.FatType));
  show("Label2", 23, Decimal(g.FirstDataSector));
  show("Label2", 27, Decimal(g.DataSec));
  show("Label2", 28, Decimal(g.CountofClusters));
  // With one FAT there is no copy; the sum would name the root directory or data region.
  show("Label2", 14, g.BPB_NumFATs >= 2 ? Decimal(g.Fat2Sector) : "-");
  show("Label2", 15, Decimal(g.Fat1Sector));
  show("Label2", 22, Decimal(g.RootDirEntrySector));
  show("Label2", 24, Decimal(g.Cluster0Sector));
  return r;
}

}  // namespace dulvex
