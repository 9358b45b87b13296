#include "fat/tree.h"

#include <algorithm>

#include "base/codepage.h"
#include "fat/dir_entry.h"

namespace dulvex::fat {

namespace {

// A long name has at most 20 pieces of 13 characters (255 characters and the final 0).
constexpr int kMaxPieces = 20;

// Where an entry lies, for the problems that name it.
std::string At(std::int64_t sector, std::size_t offset) {
  return " (sector " + std::to_string(sector) + ", offset " + std::to_string(offset) + ")";
}

bool IsDotEntry(const std::uint8_t* e) {
  static constexpr char kDot[] = ".          ", kDotDot[] = "..         ";
  return std::equal(e, e + 11, kDot) || std::equal(e, e + 11, kDotDot);
}

class Walker {
 public:
  Walker(ByteSource& source, const FatTable& fat, WorkProgress* progress)
      : source_(source),
        l_(fat.layout()),
        follower_(fat),
        dirSeen_((std::uint64_t{l_.MaxCluster()} + 64) / 64),
        progress_(progress) {}

  Tree Run() {
    Node root;
    root.attr = kAttrDirectory;
    root.firstCluster = l_.kind == FatKind::Fat32 ? l_.rootCluster : 0;
    tree_.nodes.push_back(root);
    std::vector<std::uint32_t> pending{0};
    std::size_t walked = 0;
    while (!pending.empty() && !full_) {
      if (progress_ != nullptr) {
        progress_->Report(walked, walked + pending.size());
        if (progress_->Cancelled()) {
          tree_.cancelled = true;
          break;
        }
      }
      const std::uint32_t d = pending.back();
      pending.pop_back();
      ++walked;
      WalkDirectory(d);
      const Node& dir = tree_.nodes[d];
      // Deeper directories first, each directory's own subdirectories in their order.
      for (std::uint32_t i = dir.childBegin + dir.childCount; i-- > dir.childBegin;) {
        const Node& n = tree_.nodes[i];
        if (n.IsDirectory() && !n.deleted) pending.push_back(i);
      }
    }
    return std::move(tree_);
  }

 private:
  struct Segment {
    std::int64_t sector;
    std::uint64_t bytes;
  };

  template <typename Text>
  void Problem(Text text) {
    if (tree_.problemCount++ < Tree::kMaxProblems) tree_.problems.push_back(text());
  }

  bool DirSeen(std::uint32_t c) const { return (dirSeen_[c / 64] >> (c % 64) & 1) != 0; }
  void MarkDir(std::uint32_t c) { dirSeen_[c / 64] |= std::uint64_t{1} << (c % 64); }

  // The sectors holding directory d, each cluster at most once over the whole walk.
  std::vector<Segment> SegmentsOf(std::uint32_t d) {
    auto path = [this, d] { return PathOf(tree_, d); };
    if (d == 0 && l_.kind != FatKind::Fat32) {
      const std::uint64_t bytes = std::min<std::uint64_t>(
          static_cast<std::uint64_t>(l_.rootSectors) * kSectorBytes, Tree::kMaxDirectoryBytes);
      if (bytes == 0) return {};
      return {{l_.rootSector, bytes}};
    }
    const std::uint32_t start = tree_.nodes[d].firstCluster;
    if (!l_.IsCluster(start)) {
      Problem([&] {
        return path() + ": first cluster " + std::to_string(start) +
               " is not a data cluster; not read";
      });
      return {};
    }
    if (DirSeen(start)) {
      Problem([&] {
        return path() + ": cluster " + std::to_string(start) +
               " belongs to a directory met before; not walked again";
      });
      return {};
    }
    const std::uint64_t most =
        std::max<std::uint64_t>(1, Tree::kMaxDirectoryBytes / l_.clusterBytes);
    std::vector<std::uint32_t> clusters;
    std::uint32_t sharedAt = 0;
    const ChainEnd end = follower_.Walk(start, [&](std::uint32_t c) {
      if (DirSeen(c)) return sharedAt = c, false;
      MarkDir(c);
      clusters.push_back(c);
      return clusters.size() < most;
    });
    if (sharedAt != 0) {
      Problem([&] {
        return path() + ": its chain runs into cluster " + std::to_string(sharedAt) +
               " of another directory; read up to there";
      });
    } else if (end.stop == ChainStop::Cut) {
      Problem([&] { return path() + ": longer than 65536 entries; the rest is not read"; });
    } else if (end.stop != ChainStop::End) {
      Problem([&] { return path() + ": chain " + StopText(end, l_); });
    }
    std::vector<Segment> segments;
    for (const fat::Run& r : RunsOf(clusters))
      segments.push_back({l_.ClusterSector(r.first), std::uint64_t{r.count} * l_.clusterBytes});
    return segments;
  }

