#include "volume/boot_sector.h"

#include "base/codepage.h"
#include "fat/boot_sector.h"
#include "volume/volume_working.h"

namespace dulvex {

namespace {

std::string Decimal(std::int64_t v) {
  return std::to_string(v);
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
  const fat::BootSectorDecoding d = fat::DecodeBootSector(b, previous);
  const VolumeGeometry& g = d.geometry;
  BootSectorReading r;
  r.geometry = g;
  r.refusal = d.refusal;
  r.texts.reserve(36);  // the most boxes a reading fills: 14 common, 13 of FAT32, 9 derived
  auto show = [&r](const char* name, int index, std::string text) {
    r.texts.push_back({name, index, std::move(text)});
  };

  // Jump code and OEM name, then the BIOS Parameter Block common to every FAT type.
  show("Label2", 0, HexRun(b, 0, 2));
  show("Label2", 1, CharRun(b, 3, 8));
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
    show("Label32", 0, Decimal(b[36]));
    show("Label32", 1, Decimal(b[37]));
    show("Label32", 2, Decimal(b[38]));
    show("Label32", 3, HexRun(b, 39, 42));
    show("Label32", 4, CharRun(b, 43, 11));
    show("Label32", 5, CharRun(b, 54, 8));
  } else {
    show("Label33", 0, Decimal(g.BPB_FATSz32));
    show("Label33", 1, HexRun(b, 40, 41));
    show("Label33", 2, Decimal(b[42] + 256 * b[43]));
    show("Label33", 3, Decimal(g.BPB_RootClus));
    show("Label33", 4, Decimal(g.BPB_FSInfo));
    show("Label33", 5, Decimal(g.BPB_BkBootSec));
    show("Label33", 6, HexRun(b, 52, 63));
    show("Label33", 7, Decimal(b[64]));
    show("Label33", 8, Decimal(b[65]));
    show("Label33", 9, Decimal(b[66]));
    show("Label33", 10, HexRun(b, 67, 70));
    show("Label33", 11, CharRun(b, 71, 11));
    show("Label33", 12, CharRun(b, 82, 8));
  }

  r.tooltips = WorkingTooltips(d.working, d.worked, d.refusal);
  if (!d.accepted()) {
    r.outcome = BootSectorOutcome::Refused;
    for (int box : {19, 23, 27, 28, 29, 14, 15, 22, 24}) show("Label2", box, "-");
    return r;
  }
  show("Label2", 19, Decimal(g.RootDirSectors));
  show("Label2", 29, fat::FatTypeName(g.FatType));
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
