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
  auto show = [&r](ControlId box, std::string text) { r.texts.push_back({box, std::move(text)}); };

  // Jump code and OEM name, then the BIOS Parameter Block common to every FAT type.
  show(kPanelField(PanelField::JumpBoot), HexRun(b, 0, 2));
  show(kPanelField(PanelField::OemName), CharRun(b, 3, 8));
  show(kPanelField(PanelField::BytsPerSec), Decimal(g.BPB_BytsPerSec));
  show(kPanelField(PanelField::SecPerClus), Decimal(g.BPB_SecPerClus));
  show(kPanelField(PanelField::RsvdSec), Decimal(g.BPB_RsvdSec));
  show(kPanelField(PanelField::NumFATs), Decimal(g.BPB_NumFATs));
  show(kPanelField(PanelField::RootEntCnt), Decimal(g.BPB_RootEntCnt));
  show(kPanelField(PanelField::TotSec16), Decimal(g.BPB_TotSec16));
  show(kPanelField(PanelField::Media), HexRun(b, 21, 21));
  show(kPanelField(PanelField::FATSz16), Decimal(g.BPB_FATSz16));
  show(kPanelField(PanelField::SecPerTrk), Decimal(g.BPB_SecPerTrk));
  show(kPanelField(PanelField::NumHeads), Decimal(g.BPB_NumHeads));
  show(kPanelField(PanelField::HiddSec), Decimal(g.BPB_HiddSec));
  show(kPanelField(PanelField::TotSec32), Decimal(g.BPB_TotSec32));

  // The extension after offset 35 has one of two layouts; a FAT size in the 16-bit field
  // means the FAT12/FAT16 one. The other group of boxes keeps what it showed.
  if (g.BPB_FATSz16 != 0) {
    show(kFat1216Field(Fat1216Field::DrvNum), Decimal(b[36]));
    show(kFat1216Field(Fat1216Field::Reserved1), Decimal(b[37]));
    show(kFat1216Field(Fat1216Field::BootSig), Decimal(b[38]));
    show(kFat1216Field(Fat1216Field::VolID), HexRun(b, 39, 42));
    show(kFat1216Field(Fat1216Field::VolLab), CharRun(b, 43, 11));
    show(kFat1216Field(Fat1216Field::FilSysType), CharRun(b, 54, 8));
  } else {
    show(kFat32Field(Fat32Field::FATSz32), Decimal(g.BPB_FATSz32));
    show(kFat32Field(Fat32Field::ExtFlags), HexRun(b, 40, 41));
    show(kFat32Field(Fat32Field::FSVer), Decimal(b[42] + 256 * b[43]));
    show(kFat32Field(Fat32Field::RootClus), Decimal(g.BPB_RootClus));
    show(kFat32Field(Fat32Field::FSInfo), Decimal(g.BPB_FSInfo));
    show(kFat32Field(Fat32Field::BkBootSec), Decimal(g.BPB_BkBootSec));
    show(kFat32Field(Fat32Field::Reserved), HexRun(b, 52, 63));
    show(kFat32Field(Fat32Field::DrvNum), Decimal(b[64]));
    show(kFat32Field(Fat32Field::Reserved1), Decimal(b[65]));
    show(kFat32Field(Fat32Field::BootSig), Decimal(b[66]));
    show(kFat32Field(Fat32Field::VolID), HexRun(b, 67, 70));
    show(kFat32Field(Fat32Field::VolLab), CharRun(b, 71, 11));
    show(kFat32Field(Fat32Field::FilSysType), CharRun(b, 82, 8));
  }

  r.tooltips = WorkingTooltips(d.working, d.worked, d.refusal);
  if (!d.accepted()) {
    r.outcome = BootSectorOutcome::Refused;
    for (PanelField f : kDerivedFields) show(kPanelField(f), "-");
    return r;
  }
  show(kPanelField(PanelField::RootDirSectors), Decimal(g.RootDirSectors));
  show(kPanelField(PanelField::FatType), fat::FatTypeName(g.FatType));
  show(kPanelField(PanelField::FirstDataSector), Decimal(g.FirstDataSector));
  show(kPanelField(PanelField::DataSec), Decimal(g.DataSec));
  show(kPanelField(PanelField::CountofClusters), Decimal(g.CountofClusters));
  // With one FAT there is no copy; the sum would name the root directory or data region.
  show(kPanelField(PanelField::Fat2Sector), g.BPB_NumFATs >= 2 ? Decimal(g.Fat2Sector) : "-");
  show(kPanelField(PanelField::Fat1Sector), Decimal(g.Fat1Sector));
  show(kPanelField(PanelField::RootDirEntrySector), Decimal(g.RootDirEntrySector));
  show(kPanelField(PanelField::Cluster0Sector), Decimal(g.Cluster0Sector));
  return r;
}

}  // namespace dulvex