  // Reads a segment; sectors that cannot be read are reported and left out of `readable`.
  void Read(std::uint32_t d, const Segment& s) {
    buffer_.resize(s.bytes);
    readable_.assign(s.bytes / kSectorBytes, true);
    if (!ReadSectors(source_, s.sector, buffer_)) return;
    for (std::size_t i = 0; i < readable_.size(); ++i) {
      const std::span<std::uint8_t> one =
          std::span(buffer_).subspan(i * kSectorBytes, kSectorBytes);
      if (auto failure = ReadSectors(source_, s.sector + static_cast<std::int64_t>(i), one)) {
        readable_[i] = false;
        Problem([&] {
          return PathOf(tree_, d) + ": read error at " + failure->Describe() +
                 "; its entries are left out";
        });
      }
    }
  }

  void WalkDirectory(std::uint32_t d) {
    const std::vector<Segment> segments = SegmentsOf(d);
    const auto begin = static_cast<std::uint32_t>(tree_.nodes.size());
    tree_.nodes[d].walked = true;
    tree_.nodes[d].childBegin = begin;
    pieces_ = deletedPieces_ = 0;
    bool ended = false;
    for (const Segment& s : segments) {
      Read(d, s);
      for (std::size_t off = 0; off < s.bytes && !ended && !full_; off += kDirEntryBytes) {
        const std::int64_t sector = s.sector + static_cast<std::int64_t>(off / kSectorBytes);
        if (!readable_[off / kSectorBytes]) {
          pieces_ = deletedPieces_ = 0;  // a long name cannot span an unread sector
          continue;
        }
        ended = Entry(d, &buffer_[off], sector, off % kSectorBytes);
      }
      if (ended || full_) break;
    }
    if (pieces_ > 0) Orphaned(d);
    tree_.nodes[d].childCount = static_cast<std::uint32_t>(tree_.nodes.size()) - begin;
  }

  void Orphaned(std::uint32_t d) {
    Problem([&] {
      return PathOf(tree_, d) + ": long-name pieces" + At(pieceSector_, pieceOffset_) +
             " not followed by their short entry (orphaned); not used";
    });
    pieces_ = 0;
  }

  // One long-name piece, glued to those before it when it continues them.
  void Piece(std::uint32_t d, const std::uint8_t* e, std::int64_t sector, std::size_t offset) {
    const int number = e[kLdirOrd] & kPieceNumberMask;
    const bool last = (e[kLdirOrd] & kLastPieceFlag) != 0;
    if (last) {
      if (pieces_ > 0) Orphaned(d);
      if (number < 1 || number > kMaxPieces) {
        Problem([&] {
          return PathOf(tree_, d) + ": long-name piece" + At(sector, offset) +
                 " with the sequence number " + std::to_string(number) + "; not used";
        });
        return;
      }
      pieces_ = number;
      expected_ = number;
      checksum_ = e[kLdirChksum];
      pieceSector_ = sector, pieceOffset_ = offset;
      std::fill(std::begin(units_), std::end(units_), u'\0');
    } else if (pieces_ == 0 || number != expected_ || e[kLdirChksum] != checksum_) {
      const bool orphan = pieces_ == 0;
      pieces_ = 0;
      Problem([&] {
        return PathOf(tree_, d) + ": long-name piece" + At(sector, offset) +
               (orphan                ? " without the pieces before it (orphaned)"
                : number != expected_ ? " out of order"
                                      : " with another checksum than the pieces before it") +
               "; not used";
      });
      return;
    }
    PieceCharacters(e, &units_[(number - 1) * 13]);
    --expected_;
  }

  // A piece of a deleted long name: its number is lost with its first byte, but the pieces
  // of one name lie together before their short entry and share one checksum.
  void DeletedPiece(const std::uint8_t* e) {
    if (deletedPieces_ > 0 && (e[kLdirChksum] != deletedChecksum_ || deletedPieces_ == kMaxPieces))
      deletedPieces_ = 0;
    deletedChecksum_ = e[kLdirChksum];
    PieceCharacters(e, &deletedUnits_[deletedPieces_++ * 13]);
  }

  // The long name of a deleted short entry from the deleted pieces right before it, which
  // stand last piece first.
  std::optional<std::string> DeletedLongName() {
    char16_t units[kMaxPieces * 13] = {};
    for (int k = 0; k < deletedPieces_; ++k)
      std::copy_n(&deletedUnits_[k * 13], 13, &units[(deletedPieces_ - 1 - k) * 13]);
    std::string name = Utf16ToUtf8(units, static_cast<std::size_t>(deletedPieces_) * 13);
    return name.empty() ? std::nullopt : std::optional(name);
  }

