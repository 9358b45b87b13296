// The entries of every directory, read again from the medium: "." and "..", long-name pieces
// and their checksums, short names, duplicates, volume labels and attributes.
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "base/codepage.h"
#include "base/le.h"
#include "check/checker_parts.h"
#include "fat/dir_entry.h"

namespace dulvex::check {

namespace {

constexpr char kDotName[] = ".          ", kDotDotName[] = "..         ";

bool Bit(const std::vector<std::uint64_t>& bits, std::uint32_t n) {
  return (bits[n / 64] >> (n % 64) & 1) != 0;
}

bool IsDotName(const std::uint8_t* e) {
  return std::memcmp(e, kDotName, 11) == 0 || std::memcmp(e, kDotDotName, 11) == 0;
}

// fsck.fat's rule: control characters (a first 05 stands for E5), DEL and *?<>|"\/: are
// refused, and so is a name that begins with a blank.
bool BadShortName(const std::uint8_t* e, char* bad) {
  static constexpr char kRefused[] = "*?<>|\"\\/:";
  if (e[0] == ' ') return *bad = ' ', true;
  for (int i = 0; i < 11; ++i) {
    const std::uint8_t b = e[i];
    if ((b < 0x20 && !(i == 0 && b == fat::kStoredE5)) || b == 0x7F ||
        (b != 0 && std::strchr(kRefused, b) != nullptr))
      return *bad = static_cast<char>(b), true;
  }
  return false;
}

std::string Quoted(const std::string& s) {
  return "\"" + s + "\"";
}

// One long-name piece met in a directory.
struct Piece {
  Place at;
  std::uint8_t ord = 0, checksum = 0;
  char16_t units[13] = {};
};

// The characters of pieces stored last piece first.
std::string PiecesText(const std::vector<Piece>& pieces) {
  std::u16string units;
  units.reserve(pieces.size() * 13 + 1);
  for (std::size_t i = pieces.size(); i-- > 0;) units.append(pieces[i].units, 13);
  units.push_back(0);
  return fat::LongNameText(units.data(), units.size());
}

std::vector<Place> PlacesOf(const std::vector<Piece>& pieces) {
  std::vector<Place> places;
  places.reserve(pieces.size());
  for (const Piece& p : pieces) places.push_back(p.at);
  return places;
}

}  // namespace

void Checker::Directories() {
  const fat::Tree& t = *r_.tree;
  std::vector<std::uint64_t> seen((std::uint64_t{r_.layout->MaxCluster()} + 64) / 64);
  fat::ChainFollower follower(r_.fat());
  // In the order of the tree's walk, so that a cluster two directories share is read as
  // the one the walk read it for.
  std::vector<std::uint32_t> pending{0};
  std::size_t walked = 0;
  while (!pending.empty()) {
    if (walked % 64 == 0) {
      steps_.Report(walked, walked + pending.size());
      if (Stopped()) return;
    }
    const std::uint32_t d = pending.back();
    pending.pop_back();
    ++walked;
    ScanDirectory(d, seen, follower);
    const fat::Node& dir = t.nodes[d];
    for (std::uint32_t i = dir.childBegin + dir.childCount; i-- > dir.childBegin;) {
      const fat::Node& n = t.nodes[i];
      if (n.IsDirectory() && !n.deleted && n.walked) pending.push_back(i);
    }
  }
}

void Checker::ScanDirectory(std::uint32_t d, std::vector<std::uint64_t>& seen,
                            fat::ChainFollower& follower) {
  const fat::Tree& t = *r_.tree;
  const fat::Layout& l = *r_.layout;
  const fat::Node& dir = t.nodes[d];
  struct Run {
    std::int64_t sector;
    std::uint64_t sectors;
  };
  std::vector<Run> runs;
  if (d == 0 && l.kind != fat::FatKind::Fat32) {
    runs.push_back({l.rootSector, std::min<std::uint64_t>(static_cast<std::uint64_t>(l.rootSectors),
                                                          fat::Tree::kMaxDirectoryBytes / 512)});
  } else {
    const std::uint32_t start = d == 0 ? l.rootCluster : dir.firstCluster;
    if (!l.IsCluster(start) || Bit(seen, start)) return;
    const std::uint64_t most =
        std::max<std::uint64_t>(1, fat::Tree::kMaxDirectoryBytes / l.clusterBytes);
    std::vector<std::uint32_t> clusters;
    follower.Walk(start, [&](std::uint32_t c) {
      if (Bit(seen, c)) return false;
      seen[c / 64] |= std::uint64_t{1} << (c % 64);
      clusters.push_back(c);
      return clusters.size() < most;
    });
    for (const fat::Run& r : fat::RunsOf(clusters))
      runs.push_back({l.ClusterSector(r.first), std::uint64_t{r.count} * l.sectorsPerCluster});
  }

  const std::string dirPath = Path(d);
  const std::string dirText = d == 0 ? "The root directory" : dirPath;
  auto pathOf = [&](std::uint32_t node, const std::uint8_t* e) {
    if (node != kNoNode) return Path(node);
    return (d == 0 ? "" : dirPath) + "/" + fat::ShortNameText(e, page_);
  };
  std::uint32_t child = dir.childBegin;
  const std::uint32_t childEnd = dir.childBegin + dir.childCount;
  std::vector<Piece> pieces;
  int expected = 0;
  bool broken = false;
  std::string label;  // the first volume label of the root
  struct Named {
    Place at;
    std::uint32_t node;
  };
  std::unordered_map<std::string, Named> names;

  auto orphan = [&](const char* why) {
    if (pieces.empty()) return;
    Finding f;
    f.kind = FindingKind::LfnOrphan;
    f.severity = Severity::Warning;
    f.node = d;
    f.path = dirPath;
    f.at = pieces.front().at;
    f.length = static_cast<std::uint32_t>(fat::kDirEntryBytes);
    f.pieces = PlacesOf(pieces);
    f.text = dirText + " holds " + Count(pieces.size(), "long-name piece", "long-name pieces") +
             " (" + Quoted(PiecesText(pieces)) + ") " + why + ".";
    Add(std::move(f));
    pieces.clear();
    broken = false;
  };

  auto dotSlot = [&](const std::uint8_t* e, Place at, std::uint64_t slot) {
    const bool dot = slot == 0;
    const char* name = dot ? "\".\"" : "\"..\"";
    const std::uint32_t want = dot               ? dir.firstCluster
                               : dir.parent == 0 ? 0
                                                 : t.nodes[dir.parent].firstCluster;
    Finding f;
    f.kind = FindingKind::BadDotEntry;
    f.node = d;
    f.path = dirPath;
    f.at = at;
    f.entry = at;
    f.length = static_cast<std::uint32_t>(fat::kDirEntryBytes);
    f.expected = want;
    f.value = slot;
    if (e[0] == fat::kEndOfDirectory || e[0] == fat::kDeletedEntry) {
      f.text = dirPath + " has no " + name + " entry in its " + (dot ? "first" : "second") +
               " slot (the slot is free).";
    } else if (std::memcmp(e, dot ? kDotName : kDotDotName, 11) != 0) {
      f.text = dirPath + " holds another entry (" + fat::ShortNameText(e, page_) + ") where its " +
               name + " entry belongs.";
    } else if ((e[fat::kDirAttr] & fat::kAttrDirectory) == 0) {
      f.text = dirPath + ": its " + name + " entry does not have the directory attribute.";
    } else if (const std::uint32_t got = fat::FirstCluster(e, l.kind); got != want) {
      f.text = dirPath + ": its " + name + " entry names cluster " + std::to_string(got) +
               " instead of " + std::to_string(want) + ".";
    } else {
      return;
    }
    Add(std::move(f));
  };

  // One entry; true at the end marker.
  auto entry = [&](const std::uint8_t* e, Place at, std::uint64_t slot) {
    if (d != 0 && slot < 2) {
      dotSlot(e, at, slot);
      if (slot == 0 && e[0] == fat::kEndOfDirectory) dotSlot(e, {at.sector, at.offset + 32}, 1);
    }
    if (e[0] == fat::kEndOfDirectory) return true;
    const bool deleted = e[0] == fat::kDeletedEntry;
    if (fat::IsLongNamePiece(e)) {
      if (deleted) return orphan("not followed by their short entry"), false;
      if (e[12] != 0 || fat::Le16(e + 26) != 0) {
        Finding f;
        f.kind = FindingKind::LfnPieceFields;
        f.severity = Severity::Warning;
        f.node = d;
        f.path = dirPath;
        f.at = {at.sector, at.offset + 12};
        f.length = 16;
        f.pieces = {at};
        f.text = dirText + " holds a long-name piece with " +
                 (e[12] != 0 ? "the type " + HexByte(e[12]) : std::string()) +
                 (e[12] != 0 && fat::Le16(e + 26) != 0 ? " and " : "") +
                 (fat::Le16(e + 26) != 0 ? "the cluster " + std::to_string(fat::Le16(e + 26))
                                         : std::string()) +
                 "; both fields must be 0.";
        Add(std::move(f));
      }
      Piece p;
      p.at = at;
      p.ord = e[fat::kLdirOrd];
      p.checksum = e[fat::kLdirChksum];
      fat::PieceCharacters(e, p.units);
      const int number = p.ord & fat::kPieceNumberMask;
      if ((p.ord & fat::kLastPieceFlag) != 0) {
        orphan("not followed by their short entry");
        broken = number < 1 || number > 20;
      } else if (pieces.empty() || number != expected) {
        orphan("out of order");
        broken = true;
      }
      expected = number - 1;
      pieces.push_back(p);
      return false;
    }
    if (IsDotName(e)) return orphan("not followed by their short entry"), false;
    std::uint32_t node = kNoNode;
    if (child < childEnd && PlaceOfNode(t, child) == at) node = child++;
    std::vector<Place> own;
    if (!pieces.empty()) {
      if (deleted || broken || expected != 0) {
        orphan(deleted ? "before a deleted entry" : "out of order or incomplete");
      } else if (const std::uint8_t sum = fat::ShortNameChecksum(e);
                 std::any_of(pieces.begin(), pieces.end(),
                             [sum](const Piece& p) { return p.checksum != sum; })) {
        Finding f;
        f.kind = FindingKind::LfnBadChecksum;
        f.severity = Severity::Warning;
        f.node = d;
        f.other = node;
        f.path = pathOf(node, e);
        f.entry = at;
        f.at = pieces.front().at;
        f.length = static_cast<std::uint32_t>(fat::kDirEntryBytes);
        f.pieces = PlacesOf(pieces);
        f.value = pieces.front().checksum;
        f.expected = sum;
        f.text = dirText + ": the long name " + Quoted(PiecesText(pieces)) +
                 " does not carry the checksum of " + fat::ShortNameText(e, page_) + " (" +
                 HexByte(static_cast<std::uint8_t>(f.value)) + " instead of " + HexByte(sum) + ").";
        Add(std::move(f));
        pieces.clear();
      } else {
        own = PlacesOf(pieces);
        pieces.clear();
      }
    }
    if (deleted) return false;
    const std::uint8_t attr = e[fat::kDirAttr];
    auto finding = [&](FindingKind kind, std::string text) {
      Finding f;
      f.kind = kind;
      f.severity = Severity::Warning;
      f.node = node;
      f.entry = at;
      f.at = at;
      f.length = 11;
      f.path = pathOf(node, e);
      f.pieces = own;
      f.value = attr;
      f.text = std::move(text);
      return f;
    };
    if ((attr & 0x18) == 0x18 || (attr & 0xC0) != 0) {
      Finding f = finding(FindingKind::ImpossibleAttributes,
                          pathOf(node, e) + " has the attributes " + HexByte(attr) + ": " +
                              ((attr & 0x18) == 0x18 ? "a directory and a volume label at once."
                                                     : "bits 6 and 7 are reserved and must be 0."));
      f.at.offset += 11;
      f.length = 1;
      Add(std::move(f));
    }
    if ((attr & 0x18) == fat::kAttrVolumeId) {
      const std::string name = fat::ShortNameText(e, page_);
      if (d != 0 || !label.empty()) {
        Add(finding(FindingKind::ExtraVolumeLabel,
                    d != 0 ? dirPath + " holds a volume label (" + name +
                                 "); a volume label belongs in the root directory."
                           : "The root directory holds a second volume label (" + name +
                                 "); the first is " + label + "."));
      } else {
        label = name.empty() ? " " : name;
      }
      return false;
    }
    if (char bad = 0; BadShortName(e, &bad)) {
      const std::string shown =
          static_cast<std::uint8_t>(bad) < 0x20 || bad == 0x7F
              ? "the control character " + HexByte(static_cast<std::uint8_t>(bad))
          : bad == ' ' ? std::string("a blank at its start")
                       : "'" + std::string(1, bad) + "'";
      Add(finding(FindingKind::BadShortName, pathOf(node, e) + ": the short name holds " + shown +
                                                 ", which FAT does not allow."));
    }
    const std::string key(reinterpret_cast<const char*>(e), 11);
    if (auto [it, fresh] = names.try_emplace(key, Named{at, node}); !fresh) {
      Finding f = finding(FindingKind::DuplicateName, {});
      f.other = it->second.node;
      f.otherPath = it->second.node != kNoNode ? Path(it->second.node) : f.path;
      f.text = dirText + " holds two entries with the short name " + fat::ShortNameText(e, page_) +
               " (" + f.otherPath + " and " + f.path + ").";
      Add(std::move(f));
    }
    return false;
  };

  std::uint64_t slot = 0;
  std::vector<std::uint8_t> buffer;
  bool ended = false;
  for (const Run& run : runs) {
    if (ended) break;
    buffer.resize(run.sectors * 512);
    std::vector<bool> readable(run.sectors, true);
    if (fat::ReadSectors(medium_, run.sector, buffer)) {
      for (std::uint64_t s = 0; s < run.sectors; ++s) {
        SectorBytes one{};
        const auto sector = run.sector + static_cast<std::int64_t>(s);
        readable[s] = ReadSector(sector, one, "a sector of " + dirText);
        std::copy(one.begin(), one.end(), buffer.begin() + static_cast<std::ptrdiff_t>(s * 512));
      }
    }
    for (std::uint64_t off = 0; off < buffer.size(); off += fat::kDirEntryBytes, ++slot) {
      if (!readable[off / 512]) {
        pieces.clear();  // a long name does not span a sector that cannot be read
        continue;
      }
      const Place at{run.sector + static_cast<std::int64_t>(off / 512),
                     static_cast<std::uint32_t>(off % 512)};
      if ((ended = entry(&buffer[off], at, slot))) break;
    }
  }
  orphan("not followed by their short entry");
}

}  // namespace dulvex::check
