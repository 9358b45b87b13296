#include "check/repair.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "base/codepage.h"
#include "base/le.h"
#include "check/checker_parts.h"
#include "fat/boot_sector.h"
#include "fat/dir_entry.h"

namespace dulvex::check {

namespace {

using Entry32 = std::array<std::uint8_t, 32>;
constexpr char kDotName[] = ".          ", kDotDotName[] = "..         ";
// The date written into the entries a repair makes: 1 January 1980, the first FAT date.
constexpr std::uint16_t kRepairDate = (1 << 5) | 1;

std::uint64_t Offset(Place p) {
  return static_cast<std::uint64_t>(p.sector) * fat::kSectorBytes + p.offset;
}

// One repair at work: the edited volume, the check it answers, the steps said so far.
class Work {
 public:
  Work(EditedVolume& v, const CheckResult& r, RepairPlan& plan)
      : v_(v), r_(r), l_(*r.layout), fat_(v, *r.layout, r.fatInUse), plan_(plan) {}

  // Empty when done; else why it cannot be.
  std::string Apply(const Finding& f, const RepairOption& o);
  std::string SaveLost(const std::vector<CheckResult::LostRun>& runs);
  std::string FreeLost(const std::vector<CheckResult::LostRun>& runs);

 private:
  void Step(std::string text) { plan_.steps.push_back(std::move(text)); }
  bool ReadEntry(Place p, Entry32& e) { return v_.ReadBytes(Offset(p), e); }
  bool WriteEntry(Place p, const Entry32& e) { return v_.WriteBytes(Offset(p), e); }
  bool EditSector(std::int64_t sector, const auto& edit) {
    SectorBytes s{};
    if (!v_.Read(sector, s)) return false;
    edit(s);
    return v_.Write(sector, s);
  }
  void SetFirstCluster(Entry32& e, std::uint32_t c) const {
    fat::PutLe16(e.data() + fat::kDirFstClusLO, static_cast<std::uint16_t>(c));
    if (l_.kind == fat::FatKind::Fat32)
      fat::PutLe16(e.data() + fat::kDirFstClusHI, static_cast<std::uint16_t>(c >> 16));
  }
  std::string EntryField(const Finding& f, std::uint32_t cluster,
                         std::optional<std::uint32_t> size);
  std::string MarkDeleted(const std::vector<Place>& places);
  std::string FreeTail(std::uint32_t from, std::uint32_t node, std::uint64_t kept);
  std::string CopyShared(const Finding& f);
  std::string Rename(const Finding& f);
  std::string FixDot(const Finding& f);
  std::string FixAttributes(const Finding& f);
  std::string CopyFat(unsigned from, unsigned to);
  std::string FsInfo(bool create);
  std::string CopySector(std::int64_t from, std::int64_t to);
  std::string EndAt(const Finding& f);
  // A free slot of the root directory, the root's chain grown by a cluster on FAT32 when
  // it is full; and the 11-byte names it holds.
  std::optional<Place> RootSlot(std::set<std::string>& names);
  std::optional<std::uint32_t> Allocate(std::uint32_t hint);