  // One entry; true at the end marker.
  bool Entry(std::uint32_t d, const std::uint8_t* e, std::int64_t sector, std::size_t offset) {
    if (e[0] == kEndOfDirectory) return true;
    const bool deleted = e[0] == kDeletedEntry;
    if (IsLongNamePiece(e)) {
      if (deleted)
        DeletedPiece(e);
      else
        Piece(d, e, sector, offset), deletedPieces_ = 0;
      return false;
    }
    if (IsDotEntry(e)) {
      deletedPieces_ = 0;
      if (pieces_ > 0) Orphaned(d);
      return false;
    }
    Node n;
    n.name = ShortNameText(e);
    if (deleted && deletedPieces_ > 0) n.name = DeletedLongName().value_or(n.name);
    deletedPieces_ = 0;
    if (pieces_ > 0) {
      if (deleted || expected_ != 0) {
        Orphaned(d);
      } else if (checksum_ != ShortNameChecksum(e)) {
        Problem([&] {
          return PathOf(tree_, d) + ": long name" + At(pieceSector_, pieceOffset_) +
                 " with a wrong checksum for " + n.name + "; not used";
        });
      } else if (std::string name = Utf16ToUtf8(units_, std::size(units_)); !name.empty()) {
        n.name = std::move(name);
      }
      pieces_ = 0;
    }
    std::copy_n(e, 11, n.shortName.begin());
    n.parent = d;
    n.attr = e[kDirAttr];
    n.firstCluster = FirstCluster(e, l_.kind);
    n.size = FileSize(e);
    n.deleted = deleted;
    n.entrySector = sector;
    n.entryOffset = static_cast<std::uint16_t>(offset);
    if (tree_.nodes.size() >= Tree::kMaxNodes) {
      full_ = true;
      Problem([] {
        return "the volume holds more than " + std::to_string(Tree::kMaxNodes) +
               " entries; the walk stops there";
      });
      return true;
    }
    tree_.nodes.push_back(std::move(n));
    return false;
  }

  ByteSource& source_;
  const Layout& l_;
  ChainFollower follower_;
  std::vector<std::uint64_t> dirSeen_;  // clusters of the directories read, one bit each
  WorkProgress* progress_;
  Tree tree_;
  bool full_ = false;
  std::vector<std::uint8_t> buffer_;
  std::vector<bool> readable_;
  // The long name being assembled: pieces_ pieces, expected_ the number of the next one.
  int pieces_ = 0, expected_ = 0;
  std::uint8_t checksum_ = 0;
  std::int64_t pieceSector_ = 0;
  std::size_t pieceOffset_ = 0;
  char16_t units_[kMaxPieces * 13 + 1] = {};
  // Deleted pieces met since the last other entry.
  int deletedPieces_ = 0;
  std::uint8_t deletedChecksum_ = 0;
  char16_t deletedUnits_[kMaxPieces * 13] = {};
};

// Unicode characters folded for comparing names in any case (ASCII and Latin-1 letters).
std::vector<char32_t> Folded(std::string_view text) {
  std::vector<char32_t> chars = DecodeUtf8(text);
  for (char32_t& c : chars)
    if ((c >= U'a' && c <= U'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c -= 0x20;
  return chars;
}

bool Matches(const Node& n, const std::vector<char32_t>& want) {
  if (Folded(n.name) == want) return true;
  std::uint8_t stored[32] = {};
  std::copy(n.shortName.begin(), n.shortName.end(), stored);
  if (Folded(ShortNameText(stored)) == want) return true;
  if (!n.deleted || want.empty()) return false;
  // A deleted entry has lost its first character.
  const std::vector<char32_t> name = Folded(n.name);
  return name.size() == want.size() && std::equal(name.begin() + 1, name.end(), want.begin() + 1);
}

}  // namespace

Tree WalkTree(ByteSource& source, const FatTable& fat, WorkProgress* progress) {
  return Walker(source, fat, progress).Run();
}

std::string PathOf(const Tree& tree, std::uint32_t node) {
  std::vector<std::uint32_t> parts;
  for (std::uint32_t n = node; n != 0 && parts.size() < tree.nodes.size(); n = tree.nodes[n].parent)
    parts.push_back(n);
  std::string path;
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) path += "/" + tree.nodes[*it].name;
  return path.empty() ? "/" : path;
}

std::optional<std::uint32_t> FindPath(const Tree& tree, std::string_view path) {
  if (tree.nodes.empty()) return std::nullopt;
  std::uint32_t at = 0;
  while (!path.empty()) {
    const std::size_t slash = path.find('/');
    const std::string_view part = path.substr(0, slash);
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    if (part.empty()) continue;
    const Node& dir = tree.nodes[at];
    if (!dir.walked) return std::nullopt;
    const std::vector<char32_t> want = Folded(part);
    std::optional<std::uint32_t> found;
    for (std::uint32_t i = dir.childBegin; i < dir.childBegin + dir.childCount; ++i) {
      const Node& n = tree.nodes[i];
      if (n.IsVolumeLabel() || !Matches(n, want)) continue;
      if (!n.deleted) {
        found = i;
        break;
      }
      if (!found) found = i;
    }
    if (!found) return std::nullopt;
    at = *found;
  }
  return at;
}

}  // namespace dulvex::fat
