#include "check/checker.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/codepage.h"
#include "base/le.h"
#include "check/checker_parts.h"
#include "fat/boot_sector.h"

namespace dulvex::check {

namespace {

constexpr std::uint32_t kFsInfoLead = 0x41615252, kFsInfoStruct = 0x61417272,
                        kFsInfoTrail = 0xAA550000;
constexpr std::uint32_t kNoHint = 0xFFFFFFFF;

// A sector number field of a FAT32 boot sector that names no sector: 0 or FFFF.
bool NamesNoSector(std::int64_t v) {
  return v == 0 || v == 0xFFFF;
}

}  // namespace

std::string Hex(std::uint64_t v) {
  char b[24];
  std::snprintf(b, sizeof b, "%llX", static_cast<unsigned long long>(v));
  return b;
}

std::string Count(std::uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

Place FatEntryPlace(const fat::Layout& l, unsigned copy, std::uint32_t n) {
  const std::uint64_t byte = fat::FirstByteOfEntry(l.kind, n);
  return {l.FatSector(copy) + static_cast<std::int64_t>(byte / fat::kSectorBytes),
          static_cast<std::uint32_t>(byte % fat::kSectorBytes)};
}

Place PlaceOfNode(const fat::Tree& tree, std::uint32_t node) {
  const std::optional<fat::EntryPlace> p = fat::PlaceOf(tree, node);
  if (!p) return {};
  return {p->sector, p->offset};
}

void StepProgress::Report(std::uint64_t done, std::uint64_t total) {
  if (outer_ == nullptr) return;
  const std::uint64_t part = total == 0 ? 0 : (to_ - from_) * std::min(done, total) / total;
  outer_->Report(from_ + part, 1000);
}

std::uint64_t CheckResult::Count(FindingKind kind) const {
  const auto n = static_cast<std::uint64_t>(std::count_if(
      findings.begin(), findings.end(), [kind](const Finding& f) { return f.kind == kind; }));
  return n + omitted[static_cast<int>(kind)];
}

std::uint64_t CheckResult::Total() const {
  std::uint64_t n = findings.size();
  for (const std::uint64_t k : omitted) n += k;
  return n;
}

void Checker::Add(Finding f) {
  const auto kind = static_cast<int>(f.kind);
  if (kept_[kind] >= CheckResult::kMaxPerKind) {
    ++r_.omitted[kind];
    return;
  }
  ++kept_[kind];
  r_.findings.push_back(std::move(f));
}

bool Checker::Stopped() {
  if (steps_.Cancelled()) r_.cancelled = true;
  return r_.cancelled;
}

bool Checker::ReadSector(std::int64_t sector, SectorBytes& out, const std::string& what) {
  const std::optional<fat::ReadFailure> failure = fat::ReadSectors(medium_, sector, out);
  if (!failure) return true;
  Finding f;
  f.kind = FindingKind::ReadError;
  f.severity = Severity::Error;
  f.at = {sector, 0};
  f.length = 512;
  f.text = "Sector " + std::to_string(sector) + " (" + what +
           ") cannot be read: " + failure->result.Describe() + ".";
  Add(std::move(f));
  return false;
}

bool Checker::Geometry() {
  if (!ReadSector(0, r_.boot, "the boot sector")) return false;
  const fat::BootSectorDecoding d = fat::DecodeBootSector(r_.boot, {});
  BootFields(r_.boot);
  if (d.accepted()) {
    r_.geometry = d.geometry;
    r_.geometrySector = 0;
  } else {
    // A FAT32 volume keeps a backup of its boot sector: the sector the damaged one names,
    // or sector 6 where every formatter puts it.
    std::vector<std::int64_t> candidates;
    const std::uint16_t named = fat::Le16(r_.boot.data() + 50);
    if (fat::Le16(r_.boot.data() + 22) == 0 && named >= 1 && named < 64)
      candidates.push_back(named);
    if (named != 6) candidates.push_back(6);
    for (const std::int64_t c : candidates) {
      SectorBytes b{};
      if (fat::ReadSectors(medium_, c, b)) continue;
      const fat::BootSectorDecoding backup = fat::DecodeBootSector(b, {});
      if (backup.accepted() && backup.geometry.FatType == 3) {
        r_.geometry = backup.geometry;
        r_.geometrySector = c;
        break;
      }
    }
    Finding f;
    f.kind = FindingKind::BootSectorInvalid;
    f.at = {0, 11};
    f.length = fat::Le16(r_.boot.data() + 22) == 0 ? 79 : 51;
    f.value = static_cast<std::uint64_t>(std::max<std::int64_t>(r_.geometrySector, 0));
    f.text = "The boot sector breaks a rule: " + d.refusal +
             (r_.geometrySector > 0
                  ? "; the volume is read from its backup in sector " +
                        std::to_string(r_.geometrySector) + "."
                  : "; no backup holds a usable boot sector, so the volume cannot be checked.");
    Add(std::move(f));
    if (r_.geometrySector < 0) return false;
  }
  fat::LayoutReading layout = fat::LayoutOf(r_.geometry);
  if (!layout.layout) {
    Finding f;
    f.kind = FindingKind::BootSectorInvalid;
    f.at = {r_.geometrySector, 11};
    f.length = 51;
    f.text = "The volume cannot be checked: " + layout.problem + ".";
    Add(std::move(f));
    return false;
  }
  r_.layout = layout.layout;
  return true;
}

void Checker::BootFields(const SectorBytes& b) {
  if (b[510] != 0x55 || b[511] != 0xAA) {
    Finding f;
    f.kind = FindingKind::BootSignatureMissing;
    f.severity = Severity::Warning;
    f.at = {0, 510};
    f.length = 2;
    f.text = "The boot sector ends in " + HexByte(b[510]) + " " + HexByte(b[511]) +
             " instead of the signature 55 AA.";
    Add(std::move(f));
  }
  const bool fat32Layout = fat::Le16(b.data() + 22) == 0;
  const std::uint16_t rootEntries = fat::Le16(b.data() + 17);
  if (!fat32Layout && rootEntries % 16 != 0) {
    Finding f;
    f.kind = FindingKind::RootEntriesNotWholeSector;
    f.severity = Severity::Warning;
    f.at = {0, 17};
    f.length = 2;
    f.value = rootEntries;
    f.expected = std::uint64_t{(rootEntries + 15u) / 16u} * 16u;
    f.text = "The root directory holds " + std::to_string(rootEntries) +
             " entries, which do not fill whole sectors (a multiple of 16 does).";
    Add(std::move(f));
  }
  const std::uint32_t flags = fat32Layout ? 65 : 37;
  if ((b[flags] & 0x01) != 0) {
    Finding f;
    f.kind = FindingKind::VolumeDirty;
    f.severity = Severity::Warning;
    f.at = {0, flags};
    f.length = 1;
    f.value = b[flags];
    f.text = "The boot sector marks the volume dirty (byte " + std::to_string(flags) + " is " +
             HexByte(b[flags]) + "): it was not cleanly unmounted.";
    Add(std::move(f));
  }
}

void Checker::BackupBoot() {
  const std::int64_t bk = r_.geometry.BPB_BkBootSec;
  Finding f;
  f.severity = Severity::Warning;
  if (NamesNoSector(bk) || bk >= r_.geometry.BPB_RsvdSec) {
    f.kind = FindingKind::BackupBootMissing;
    f.at = {0, 50};
    f.length = 2;
    f.value = static_cast<std::uint64_t>(bk);
    f.text = NamesNoSector(bk) ? "The boot sector names no backup boot sector (BPB_BkBootSec is " +
                                     std::to_string(bk) + ")."
                               : "The backup boot sector named, " + std::to_string(bk) +
                                     ", is not one of the reserved sectors.";
    Add(std::move(f));
    return;
  }
  SectorBytes backup{};
  if (!ReadSector(bk, backup, "the backup boot sector")) return;
  std::vector<std::uint32_t> differ;
  for (std::uint32_t i = 0; i < 512; ++i)
    if (backup[i] != r_.boot[i]) differ.push_back(i);
  if (differ.empty()) return;
  f.kind = FindingKind::BackupBootDiffers;
  f.at = {bk, differ.front()};
  f.length = differ.back() - differ.front() + 1;
  f.value = differ.size();
  f.text = "The backup boot sector (sector " + std::to_string(bk) +
           ") differs from the boot sector in " + Count(differ.size(), "byte", "bytes") + ", at ";
  for (std::size_t i = 0; i < differ.size() && i < 4; ++i) {
    const std::uint32_t at = differ[i];
    f.text += (i > 0 ? ", " : "") + std::string("offset ") + std::to_string(at) + " (" +
              HexByte(r_.boot[at]) + " / " + HexByte(backup[at]) + ")";
  }
  f.text += differ.size() > 4 ? ", ..." : ".";
  Add(std::move(f));
}

void Checker::FsInfo() {
  const std::int64_t n = r_.geometry.BPB_FSInfo;
  Finding f;
  f.severity = Severity::Warning;
  if (NamesNoSector(n) || n >= r_.geometry.BPB_RsvdSec) {
    f.kind = FindingKind::FsInfoMissing;
    f.at = {r_.geometrySector, 48};
    f.length = 2;
    f.value = static_cast<std::uint64_t>(n);
    f.text = NamesNoSector(n) ? "The boot sector names no FSInfo sector (BPB_FSInfo is " +
                                    std::to_string(n) + ")."
                              : "The FSInfo sector named, " + std::to_string(n) +
                                    ", is not one of the reserved sectors.";
    Add(std::move(f));
    return;
  }
  SectorBytes s{};
  if (!ReadSector(n, s, "the FSInfo sector")) return;
  const struct {
    std::uint32_t offset, want;
  } signatures[] = {{0, kFsInfoLead}, {484, kFsInfoStruct}, {508, kFsInfoTrail}};
  f.kind = FindingKind::FsInfoSignature;
  for (const auto& sig : signatures) {
    const std::uint32_t got = fat::Le32(s.data() + sig.offset);
    if (got == sig.want) continue;
    if (!f.at.valid()) {
      f.at = {n, sig.offset};
      f.length = sig.offset == 0 ? 4 : 512 - sig.offset;
      f.text = "The FSInfo sector (sector " + std::to_string(n) + ") has a wrong signature:";
    } else {
      f.length = sig.offset + 4 - f.at.offset;
      f.text += ";";
    }
    f.text += " " + Hex(got) + " instead of " + Hex(sig.want) + " at offset " +
              std::to_string(sig.offset);
  }
  if (f.at.valid()) {
    f.text += ".";
    Add(std::move(f));
    return;
  }
  fsInfoSector_ = n;
  fsInfoFree_ = fat::Le32(s.data() + 488);
  fsInfoNext_ = fat::Le32(s.data() + 492);
}

void Checker::FsInfoCounts() {
  if (fsInfoSector_ < 0) return;
  Finding f;
  f.at = {fsInfoSector_, 488};
  f.length = 4;
  f.value = fsInfoFree_;
  f.expected = r_.freeClusters;
  if (fsInfoFree_ == kNoHint) {
    f.kind = FindingKind::FsInfoFreeCountUnknown;
    f.severity = Severity::Info;
    f.text = "FSInfo does not give the number of free clusters (FFFFFFFF); the FAT has " +
             std::to_string(r_.freeClusters) + ".";
    Add(f);
  } else if (fsInfoFree_ != r_.freeClusters) {
    f.kind = FindingKind::FsInfoFreeCount;
    f.severity = Severity::Warning;
    f.text = "FSInfo says " + Count(fsInfoFree_, "cluster is", "clusters are") +
             " free; the FAT has " + std::to_string(r_.freeClusters) + ".";
    Add(f);
  }
  if (fsInfoNext_ != kNoHint && !r_.layout->IsCluster(fsInfoNext_)) {
    f.kind = FindingKind::FsInfoNextFree;
    f.severity = Severity::Info;
    f.at.offset = 492;
    f.value = fsInfoNext_;
    f.expected = kNoHint;
    f.text = "FSInfo's next-free hint " + std::to_string(fsInfoNext_) + " names no cluster (2 to " +
             std::to_string(r_.layout->MaxCluster()) + ").";
    Add(std::move(f));
  }
}

bool Checker::LoadFats() {
  const fat::Layout& l = *r_.layout;
  // The copy the volume keeps up to date, unless its first entry is broken (a FAT
  // overwritten from its start) or its first sector unreadable, and another copy's is sound.
  const std::uint32_t mask = l.kind == fat::FatKind::Fat12   ? 0xF00
                             : l.kind == fat::FatKind::Fat16 ? 0xFF00
                                                             : 0x0FFFFF00;
  auto sound = [&](unsigned k) {
    SectorBytes first{};
    return !fat::ReadSectors(medium_, l.FatSector(k), first) &&
           (fat::EntryValueAt(l.kind, 0, first.data()) & mask) == mask;
  };
  r_.fatInUse = l.activeFat;
  if (l.mirrored && !sound(r_.fatInUse)) {
    for (unsigned k = 0; k < l.numFats; ++k) {
      if (k != r_.fatInUse && sound(k)) {
        r_.fatInUse = k;
        break;
      }
    }
  }
  steps_.Step(20, l.mirrored ? 20 + 300 / l.numFats : 320);
  fat::FatLoad load = fat::LoadFat(medium_, l, r_.fatInUse, steps_.self());
  if (load.cancelled) return r_.cancelled = true, false;
  if (load.failure) {
    Finding f;
    f.kind = FindingKind::ReadError;
    f.at = {load.failure->sector, 0};
    f.length = 512;
    f.fatCopy = r_.fatInUse;
    f.text = "FAT" + std::to_string(r_.fatInUse + 1) +
             " cannot be read: " + load.failure->Describe() + ".";
    Add(std::move(f));
    return false;
  }
  r_.fatTable = std::move(load.table);
  // The other copies are compared as they are read; when the volume does not mirror its
  // FATs, each copy may hold its own state.
  if (!l.mirrored) return true;
  for (unsigned k = 0, n = 0; k < l.numFats; ++k) {
    if (k == r_.fatInUse) continue;
    steps_.Step(20 + 300 * (n + 1) / l.numFats, 20 + 300 * (n + 2) / l.numFats);
    ++n;
    CompareCopy(k);
    if (Stopped()) return false;
  }
  return true;
}

void Checker::ReservedEntries() {
  const fat::Layout& l = *r_.layout;
  const fat::FatTable& fat = r_.fat();
  const std::uint32_t v0 = fat.Value(0), v1 = fat.Value(1);
  const std::uint32_t media = static_cast<std::uint32_t>(r_.geometry.BPB_Media) & 0xFF;
  const bool fat12 = l.kind == fat::FatKind::Fat12, fat16 = l.kind == fat::FatKind::Fat16;
  const std::uint32_t high = fat12 ? 0xF00 : fat16 ? 0xFF00 : 0x0FFFFF00;
  const std::string copy = "FAT" + std::to_string(r_.fatInUse + 1);
  auto entry = [&](FindingKind kind, Severity severity, std::uint32_t n, std::uint32_t value,
                   std::uint32_t expected, std::string text) {
    Finding f;
    f.kind = kind;
    f.severity = severity;
    f.at = FatEntryPlace(l, r_.fatInUse, n);
    f.length = fat::BytesOfEntry(l.kind);
    f.fatEntry = n;
    f.fatCopy = r_.fatInUse;
    f.value = value;
    f.expected = expected;
    f.text = std::move(text);
    Add(std::move(f));
  };
  if ((v0 & 0xFF) != media) {
    entry(FindingKind::MediaMismatch, Severity::Warning, 0, v0 & 0xFF, media,
          copy + "[0] begins with the media byte " + HexByte(static_cast<std::uint8_t>(v0)) +
              ", but the boot sector gives " + HexByte(static_cast<std::uint8_t>(media)) + ".");
  }
  if ((v0 & high) != high) {
    entry(FindingKind::ReservedEntryWrong, Severity::Error, 0, v0, high | media,
          copy + "[0] is " + Hex(v0) + "; its bits above the media byte must all be 1 (" +
              Hex(high | media) + ").");
  }
  if (fat12) {
    if (v1 < 0xFF8)
      entry(FindingKind::ReservedEntryWrong, Severity::Info, 1, v1, 0xFFF,
            copy + "[1] is " + Hex(v1) + " instead of an end-of-chain mark (FFF).");
    return;
  }
  const std::uint32_t clean = fat16 ? 0x8000 : 0x08000000, error = fat16 ? 0x4000 : 0x04000000;
  const std::uint32_t eoc = fat16 ? 0xFFFF : 0x0FFFFFFF;
  if ((v1 & clean) == 0) {
    entry(FindingKind::FatDirtyFlag, Severity::Warning, 1, v1, v1 | clean,
          copy + "[1] is " + Hex(v1) +
              ": its clean-shutdown bit is cleared, so the volume was not cleanly unmounted.");
  }
  if ((v1 & error) == 0) {
    entry(FindingKind::FatErrorFlag, Severity::Warning, 1, v1, v1 | error,
          copy + "[1] is " + Hex(v1) +
              ": its hard-error bit is cleared, so the volume met a disk "
              "error.");
  }
  if (((v1 & 0x0FFFFFFF) | clean | error) != eoc) {
    entry(FindingKind::ReservedEntryWrong, Severity::Info, 1, v1, eoc,
          copy + "[1] is " + Hex(v1) + " instead of an end-of-chain mark (" + Hex(eoc) + ").");
  }
}

void Checker::CompareCopy(unsigned k) {
  const fat::Layout& l = *r_.layout;
  const fat::FatTable& in = r_.fat();
  const std::span<const std::uint8_t> bytes = in.bytes();
  Finding f;
  f.kind = FindingKind::FatCopiesDiffer;
  f.fatCopy = k;
  // 3 MiB: whole sectors, and a multiple of 3 bytes, so no FAT12 entry straddles two chunks.
  constexpr std::size_t kChunk = 3u << 20, kBlock = 4096;
  std::vector<std::uint8_t> chunk;
  std::uint32_t next = 0;  // the first entry not yet compared
  for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
    steps_.Report(at, bytes.size());
    if (Stopped()) return;
    chunk.resize(std::min(kChunk, bytes.size() - at));
    const auto sector = l.FatSector(k) + static_cast<std::int64_t>(at / fat::kSectorBytes);
    if (const std::optional<fat::ReadFailure> failure = fat::ReadSectors(medium_, sector, chunk)) {
      Finding e;
      e.kind = FindingKind::ReadError;
      e.at = {failure->sector, 0};
      e.length = 512;
      e.fatCopy = k;
      e.text = "FAT" + std::to_string(k + 1) + " cannot be read: " + failure->Describe() + ".";
      Add(std::move(e));
      return;
    }
    for (std::size_t b = 0; b < chunk.size(); b += kBlock) {
      const std::size_t n = std::min(kBlock, chunk.size() - b);
      if (std::memcmp(&bytes[at + b], &chunk[b], n) == 0) continue;
      // The entries whose bytes touch this block, each compared once.
      const std::uint64_t to = std::min<std::uint64_t>(
          fat::EntriesOfFatByte(l.kind, at + b + n - 1).first + 1, l.MaxCluster());
      for (std::uint32_t e = std::max(next, fat::EntriesOfFatByte(l.kind, at + b).first); e <= to;
           ++e) {
        const std::uint64_t first = fat::FirstByteOfEntry(l.kind, e);
        const std::uint64_t last = first + fat::BytesOfEntry(l.kind) - 1;
        if (first < at || last >= at + chunk.size()) continue;  // its bytes straddle chunks
        if (in.Value(e) == fat::EntryValueAt(l.kind, e, &chunk[first - at])) continue;
        ++f.value;
        if (f.entries.size() < 8) f.entries.push_back(e);
      }
      next = static_cast<std::uint32_t>(to + 1);
    }
  }
  if (f.value == 0) return;  // bytes past the last entry differ, no entry does
  f.at = FatEntryPlace(l, k, f.entries.front());
  f.length = fat::BytesOfEntry(l.kind);
  f.text = "FAT" + std::to_string(k + 1) + " differs from FAT" + std::to_string(r_.fatInUse + 1) +
           " (the copy in use) in " + Count(f.value, "entry", "entries") + ": ";
  for (std::size_t i = 0; i < f.entries.size(); ++i)
    f.text += (i > 0 ? ", " : "") + std::to_string(f.entries[i]);
  f.text += f.value > f.entries.size() ? ", ..." : ".";
  Add(std::move(f));
}

CheckResult Checker::Run() {
  steps_.Step(0, 20);
  if (!Geometry()) return std::move(r_);
  const bool fat32 = r_.layout->kind == fat::FatKind::Fat32;
  if (fat32 && r_.geometrySector == 0) BackupBoot();
  if (fat32) FsInfo();
  if (!LoadFats()) return std::move(r_);
  ReservedEntries();
  steps_.Step(320, 700);
  r_.tree = fat::WalkTree(medium_, r_.fat(), steps_.self(), page_);
  if (r_.tree->cancelled || Stopped()) return r_.cancelled = true, std::move(r_);
  names_.emplace(*r_.tree, medium_, page_);
  steps_.Step(700, 800);
  r_.owners = fat::OwnerMap::Build(*r_.tree, r_.fat(), steps_.self(), &ends_);
  if (!r_.owners || Stopped()) return r_.cancelled = true, std::move(r_);
  steps_.Step(800, 850);
  Chains();
  CrossLinks();
  if (Stopped()) return std::move(r_);
  steps_.Step(850, 900);
  Directories();
  if (Stopped()) return std::move(r_);
  steps_.Step(900, 1000);
  Entries();
  if (Stopped()) return std::move(r_);
  FsInfoCounts();
  if (Stopped()) return std::move(r_);
  steps_.Report(1, 1);
  r_.complete = true;
  return std::move(r_);
}

CheckResult CheckVolume(fat::ByteSource& medium, WorkProgress* progress, OemCodePage page) {
  return Checker(medium, progress, page).Run();
}

}  // namespace dulvex::check