  EditedVolume& v_;
  const CheckResult& r_;
  const fat::Layout& l_;
  FatEditor fat_;
  RepairPlan& plan_;
};

std::string Work::EntryField(const Finding& f, std::uint32_t cluster,
                             std::optional<std::uint32_t> size) {
  Entry32 e{};
  if (!f.entry.valid()) return "the entry's place is not known";
  if (!ReadEntry(f.entry, e)) return "its entry cannot be read";
  SetFirstCluster(e, cluster);
  if (size) fat::PutLe32(e.data() + fat::kDirFileSize, *size);
  return WriteEntry(f.entry, e) ? "" : "its entry cannot be written";
}

std::string Work::MarkDeleted(const std::vector<Place>& places) {
  for (const Place& p : places) {
    Entry32 e{};
    if (!ReadEntry(p, e)) return "an entry cannot be read";
    e[0] = fat::kDeletedEntry;
    if (!WriteEntry(p, e)) return "an entry cannot be written";
  }
  return {};
}

std::string Work::FreeTail(std::uint32_t c, std::uint32_t node, std::uint64_t kept) {
  // Only clusters this chain alone holds, past the part it keeps (a loop may lead back).
  for (std::uint64_t steps = 0; l_.IsCluster(c) && steps < l_.clusterCount; ++steps) {
    const fat::Owner o = r_.owners->Query(r_.fat(), c);
    if (o.kind != fat::Owner::Kind::File || o.node != node || o.position <= kept ||
        !o.others.empty())
      break;
    const std::optional<std::uint32_t> v = fat_.Get(c);
    if (!v || !fat_.Set(c, 0)) return "the FAT cannot be written";
    if (fat::Classify(l_.kind, *v, l_.MaxCluster()) != fat::EntryKind::Next) break;
    c = *v & 0x0FFFFFFF;
  }
  return {};
}

std::optional<std::uint32_t> Work::Allocate(std::uint32_t hint) {
  // A free cluster a broken chain runs into is not taken: that chain would run on into it.
  for (std::uint64_t tries = 0; tries < l_.clusterCount; ++tries) {
    const std::optional<std::uint32_t> c = fat_.FindFree(hint);
    if (!c) return std::nullopt;
    if (r_.owners->Query(r_.fat(), *c).runInto.empty()) {
      if (!fat_.Set(*c, fat_.EndMark())) return std::nullopt;
      return c;
    }
    hint = *c + 1;
  }
  return std::nullopt;
}

std::string Work::EndAt(const Finding& f) {
  const bool entry =
      f.kind == FindingKind::FatEntryReserved || f.kind == FindingKind::FatEntryOutOfRange;
  if (f.clusters > 0 || entry) {
    if (!fat_.Set(f.fatEntry, fat_.EndMark())) return "the FAT cannot be written";
    Step(f.path.empty()
             ? "Mark cluster " + std::to_string(f.fatEntry) + " as the end of its chain."
             : "End the chain of " + f.path + " at cluster " + std::to_string(f.fatEntry) + ".");
    return {};
  }
  if (f.node == 0) return "the root directory's first cluster cannot be cleared";
  Step("Clear the first cluster of " + f.path + ".");
  return EntryField(f, 0, std::nullopt);
}

std::string Work::CopyShared(const Finding& f) {
  const fat::Node& n = r_.tree->nodes[f.node];
  const std::uint64_t needed = (std::uint64_t{n.size} + l_.clusterBytes - 1) / l_.clusterBytes;
  if (needed <= f.clusters) {
    // The shared clusters lie past the file's size: ending the chain loses nothing.
    return EndAt(f);
  }
  std::uint32_t src = f.cluster, prev = f.fatEntry, hint = 2;
  std::uint64_t copied = 0;
  std::vector<std::uint8_t> sector(fat::kSectorBytes);
  for (; copied < needed - f.clusters && l_.IsCluster(src); ++copied) {
    const std::optional<std::uint32_t> to = Allocate(hint);
    if (!to) return "there are not enough free clusters for the copies";
    for (std::uint32_t s = 0; s < l_.sectorsPerCluster; ++s) {
      SectorBytes bytes{};
      if (!v_.Read(l_.ClusterSector(src) + s, bytes))
        return "cluster " + std::to_string(src) + " cannot be read";
      if (!v_.Write(l_.ClusterSector(*to) + s, bytes))
        return "cluster " + std::to_string(*to) + " cannot be written";
    }
    if (prev == 0 ? !EntryField(f, *to, std::nullopt).empty() : !fat_.Set(prev, *to))
      return "the chain cannot be linked";
    prev = *to;
    hint = *to + 1;
    const std::optional<std::uint32_t> next = fat_.Get(src);
    if (!next || fat::Classify(l_.kind, *next, l_.MaxCluster()) != fat::EntryKind::Next) {
      ++copied;
      break;
    }
    src = *next & 0x0FFFFFFF;
  }
  Step("Give " + f.path + " its own copy of " + Count(copied, "cluster", "clusters") +
       " it shared with " + f.otherPath + ", from cluster " + std::to_string(f.cluster) + " on.");
  return {};
}

std::string Work::Rename(const Finding& f) {
  if (f.node == kNoNode || !f.entry.valid()) return "the entry is not in the tree";
  const fat::Tree& t = *r_.tree;
  const fat::Node& dir = t.nodes[t.nodes[f.node].parent];
  std::set<std::string> names;
  for (std::uint32_t i = dir.childBegin; i < dir.childBegin + dir.childCount; ++i) {
    Entry32 e{};
    if (i == f.node || !ReadEntry(PlaceOfNode(t, i), e)) continue;
    if (e[0] != fat::kDeletedEntry && e[0] != 0)
      names.emplace(reinterpret_cast<char*>(e.data()), 11);
  }
  Entry32 e{};
  if (!ReadEntry(f.entry, e)) return "the entry cannot be read";
  std::string name(reinterpret_cast<char*>(e.data()), 11);
  static constexpr char kRefused[] = "*?<>|\"\\/:";
  for (std::size_t i = 0; i < 11; ++i) {
    const auto b = static_cast<std::uint8_t>(name[i]);
    if ((b < 0x20 && !(i == 0 && b == fat::kStoredE5)) || b == 0x7F ||
        (b != 0 && std::strchr(kRefused, b) != nullptr))
      name[i] = '_';
  }
  if (name[0] == ' ') name[0] = '_';
  // A numbered tail makes it unique, as long names' short forms are made: NAME~1.EXT.
  for (int k = 1; names.count(name) != 0 && k < 1000000; ++k) {
    std::string base = name.substr(0, 8);
    base.erase(base.find_last_not_of(' ') + 1);
    const std::string tail = "~" + std::to_string(k);
    base.resize(std::min(base.size(), 8 - tail.size()));
    base += tail;
    base.append(8 - base.size(), ' ');
    name = base.append(name, 8);
  }
  if (names.count(name) != 0) return "no unique name is left";
  std::copy(name.begin(), name.end(), e.begin());
  if (!WriteEntry(f.entry, e)) return "the entry cannot be written";
  // Its long name stays its own: the pieces carry the new short name's checksum.
  const std::uint8_t sum = fat::ShortNameChecksum(e.data());
  for (const Place& p : f.pieces) {
    if (!v_.WriteBytes(Offset(p) + fat::kLdirChksum, std::span(&sum, 1)))
      return "a long-name piece cannot be written";
  }
  Step("Rename " + f.path + " to " + fat::ShortNameText(e.data(), kDefaultOemCodePage) + ".");
  return {};
}

std::string Work::FixDot(const Finding& f) {
  Entry32 e{};
  if (!ReadEntry(f.entry, e)) return "the slot cannot be read";
  const bool dot = f.value == 0;
  const char* name = dot ? kDotName : kDotDotName;
  if (e[0] != 0 && e[0] != fat::kDeletedEntry && std::memcmp(e.data(), name, 11) != 0)
    return "the slot holds another entry";
  if (e[0] == 0 || e[0] == fat::kDeletedEntry) e.fill(0), fat::PutLe16(e.data() + 24, kRepairDate);
  std::copy_n(name, 11, e.begin());
  e[fat::kDirAttr] = fat::kAttrDirectory;
  SetFirstCluster(e, static_cast<std::uint32_t>(f.expected));
  fat::PutLe32(e.data() + fat::kDirFileSize, 0);
  if (!WriteEntry(f.entry, e)) return "the slot cannot be written";
  Step("Write the \"" + std::string(dot ? "." : "..") + "\" entry of " + f.path +
       " anew, naming cluster " + std::to_string(f.expected) + ".");
  return {};
}

std::string Work::FixAttributes(const Finding& f) {
  Entry32 e{};
  if (!ReadEntry(f.entry, e)) return "the entry cannot be read";
  std::uint8_t attr = e[fat::kDirAttr] & 0x3F;
  if ((attr & 0x18) == 0x18) {
    // A directory when its first cluster begins with a "." entry; else a file.
    const std::uint32_t c = fat::FirstCluster(e.data(), l_.kind);
    SectorBytes s{};
    const bool directory = l_.IsCluster(c) && v_.Read(l_.ClusterSector(c), s) &&
                           std::memcmp(s.data(), kDotName, 11) == 0;
    attr &= directory ? ~std::uint8_t{fat::kAttrVolumeId} : ~std::uint8_t{fat::kAttrDirectory};
  }
  e[fat::kDirAttr] = attr;
  if (!WriteEntry(f.entry, e)) return "the entry cannot be written";
  Step("Set the attributes of " + f.path + " to " + HexByte(attr) + ".");
  return {};
}

std::string Work::CopyFat(unsigned from, unsigned to) {
  if (from >= l_.numFats || to >= l_.numFats || from == to) return "there is no such FAT copy";
  // The sectors that hold entries 0 to the last cluster's.
  const std::size_t sectors = r_.fat().bytes().size() / fat::kSectorBytes;
  for (std::size_t s = 0; s < sectors; ++s) {
    SectorBytes a{}, b{};
    const auto i = static_cast<std::int64_t>(s);
    if (!v_.Read(l_.FatSector(from) + i, a) || !v_.Read(l_.FatSector(to) + i, b))
      return "a FAT sector cannot be read";
    if (a != b && !v_.Write(l_.FatSector(to) + i, a)) return "a FAT sector cannot be written";
  }
  Step("Make FAT" + std::to_string(to + 1) + " equal to FAT" + std::to_string(from + 1) + ".");
  return {};
}

std::string Work::CopySector(std::int64_t from, std::int64_t to) {
  SectorBytes s{};
  if (!v_.Read(from, s)) return "sector " + std::to_string(from) + " cannot be read";
  return v_.Write(to, s) ? "" : "sector " + std::to_string(to) + " cannot be written";
}

std::string Work::FsInfo(bool create) {
  std::int64_t n = r_.geometry.BPB_FSInfo;
  if (create) {
    SectorBytes s{};
    if (r_.geometry.BPB_RsvdSec < 2 || r_.geometrySector != 0 || !v_.Read(1, s))
      return "there is no reserved sector for it";
    if (std::any_of(s.begin(), s.end(), [](std::uint8_t b) { return b != 0; }) &&
        fat::Le32(s.data()) != 0x41615252)
      return "sector 1 is in use";
    n = 1;
    if (!EditSector(0, [](SectorBytes& b) { fat::PutLe16(b.data() + 48, 1); }))
      return "the boot sector cannot be written";
  }
  // The next-free hint is kept when it names a cluster; the free count is the FAT's.
  const bool ok = EditSector(n, [&](SectorBytes& s) {
    fat::PutLe32(s.data(), 0x41615252);
    fat::PutLe32(s.data() + 484, 0x61417272);
    fat::PutLe32(s.data() + 508, 0xAA550000);
    fat::PutLe32(s.data() + 488, static_cast<std::uint32_t>(r_.freeClusters));
    const std::uint32_t next = fat::Le32(s.data() + 492);
    if (next != 0xFFFFFFFF && !l_.IsCluster(next)) fat::PutLe32(s.data() + 492, 0xFFFFFFFF);
  });
  if (!ok) return "the FSInfo sector cannot be written";
  Step((create ? "Make sector 1 the FSInfo sector"
               : "Correct the FSInfo sector (sector " + std::to_string(n) + ")") +
       std::string(": ") + std::to_string(r_.freeClusters) + " free clusters.");
  return {};
}

std::optional<Place> Work::RootSlot(std::set<std::string>& names) {
  std::vector<std::int64_t> sectors;
  std::uint32_t last = 0;
  if (l_.kind != fat::FatKind::Fat32) {
    for (std::int64_t s = 0; s < l_.rootSectors; ++s) sectors.push_back(l_.rootSector + s);
  } else {
    for (std::uint32_t c = l_.rootCluster, k = 0; l_.IsCluster(c) && k < 65536; ++k) {
      last = c;
      for (std::uint32_t s = 0; s < l_.sectorsPerCluster; ++s)
        sectors.push_back(l_.ClusterSector(c) + s);
      const std::optional<std::uint32_t> v = fat_.Get(c);
      if (!v || fat::Classify(l_.kind, *v, l_.MaxCluster()) != fat::EntryKind::Next) break;
      c = *v & 0x0FFFFFFF;
    }
  }
  // A free slot right after live long-name pieces would take them as its own long name; the
  // end of the directory there takes their place, the orphaned pieces deleted.
  std::optional<Place> slot;
  std::vector<Place> pieces;  // the live pieces right before this slot
  for (const std::int64_t s : sectors) {
    SectorBytes b{};
    if (!v_.Read(s, b)) return std::nullopt;
    for (std::uint32_t off = 0; off < 512; off += 32) {
      const bool free = b[off] == 0 || b[off] == fat::kDeletedEntry;
      if (free && !slot && (pieces.empty() || b[off] == 0)) {
        if (!MarkDeleted(pieces).empty()) return std::nullopt;
        if (!pieces.empty())
          Step("Delete " + Count(pieces.size(), "long-name piece", "long-name pieces") +
               " left at the end of the root directory.");
        slot = Place{s, off};
      }
      if (b[off] == 0) {
        // The entries that may lie hidden past the end stay hidden: the slot after the
        // new entry ends the directory.
        const std::size_t i = static_cast<std::size_t>(&s - sectors.data());
        const std::optional<Place> next = off + 32 < 512 ? std::optional<Place>({s, off + 32})
                                          : i + 1 < sectors.size()
                                              ? std::optional<Place>({sectors[i + 1], 0})
                                              : std::nullopt;
        const std::uint8_t end = 0;
        if (next && *slot == Place{s, off} && !v_.WriteBytes(Offset(*next), std::span(&end, 1)))
          return std::nullopt;
        return slot;
      }
      if (!free) names.emplace(reinterpret_cast<char*>(&b[off]), 11);
      if (free || !fat::IsLongNamePiece(&b[off]))
        pieces.clear();
      else
        pieces.push_back({s, off});
    }
  }
  if (slot || l_.kind != fat::FatKind::Fat32 || last == 0) return slot;
  // The FAT32 root grows by one cluster, zeroed.
  const std::optional<std::uint32_t> c = Allocate(last + 1);
  if (!c || !fat_.Set(last, *c)) return std::nullopt;
  for (std::uint32_t s = 0; s < l_.sectorsPerCluster; ++s)
    if (!v_.Write(l_.ClusterSector(*c) + s, SectorBytes{})) return std::nullopt;
  return Place{l_.ClusterSector(*c), 0};
}

std::string Work::SaveLost(const std::vector<CheckResult::LostRun>& runs) {
  if (runs.empty()) return {};
  constexpr std::size_t kMostFiles = 65534;
  if (runs.size() > kMostFiles) return "there are more lost chains than one directory can hold";
  std::set<std::string> names;
  const std::optional<Place> slot = RootSlot(names);
  if (!slot) return "the root directory has no free entry";
  std::string dirName;
  for (int k = 0; k < 1000 && dirName.empty(); ++k) {
    const std::string n = "FOUND   " + std::to_string(1000 + k).substr(1);  // FOUND.000 on
    if (names.count(n) == 0) dirName = n;
  }
  if (dirName.empty()) return "FOUND.000 to FOUND.999 all exist";
  // Each chain ends at its last lost cluster, which may point on into a file's chain.
  for (const CheckResult::LostRun& run : runs) {
    std::uint32_t c = run.head;
    for (std::uint64_t i = 1; i < run.length; ++i) {
      const std::optional<std::uint32_t> v = fat_.Get(c);
      if (!v) return "the FAT cannot be read";
      c = *v & 0x0FFFFFFF;
    }
    if (!fat_.Set(c, fat_.EndMark())) return "the FAT cannot be written";
  }
  // The directory: ".", "..", and one FILEnnnn.CHK for each chain.
  std::vector<std::uint8_t> bytes((runs.size() + 2) * 32);
  const std::uint64_t clusters = (bytes.size() + l_.clusterBytes - 1) / l_.clusterBytes;
  bytes.resize(clusters * l_.clusterBytes);
  std::vector<std::uint32_t> own;
  for (std::uint64_t i = 0; i < clusters; ++i) {
    const std::optional<std::uint32_t> c = Allocate(own.empty() ? 2 : own.back() + 1);
    if (!c) return "there are not enough free clusters for the directory";
    if (!own.empty() && !fat_.Set(own.back(), *c)) return "the FAT cannot be written";
    own.push_back(*c);
  }
  auto put = [&](std::size_t i, const char* name, std::uint8_t attr, std::uint32_t cluster,
                 std::uint32_t size) {
    std::uint8_t* e = &bytes[i * 32];
    std::copy_n(name, 11, e);
    e[fat::kDirAttr] = attr;
    fat::PutLe16(e + 16, kRepairDate);
    fat::PutLe16(e + 18, kRepairDate);
    fat::PutLe16(e + 24, kRepairDate);
    fat::PutLe16(e + fat::kDirFstClusLO, static_cast<std::uint16_t>(cluster));
    if (l_.kind == fat::FatKind::Fat32)
      fat::PutLe16(e + fat::kDirFstClusHI, static_cast<std::uint16_t>(cluster >> 16));
    fat::PutLe32(e + fat::kDirFileSize, size);
  };
  put(0, kDotName, fat::kAttrDirectory, own.front(), 0);
  put(1, kDotDotName, fat::kAttrDirectory, 0, 0);
  for (std::size_t i = 0; i < runs.size(); ++i) {
    // FILE0000.CHK on, FIL10000.CHK past 9999.
    std::string number = std::to_string(i);
    const std::size_t width = i < 10000 ? 4 : 5;
    number.insert(0, width - number.size(), '0');
    std::string n = i < 10000 ? "FILE" : "FIL";
    n += number;
    n += "CHK";
    const std::uint64_t size =
        std::min<std::uint64_t>(runs[i].length * l_.clusterBytes, 0xFFFFFFFF);
    put(i + 2, n.c_str(), 0x20, runs[i].head, static_cast<std::uint32_t>(size));
  }
  for (std::size_t i = 0; i < own.size(); ++i) {
    for (std::uint32_t s = 0; s < l_.sectorsPerCluster; ++s) {
      SectorBytes b{};
      std::copy_n(&bytes[(i * l_.sectorsPerCluster + s) * 512], 512, b.begin());
      if (!v_.Write(l_.ClusterSector(own[i]) + s, b)) return "the directory cannot be written";
    }
  }
  Entry32 e{};
  std::copy(bytes.begin(), bytes.begin() + 32, e.begin());
  std::copy_n(dirName.data(), 11, e.begin());
  if (!WriteEntry(*slot, e)) return "the root directory cannot be written";
  const std::string shown = "/FOUND." + dirName.substr(8);
  Step("Save " + Count(runs.size(), "lost chain", "lost chains") + " as files in " + shown + ".");
  return {};
}

std::string Work::FreeLost(const std::vector<CheckResult::LostRun>& runs) {
  std::uint64_t freed = 0;
  for (const CheckResult::LostRun& run : runs) {
    std::uint32_t c = run.head;
    for (std::uint64_t i = 0; i < run.length && l_.IsCluster(c); ++i, ++freed) {
      const std::optional<std::uint32_t> v = fat_.Get(c);
      if (!v || !fat_.Set(c, 0)) return "the FAT cannot be written";
      c = *v & 0x0FFFFFFF;
    }
  }
  Step("Free " + Count(freed, "cluster", "clusters") + " of " +
       Count(runs.size(), "lost chain", "lost chains") + ".");
  return {};
}

std::string Work::Apply(const Finding& f, const RepairOption& o) {
  const std::int64_t bk = r_.geometry.BPB_BkBootSec;
  switch (o.repair) {
    case Repair::RestoreBootFromBackup: {
      const std::int64_t from = r_.geometrySector > 0 ? r_.geometrySector : bk;
      SectorBytes b{};
      if (!v_.Read(from, b)) return "the backup cannot be read";
      if (const auto d = fat::DecodeBootSector(b, {}); !d.accepted())
        return "the backup breaks a rule too: " + d.refusal;
      Step("Write the backup boot sector (sector " + std::to_string(from) +
           ") over the boot sector.");
      return CopySector(from, 0);
    }
    case Repair::CopyBootToBackup:
      Step("Write the boot sector over its backup (sector " + std::to_string(bk) + ").");
      return CopySector(0, bk);
    case Repair::CreateBackupBoot: {
      // Sector 6 takes it when it is empty or holds an old boot sector (its 55 AA).
      SectorBytes six{};
      if (r_.geometry.BPB_RsvdSec <= 6 || !v_.Read(6, six) ||
          (std::any_of(six.begin(), six.end(), [](std::uint8_t b) { return b != 0; }) &&
           (six[510] != 0x55 || six[511] != 0xAA)))
        return "sector 6 is not free for a backup";
      if (!EditSector(0, [](SectorBytes& b) { fat::PutLe16(b.data() + 50, 6); }))
        return "the boot sector cannot be written";
      Step("Name sector 6 as the backup boot sector and copy the boot sector there.");
      return CopySector(0, 6);
    }
    case Repair::SetBootSignature:
      Step("Write the signature 55 AA at the end of the boot sector.");
      return EditSector(0, [](SectorBytes& b) { b[510] = 0x55, b[511] = 0xAA; })
                 ? ""
                 : "the boot sector cannot be written";
    case Repair::RoundRootEntries: {
      const std::uint64_t want = f.expected;
      if (want > 0xFFFF || (f.value * 32 + 511) / 512 != want * 32 / 512)
        return "the root would change size";
      Step("Set the root entry count to " + std::to_string(want) + ".");
      return EditSector(0,
                        [want](SectorBytes& b) {
                          fat::PutLe16(b.data() + 17, static_cast<std::uint16_t>(want));
                        })
                 ? ""
                 : "the boot sector cannot be written";
    }
    case Repair::CreateFsInfo:
      return FsInfo(true);
    case Repair::RewriteFsInfo:
      return FsInfo(false);
    case Repair::ClearDirtyFlags: {
      const std::uint32_t at = l_.kind == fat::FatKind::Fat32 ? 65 : 37;
      auto clear = [at](SectorBytes& b) { b[at] &= 0xFE; };
      if (!EditSector(0, clear)) return "the boot sector cannot be written";
      SectorBytes b{};
      if (l_.kind == fat::FatKind::Fat32 && bk > 0 && bk < r_.geometry.BPB_RsvdSec &&
          v_.Read(bk, b) && (b[at] & 1) != 0 && !EditSector(bk, clear))
        return "the backup boot sector cannot be written";
      if (l_.kind != fat::FatKind::Fat12) {
        const std::uint32_t flags = l_.kind == fat::FatKind::Fat16 ? 0xC000 : 0x0C000000;
        const std::optional<std::uint32_t> v1 = fat_.Get(1);
        if (!v1 || !fat_.Set(1, *v1 | flags)) return "the FAT cannot be written";
      }
      Step("Mark the volume clean.");
      return {};
    }
    case Repair::FixReservedEntries: {
      const auto media = static_cast<std::uint32_t>(r_.geometry.BPB_Media) & 0xFF;
      const bool fat12 = l_.kind == fat::FatKind::Fat12, fat16 = l_.kind == fat::FatKind::Fat16;
      const std::optional<std::uint32_t> v1 = fat_.Get(1);
      if (!v1) return "the FAT cannot be read";
      const std::uint32_t one = fat12   ? 0xFFF
                                : fat16 ? (*v1 & 0xC000) | 0x3FFF
                                        : (*v1 & 0x0C000000) | 0x03FFFFFF;
      if (!fat_.Set(0, (fat12 ? 0xF00 : fat16 ? 0xFF00 : 0x0FFFFF00) | media) || !fat_.Set(1, one))
        return "the FAT cannot be written";
      Step("Write FAT[0] and FAT[1] anew, FAT[0] with the media byte " +
           HexByte(static_cast<std::uint8_t>(media)) + ".");
      return {};
    }
    case Repair::CopyFat:
      return CopyFat(o.from, o.to);
    case Repair::EndChain:
    case Repair::TruncateAtCrossLink:
      return EndAt(f);
    case Repair::CopySharedClusters:
      return CopyShared(f);
    case Repair::SizeToChain: {
      std::uint64_t size = 0;
      if (f.kind == FindingKind::FileSizeTooLarge) size = f.expected;
      if (f.kind == FindingKind::FileChainTooLong) size = f.value * l_.clusterBytes;
      if (f.kind == FindingKind::EmptyFileWithClusters) size = f.clusters * l_.clusterBytes;
      if (size > 0xFFFFFFFF) return "the chain holds more than a file's size can say";
      Entry32 e{};
      if (!ReadEntry(f.entry, e)) return "its entry cannot be read";
      fat::PutLe32(e.data() + fat::kDirFileSize, static_cast<std::uint32_t>(size));
      Step("Set the size of " + f.path + " to " + std::to_string(size) + ".");
      return WriteEntry(f.entry, e) ? "" : "its entry cannot be written";
    }
    case Repair::ChainToSize: {
      if (f.kind == FindingKind::EmptyFileWithClusters) {
        Step("Free the chain of the empty file " + f.path + ".");
        if (std::string e = EntryField(f, 0, std::nullopt); !e.empty()) return e;
        return FreeTail(f.firstCluster, f.node, 0);
      }
      const std::optional<std::uint32_t> next = fat_.Get(f.fatEntry);
      if (!next || !fat_.Set(f.fatEntry, fat_.EndMark())) return "the FAT cannot be written";
      Step("End the chain of " + f.path + " at cluster " + std::to_string(f.fatEntry) +
           ", where its size ends, and free the clusters after it.");
      return FreeTail(*next & 0x0FFFFFFF, f.node, f.clusters);
    }
    case Repair::ClearFirstCluster:
      Step("Make " + f.path + " an empty file.");
      return EntryField(f, 0, 0);
    case Repair::RemoveEntry: {
      std::vector<Place> places = f.pieces;
      places.push_back(f.entry);
      Step("Delete the entry " + f.path + ".");
      return MarkDeleted(places);
    }
    case Repair::FreeLostChain:
      return FreeLost({{f.firstCluster, f.clusters}});
    case Repair::SaveLostChain:
      return SaveLost({{f.firstCluster, f.clusters}});
    case Repair::SaveAllLostChains:
      return SaveLost(r_.lostChains);
    case Repair::FreeAllLostChains:
      return FreeLost(r_.lostChains);
    case Repair::RenameEntry:
      return Rename(f);
    case Repair::RemoveLfnPieces:
      Step("Delete " + Count(f.pieces.size(), "long-name piece", "long-name pieces") + " in " +
           f.path + ".");
      return MarkDeleted(f.pieces);
    case Repair::AttachLfnPieces: {
      Entry32 e{};
      if (!ReadEntry(f.entry, e)) return "the short entry cannot be read";
      const std::uint8_t sum = fat::ShortNameChecksum(e.data());
      for (const Place& p : f.pieces)
        if (!v_.WriteBytes(Offset(p) + fat::kLdirChksum, std::span(&sum, 1)))
          return "a piece cannot be written";
      Step("Give the long name of " + f.path + " the checksum of its short name.");
      return {};
    }
    case Repair::ClearLfnFields: {
      const std::uint8_t zeros[2] = {};
      for (const Place& p : f.pieces) {
        if (!v_.WriteBytes(Offset(p) + 12, std::span(zeros, 1)) ||
            !v_.WriteBytes(Offset(p) + 26, std::span(zeros, 2)))
          return "a piece cannot be written";
      }
      Step("Clear the type and cluster fields of a long-name piece in " + f.path + ".");
      return {};
    }
    case Repair::FixDotEntry:
      return FixDot(f);
    case Repair::FixAttributes:
      return FixAttributes(f);
  }
  return "unknown repair";
}

RepairOption Option(Repair repair, std::string title, bool usual = true) {
  RepairOption o;
  o.repair = repair;
  o.title = std::move(title);
  o.usual = usual;
  return o;
}

// The order Repair All goes in: the boot sector first, then one FAT for all, the entries,
// the chains' ends, their shared clusters, their lengths, the lost chains, and last what
// sums the rest up (FSInfo) or copies it (the backup boot sector).
int Stage(FindingKind k) {
  switch (k) {
    case FindingKind::BootSectorInvalid:
    case FindingKind::BootSignatureMissing:
    case FindingKind::RootEntriesNotWholeSector:
      return 1;
    case FindingKind::FatCopiesDiffer:
      return 2;
    case FindingKind::ChainLoop:
    case FindingKind::ChainIntoFree:
    case FindingKind::ChainIntoBad:
      return 4;
    case FindingKind::CrossLink:
      return 5;
    case FindingKind::FileSizeTooLarge:
    case FindingKind::FileChainTooLong:
    case FindingKind::EmptyFileWithClusters:
      return 6;
    case FindingKind::LostChain:
      return 7;
    case FindingKind::BackupBootDiffers:
    case FindingKind::BackupBootMissing:
    case FindingKind::FsInfoMissing:
    case FindingKind::FsInfoSignature:
    case FindingKind::FsInfoFreeCount:
    case FindingKind::FsInfoFreeCountUnknown:
    case FindingKind::FsInfoNextFree:
      return 8;
    default:
      return 3;
  }
}

RepairPlan Finish(RepairPlan plan, const EditedVolume& v) {
  if (plan.ok())
    plan.writes = v.Writes();
  else
    plan.steps.clear();
  return plan;
}

}  // namespace

std::vector<RepairOption> RepairsFor(const CheckResult& r, const Finding& f) {
  std::vector<RepairOption> o;
  if (!r.layout) return o;
  const fat::Tree* t = r.tree ? &*r.tree : nullptr;
  const bool dir =
      t != nullptr && f.node != kNoNode && (f.node == 0 || t->nodes[f.node].IsDirectory());
  const std::string in = "FAT" + std::to_string(r.fatInUse + 1);
  switch (f.kind) {
    case FindingKind::BootSectorInvalid:
      if (r.geometrySector > 0)
        o.push_back(
            Option(Repair::RestoreBootFromBackup, "Restore the boot sector from its backup"));
      break;
    case FindingKind::BootSignatureMissing:
      o.push_back(Option(Repair::SetBootSignature, "Write the signature 55 AA"));
      break;
    case FindingKind::RootEntriesNotWholeSector:
      if (f.expected <= 0xFFFF)
        o.push_back(Option(Repair::RoundRootEntries,
                           "Set the root entry count to " + std::to_string(f.expected)));
      break;
    case FindingKind::BackupBootDiffers:
      o.push_back(Option(Repair::CopyBootToBackup, "Copy the boot sector to its backup"));
      o.push_back(
          Option(Repair::RestoreBootFromBackup, "Restore the boot sector from its backup", false));
      break;
    case FindingKind::BackupBootMissing:
      o.push_back(Option(Repair::CreateBackupBoot, "Make a backup of the boot sector in sector 6"));
      break;
    case FindingKind::FsInfoMissing:
      o.push_back(Option(Repair::CreateFsInfo, "Make sector 1 the FSInfo sector"));
      break;
    case FindingKind::FsInfoSignature:
    case FindingKind::FsInfoFreeCount:
    case FindingKind::FsInfoFreeCountUnknown:
    case FindingKind::FsInfoNextFree:
      o.push_back(Option(Repair::RewriteFsInfo, "Correct the FSInfo sector"));
      break;
    case FindingKind::VolumeDirty:
    case FindingKind::FatDirtyFlag:
    case FindingKind::FatErrorFlag:
      o.push_back(Option(Repair::ClearDirtyFlags, "Mark the volume clean"));
      break;
    case FindingKind::MediaMismatch:
    case FindingKind::ReservedEntryWrong:
      o.push_back(Option(Repair::FixReservedEntries, "Write FAT[0] and FAT[1] anew"));
      break;
    case FindingKind::FatCopiesDiffer: {
      RepairOption a =
          Option(Repair::CopyFat, "Make FAT" + std::to_string(f.fatCopy + 1) + " equal to " + in);
      a.from = r.fatInUse, a.to = f.fatCopy;
      RepairOption b = Option(
          Repair::CopyFat, "Make " + in + " equal to FAT" + std::to_string(f.fatCopy + 1), false);
      b.from = f.fatCopy, b.to = r.fatInUse;
      o.push_back(a);
      o.push_back(b);
      break;
    }
    case FindingKind::FatEntryReserved:
    case FindingKind::FatEntryOutOfRange:
      o.push_back(Option(Repair::EndChain, "Mark cluster " + std::to_string(f.fatEntry) +
                                               " as the end of its chain"));
      break;
    case FindingKind::ChainLoop:
      o.push_back(Option(Repair::EndChain,
                         "Break the loop: end the chain at cluster " + std::to_string(f.fatEntry)));
      break;
    case FindingKind::ChainIntoFree:
    case FindingKind::ChainIntoBad:
      o.push_back(Option(Repair::EndChain,
                         f.clusters > 0 ? "End the chain at cluster " + std::to_string(f.fatEntry)
                                        : "Clear the first cluster"));
      break;
    case FindingKind::CrossLink:
      if (!dir)
        o.push_back(Option(Repair::CopySharedClusters,
                           "Give " + f.path + " its own copy of the shared clusters"));
      if (f.node != 0)
        o.push_back(Option(Repair::TruncateAtCrossLink,
                           "End the chain of " + f.path + " before the shared clusters", dir));
      break;
    case FindingKind::LostChain:
      o.push_back(Option(Repair::SaveLostChain, "Save the chain as a file in /FOUND"));
      o.push_back(Option(Repair::FreeLostChain, "Free the chain's clusters", false));
      break;
    case FindingKind::FileSizeTooLarge:
      o.push_back(Option(Repair::SizeToChain, "Set the size to " + std::to_string(f.expected)));
      break;
    case FindingKind::FileChainTooLong:
      o.push_back(Option(Repair::ChainToSize, "End the chain where the size ends"));
      if (f.value * std::uint64_t{r.layout->clusterBytes} <= 0xFFFFFFFF)
        o.push_back(Option(Repair::SizeToChain,
                           "Set the size to " + std::to_string(f.value * r.layout->clusterBytes),
                           false));
      break;
    case FindingKind::EmptyFileWithClusters:
      o.push_back(Option(Repair::ChainToSize, "Free the chain"));
      o.push_back(Option(Repair::SizeToChain,
                         "Set the size to " + std::to_string(f.clusters * r.layout->clusterBytes),
                         false));
      break;
    case FindingKind::DirectoryNonZeroSize:
      o.push_back(Option(Repair::SizeToChain, "Set the size to 0"));
      break;
    case FindingKind::FirstClusterOutOfRange:
      if (dir)
        o.push_back(Option(Repair::RemoveEntry, "Delete the entry"));
      else
        o.push_back(Option(Repair::ClearFirstCluster, "Make it an empty file"));
      break;
    case FindingKind::ReadError:
      break;
    case FindingKind::BadShortName:
    case FindingKind::DuplicateName:
      if (f.node != kNoNode) o.push_back(Option(Repair::RenameEntry, "Rename the entry"));
      break;
    case FindingKind::BadDotEntry:
      o.push_back(
          Option(Repair::FixDotEntry,
                 std::string("Write the ") + (f.value == 0 ? "\".\"" : "\"..\"") + " entry anew"));
      break;
    case FindingKind::LfnOrphan:
      o.push_back(Option(Repair::RemoveLfnPieces, "Delete the pieces"));
      break;
    case FindingKind::LfnBadChecksum:
      o.push_back(Option(Repair::RemoveLfnPieces, "Delete the long name"));
      o.push_back(Option(Repair::AttachLfnPieces, "Keep the long name for this entry", false));
      break;
    case FindingKind::LfnPieceFields:
      o.push_back(Option(Repair::ClearLfnFields, "Set the fields to 0"));
      break;
    case FindingKind::ExtraVolumeLabel:
      o.push_back(Option(Repair::RemoveEntry, "Delete the label"));
      break;
    case FindingKind::ImpossibleAttributes:
      o.push_back(Option(Repair::FixAttributes, "Clear the impossible bits"));
      break;
  }
  return o;
}

RepairPlan PlanRepair(fat::ByteSource& medium, const CheckResult& r, const Finding& f,
                      const RepairOption& option) {
  RepairPlan plan;
  plan.title = option.title;
  if (!r.layout || !r.tree || !r.owners) {
    plan.error = "the volume was not checked whole";
    return plan;
  }
  EditedVolume v(medium);
  plan.error = Work(v, r, plan).Apply(f, option);
  return Finish(std::move(plan), v);
}

RepairPlan PlanRepairAll(fat::ByteSource& medium, WorkProgress* progress) {
  constexpr int kMaxRounds = 24;
  RepairPlan plan;
  plan.title = "Repair All";
  EditedVolume v(medium);
  std::set<int> exhausted;  // stages whose repairs changed nothing
  StepProgress steps(progress);
  for (int round = 0; round < kMaxRounds; ++round) {
    steps.Step(1000 * round / kMaxRounds, 1000 * (round + 1) / kMaxRounds);
    const CheckResult r = CheckVolume(v, steps.self());
    if (r.cancelled || steps.Cancelled()) {
      plan.error = "cancelled";
      return Finish(std::move(plan), v);
    }
    if (!r.complete) break;
    int stage = 0;
    for (const Finding& f : r.findings) {
      const int s = Stage(f.kind);
      const std::vector<RepairOption> o = RepairsFor(r, f);
      if (exhausted.count(s) == 0 &&
          std::any_of(o.begin(), o.end(), [](const RepairOption& x) { return x.usual; }) &&
          (stage == 0 || s < stage))
        stage = s;
    }
    if (stage == 0) break;
    const std::uint64_t before = v.changes();
    Work work(v, r, plan);
    std::set<std::pair<std::uint32_t, Place>> done;  // one repair per entry and node a round
    for (const Finding& f : r.findings) {
      if (Stage(f.kind) != stage) continue;
      if (f.kind == FindingKind::LostChain) {
        if (std::string e = work.SaveLost(r.lostChains); !e.empty())
          plan.steps.push_back("Not done: save the lost chains: " + e + ".");
        break;
      }
      const bool perEntry =
          stage >= 4 || f.kind == FindingKind::BadShortName || f.kind == FindingKind::DuplicateName;
      if (perEntry && !done.insert({f.node, f.entry}).second) continue;
      for (const RepairOption& o : RepairsFor(r, f)) {
        if (!o.usual) continue;
        const std::string e = work.Apply(f, o);
        if (e.empty()) break;
        plan.steps.push_back("Not done: " + o.title + " (" + f.path + "): " + e + ".");
      }
    }
    if (v.changes() == before) exhausted.insert(stage);
  }
  plan.left = CheckVolume(v).findings;
  steps.Step(1000, 1000);
  return Finish(std::move(plan), v);
}

std::string_view RepairName(Repair repair) {
  static constexpr std::string_view kNames[] = {
      "restore_boot_from_backup",
      "copy_boot_to_backup",
      "create_backup_boot",
      "set_boot_signature",
      "round_root_entries",
      "create_fsinfo",
      "rewrite_fsinfo",
      "clear_dirty_flags",
      "fix_reserved_entries",
      "copy_fat",
      "end_chain",
      "truncate_at_cross_link",
      "copy_shared_clusters",
      "size_to_chain",
      "chain_to_size",
      "clear_first_cluster",
      "remove_entry",
      "free_lost_chain",
      "save_lost_chain",
      "save_all_lost_chains",
      "free_all_lost_chains",
      "rename_entry",
      "remove_lfn_pieces",
      "attach_lfn_pieces",
      "clear_lfn_fields",
      "fix_dot_entry",
      "fix_attributes",
  };
  return kNames[static_cast<int>(repair)];
}

}  // namespace dulvex::check
