#include "fat/tree.h"

#include <algorithm>

#include "base/casefold.h"
#include "base/numbers.h"
#include "fat/dir_entry.h"

namespace dulvex::fat {

namespace {

// A long name has at most 20 pieces of 13 characters (255 characters and the final 0).
constexpr int kMaxPieces = 20;

// Where an entry lies, added to the problem that names it.
void AddAt(std::string& text, std::int64_t sector, std::size_t offset) {
  text += " (sector ";
  AppendDecimal(text, sector);
  text += ", offset ";
  AppendDecimal(text, offset);
  text += ')';
}

bool IsDotEntry(const std::uint8_t* e) {
  static constexpr char kDot[] = ".          ", kDotDot[] = "..         ";
  return std::equal(e, e + 11, kDot) || std::equal(e, e + 11, kDotDot);
}

class Walker {
 public:
  Walker(ByteSource& source, const FatTable& fat, WorkProgress* progress, OemCodePage page)
      : source_(source),
        l_(fat.layout()),
        follower_(fat),
        dirSeen_((std::uint64_t{l_.MaxCluster()} + 64) / 64),
        progress_(progress),
        page_(page),
        names_(tree_, source, page) {
    tree_.codePage = page;
  }

  Tree Run() {
    Node root;
    root.attr = kAttrDirectory;
    root.firstCluster = l_.kind == FatKind::Fat32 ? l_.rootCluster : 0;
    // Room for a small volume's tree at once; the records are cut to size at the end.
    tree_.nodes.reserve(64);
    tree_.extents.reserve(16);
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
    tree_.nodes.shrink_to_fit();
    tree_.extents.shrink_to_fit();
    return std::move(tree_);
  }

 private:
  template <typename Text>
  void Problem(Text text) {
    if (tree_.problemCount++ < Tree::kMaxProblems) tree_.problems.push_back(text());
  }
  // A problem of directory d: `text` adds what follows its path, in one string.
  template <typename Text>
  void Problem(std::uint32_t d, Text text) {
    if (tree_.problemCount++ >= Tree::kMaxProblems) return;
    if (tree_.problems.capacity() == 0) tree_.problems.reserve(16);
    std::string t;
    t.reserve(128);
    names_.AppendPath(d, t);
    text(t);
    tree_.problems.push_back(std::move(t));
  }

  bool DirSeen(std::uint32_t c) const { return (dirSeen_[c / 64] >> (c % 64) & 1) != 0; }
  void MarkDir(std::uint32_t c) { dirSeen_[c / 64] |= std::uint64_t{1} << (c % 64); }

  // The sectors holding directory d, each cluster at most once over the whole walk, added
  // to the tree's extents.
  void ExtentsOf(std::uint32_t d) {
    tree_.nodes[d].extentBegin = static_cast<std::uint32_t>(tree_.extents.size());
    std::uint32_t slots = 0;
    auto add = [&](std::int64_t sector, std::uint64_t sectors) {
      tree_.extents.push_back(
          {static_cast<std::uint32_t>(sector), static_cast<std::uint32_t>(sectors), slots});
      slots += static_cast<std::uint32_t>(sectors * (kSectorBytes / kDirEntryBytes));
    };
    DirectoryClusters(d);
    // Runs of consecutive clusters, each one extent.
    ForEachRun(clusters_, [&](const fat::Run& r) {
      add(l_.ClusterSector(r.first), std::uint64_t{r.count} * l_.sectorsPerCluster);
    });
    if (d == 0 && l_.kind != FatKind::Fat32 && l_.rootSectors > 0)
      add(l_.rootSector, std::min<std::uint64_t>(static_cast<std::uint64_t>(l_.rootSectors),
                                                 Tree::kMaxDirectoryBytes / kSectorBytes));
    tree_.nodes[d].extentCount =
        static_cast<std::uint32_t>(tree_.extents.size()) - tree_.nodes[d].extentBegin;
  }

  // The clusters of directory d into clusters_ (none for the fixed root region).
  void DirectoryClusters(std::uint32_t d) {
    clusters_.clear();
    if (d == 0 && l_.kind != FatKind::Fat32) return;
    const std::uint32_t start = tree_.nodes[d].firstCluster;
    if (!l_.IsCluster(start)) {
      Problem(d, [&](std::string& t) {
        t += ": first cluster ";
        AppendDecimal(t, start);
        t += " is not a data cluster; not read";
      });
      return;
    }
    if (DirSeen(start)) {
      Problem(d, [&](std::string& t) {
        t += ": cluster ";
        AppendDecimal(t, start);
        t += " belongs to a directory met before; not walked again";
      });
      return;
    }
    const std::uint64_t most =
        std::max<std::uint64_t>(1, Tree::kMaxDirectoryBytes / l_.clusterBytes);
    std::uint32_t sharedAt = 0;
    const ChainEnd end = follower_.Walk(start, [&](std::uint32_t c) {
      if (DirSeen(c)) return sharedAt = c, false;
      MarkDir(c);
      clusters_.push_back(c);
      return clusters_.size() < most;
    });
    if (sharedAt != 0) {
      Problem(d, [&](std::string& t) {
        t += ": its chain runs into cluster ";
        AppendDecimal(t, sharedAt);
        t += " of another directory; read up to there";
      });
    } else if (end.stop == ChainStop::Cut) {
      Problem(d, [](std::string& t) { t += ": longer than 65536 entries; the rest is not read"; });
    } else if (end.stop != ChainStop::End) {
      Problem(d, [&](std::string& t) { t += ": chain " + StopText(end, l_); });
    }
  }

  // Reads a segment; sectors that cannot be read are reported and left out of `readable`.
  void Read(std::uint32_t d, const Extent& s) {
    buffer_.resize(std::uint64_t{s.sectors} * kSectorBytes);
    readable_.assign(s.sectors, true);
    if (!ReadSectors(source_, s.sector, buffer_)) return;
    for (std::size_t i = 0; i < readable_.size(); ++i) {
      const std::span<std::uint8_t> one =
          std::span(buffer_).subspan(i * kSectorBytes, kSectorBytes);
      if (auto failure = ReadSectors(source_, s.sector + static_cast<std::int64_t>(i), one)) {
        readable_[i] = false;
        Problem(d, [&](std::string& t) {
          t += ": read error at " + failure->Describe() + "; its entries are left out";
        });
      }
    }
  }

  void WalkDirectory(std::uint32_t d) {
    ExtentsOf(d);
    const auto begin = static_cast<std::uint32_t>(tree_.nodes.size());
    tree_.nodes[d].walked = true;
    tree_.nodes[d].childBegin = begin;
    pieces_ = deletedPieces_ = 0;
    bool ended = false;
    // Copied: entries added below may move the nodes.
    const std::uint32_t first = tree_.nodes[d].extentBegin, count = tree_.nodes[d].extentCount;
    for (std::uint32_t x = first; x < first + count; ++x) {
      const Extent s = tree_.extents[x];
      Read(d, s);
      for (std::size_t off = 0; off < buffer_.size() && !ended && !full_; off += kDirEntryBytes) {
        const std::int64_t sector = s.sector + static_cast<std::int64_t>(off / kSectorBytes);
        if (!readable_[off / kSectorBytes]) {
          pieces_ = deletedPieces_ = 0;  // a long name cannot span an unread sector
          continue;
        }
        slot_ = s.firstSlot + static_cast<std::uint32_t>(off / kDirEntryBytes);
        ended = Entry(d, &buffer_[off], sector, off % kSectorBytes);
      }
      if (ended || full_) break;
    }
    if (pieces_ > 0) Orphaned(d);
    tree_.nodes[d].childCount = static_cast<std::uint32_t>(tree_.nodes.size()) - begin;
  }

  void Orphaned(std::uint32_t d) {
    Problem(d, [&](std::string& t) {
      t += ": long-name pieces";
      AddAt(t, pieceSector_, pieceOffset_);
      t += " not followed by their short entry (orphaned); not used";
    });
    pieces_ = 0;
  }

  // One long-name piece, glued to those before it when it continues them.
  void Piece(std::uint32_t d, const std::uint8_t* e, std::int64_t sector, std::size_t offset) {
    const int number = e[kLdirOrd] & kPieceNumberMask;
    const bool last = (e[kLdirOrd] & kLastPieceFlag) != 0;
    // The number places the piece's characters: only 1 to 20 may be used.
    if (number < 1 || number > kMaxPieces) {
      if (pieces_ > 0) Orphaned(d);
      Problem(d, [&](std::string& t) {
        t += ": long-name piece";
        AddAt(t, sector, offset);
        t += " with the sequence number ";
        AppendDecimal(t, number);
        t += "; not used";
      });
      return;
    }
    if (last) {
      if (pieces_ > 0) Orphaned(d);
      pieces_ = number;
      expected_ = number;
      checksum_ = e[kLdirChksum];
      pieceSector_ = sector, pieceOffset_ = offset;
      std::fill(std::begin(units_), std::end(units_), u'\0');
    } else if (pieces_ == 0 || number != expected_ || e[kLdirChksum] != checksum_) {
      const bool orphan = pieces_ == 0;
      pieces_ = 0;
      Problem(d, [&](std::string& t) {
        t += ": long-name piece";
        AddAt(t, sector, offset);
        t += orphan                ? " without the pieces before it (orphaned)"
             : number != expected_ ? " out of order"
                                   : " with another checksum than the pieces before it";
        t += "; not used";
      });
      return;
    }
    PieceCharacters(e, &units_[static_cast<std::size_t>(number - 1) * 13]);
    --expected_;
  }

  // A piece of a deleted long name: its number is lost with its first byte, but the pieces
  // of one name lie together before their short entry and share one checksum.
  void DeletedPiece(const std::uint8_t* e) {
    if (deletedPieces_ > 0 && (e[kLdirChksum] != deletedChecksum_ || deletedPieces_ == kMaxPieces))
      deletedPieces_ = 0;
    deletedChecksum_ = e[kLdirChksum];
    PieceCharacters(e, &deletedUnits_[static_cast<std::size_t>(deletedPieces_++) * 13]);
  }

  // The pieces that give a deleted short entry a long name: the deleted ones right before
  // it, which stand last piece first, when the first character (of the piece nearest to
  // the entry) is not 0.
  int DeletedLongNamePieces() const {
    return deletedPieces_ > 0 &&
                   deletedUnits_[static_cast<std::size_t>(deletedPieces_ - 1) * 13] != 0
               ? deletedPieces_
               : 0;
  }

  // One entry; true at the end marker.
  bool Entry(std::uint32_t d, const std::uint8_t* e, std::int64_t sector, std::size_t offset) {
    if (e[0] == kEndOfDirectory) return true;
    const bool deleted = e[0] == kDeletedEntry;
    if (IsLongNamePiece(e)) {
      if (deleted) {
        if (pieces_ > 0) Orphaned(d);  // the pieces of a long name lie together
        DeletedPiece(e);
      } else {
        Piece(d, e, sector, offset), deletedPieces_ = 0;
      }
      return false;
    }
    if (IsDotEntry(e)) {
      deletedPieces_ = 0;
      if (pieces_ > 0) Orphaned(d);
      return false;
    }
    Node n;
    if (deleted) n.pieces = static_cast<std::uint8_t>(DeletedLongNamePieces());
    deletedPieces_ = 0;
    if (pieces_ > 0) {
      if (deleted || expected_ != 0) {
        Orphaned(d);
      } else if (checksum_ != ShortNameChecksum(e)) {
        Problem(d, [&](std::string& t) {
          t += ": long name";
          AddAt(t, pieceSector_, pieceOffset_);
          t += " with a wrong checksum for ";
          AppendShortName(t, e, e[kDirNTRes], page_);
          t += "; not used";
        });
      } else if (units_[0] != 0) {
        n.pieces = static_cast<std::uint8_t>(pieces_);
      }
      pieces_ = 0;
    }
    std::copy_n(e, 11, n.shortName.begin());
    n.parent = d;
    n.attr = e[kDirAttr];
    n.lowerCase = e[kDirNTRes];
    n.firstCluster = FirstCluster(e, l_.kind);
    n.size = FileSize(e);
    n.deleted = deleted;
    n.slot = slot_;
    if (tree_.nodes.size() >= Tree::kMaxNodes) {
      full_ = true;
      Problem([] {
        return "the volume holds more than " + std::to_string(Tree::kMaxNodes) +
               " entries; the walk stops there";
      });
      return true;
    }
    tree_.nodes.push_back(n);
    return false;
  }

  ByteSource& source_;
  const Layout& l_;
  ChainFollower follower_;
  std::vector<std::uint64_t> dirSeen_;  // clusters of the directories read, one bit each
  WorkProgress* progress_;
  OemCodePage page_;
  Tree tree_;
  TreeNames names_;         // for the paths of problems
  std::uint32_t slot_ = 0;  // of the entry being read
  bool full_ = false;
  std::vector<std::uint8_t> buffer_;
  std::vector<bool> readable_;
  std::vector<std::uint32_t> clusters_;  // of the directory being read
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

}  // namespace

std::uint64_t Tree::Bytes() const {
  std::uint64_t bytes = nodes.capacity() * sizeof(Node) + extents.capacity() * sizeof(Extent) +
                        problems.capacity() * sizeof(std::string);
  for (const std::string& p : problems) bytes += p.capacity();
  return bytes;
}

Tree WalkTree(ByteSource& source, const FatTable& fat, WorkProgress* progress, OemCodePage page) {
  return Walker(source, fat, progress, page).Run();
}

namespace {

// The extent of directory `dir` that holds entry `slot`, or nullptr.
const Extent* ExtentOf(const Tree& tree, std::uint32_t dir, std::uint32_t slot) {
  if (dir >= tree.nodes.size()) return nullptr;
  const Node& d = tree.nodes[dir];
  const Extent* first = tree.extents.data() + d.extentBegin;
  const Extent* last = first + d.extentCount;
  const Extent* x = std::upper_bound(
      first, last, slot, [](std::uint32_t v, const Extent& e) { return v < e.firstSlot; });
  if (x == first) return nullptr;
  --x;
  if (std::uint64_t{slot - x->firstSlot} * kDirEntryBytes >=
      std::uint64_t{x->sectors} * kSectorBytes)
    return nullptr;
  return x;
}

}  // namespace

std::optional<EntryPlace> PlaceOf(const Tree& tree, std::uint32_t node) {
  if (node == 0 || node >= tree.nodes.size()) return std::nullopt;
  const Node& n = tree.nodes[node];
  const Extent* x = ExtentOf(tree, n.parent, n.slot);
  if (x == nullptr) return std::nullopt;
  const std::uint64_t byte = std::uint64_t{n.slot - x->firstSlot} * kDirEntryBytes;
  return EntryPlace{x->sector + static_cast<std::int64_t>(byte / kSectorBytes),
                    static_cast<std::uint32_t>(byte % kSectorBytes)};
}

const std::uint8_t* TreeNames::EntryAt(std::uint32_t dir, std::uint32_t slot) {
  // Sectors are read in blocks of up to this many, the block holding the entry first.
  constexpr std::uint32_t kBlockSectors = 64;
  const Extent* x = ExtentOf(tree_, dir, slot);
  if (x == nullptr) return nullptr;
  const std::uint64_t byte = std::uint64_t{slot - x->firstSlot} * kDirEntryBytes;
  const std::int64_t sector = x->sector + static_cast<std::int64_t>(byte / kSectorBytes);
  const std::int64_t cached = static_cast<std::int64_t>(cache_.size() / kSectorBytes);
  if (cacheSector_ < 0 || sector < cacheSector_ || sector >= cacheSector_ + cached) {
    const std::uint64_t left = x->sectors - byte / kSectorBytes;
    cache_.resize(std::min<std::uint64_t>(left, kBlockSectors) * kSectorBytes);
    cacheSector_ = sector;
    if (!source_.ReadAt(static_cast<std::uint64_t>(sector) * kSectorBytes, cache_).ok()) {
      cache_.resize(kSectorBytes);
      if (!source_.ReadAt(static_cast<std::uint64_t>(sector) * kSectorBytes, cache_).ok()) {
        cacheSector_ = -1;
        return nullptr;
      }
    }
  }
  return &cache_[static_cast<std::size_t>(sector - cacheSector_) * kSectorBytes +
                 byte % kSectorBytes];
}

std::size_t TreeNames::LongName(std::uint32_t node, char32_t (&out)[260]) {
  const Node& n = tree_.nodes[node];
  if (n.pieces == 0 || n.pieces > kMaxPieces || n.slot < n.pieces) return 0;
  const std::uint8_t sum = ShortNameChecksum(n.shortName.data());
  char16_t units[kMaxPieces * 13];
  int deletedSum = -1;
  for (int j = 1; j <= n.pieces; ++j) {
    const std::uint8_t* e = EntryAt(n.parent, n.slot - static_cast<std::uint32_t>(j));
    if (e == nullptr || !IsLongNamePiece(e)) return 0;
    if (n.deleted) {
      // Deleted pieces lost their number; they share one checksum.
      if (e[0] != kDeletedEntry || (deletedSum >= 0 && deletedSum != e[kLdirChksum])) return 0;
      deletedSum = e[kLdirChksum];
    } else if ((e[kLdirOrd] & kPieceNumberMask) != j ||
               ((e[kLdirOrd] & kLastPieceFlag) != 0) != (j == n.pieces) || e[kLdirChksum] != sum) {
      return 0;
    }
    PieceCharacters(e, &units[static_cast<std::size_t>(j - 1) * 13]);
  }
  // Up to the first 0; surrogate pairs joined, an unpaired one kept.
  const std::size_t count = std::size_t{n.pieces} * 13;
  std::size_t k = 0;
  for (std::size_t i = 0; i < count && units[i] != 0; ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF)
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    out[k++] = c;
  }
  return k;
}

std::string TreeNames::Name(std::uint32_t node) {
  std::string name;
  if (node != 0 && node < tree_.nodes.size()) AppendName(node, name);
  return name;
}

void TreeNames::AppendName(std::uint32_t node, std::string& out) {
  char32_t chars[260];
  if (const std::size_t count = LongName(node, chars); count > 0) {
    for (std::size_t i = 0; i < count; ++i) AppendLongNameChar(out, chars[i]);
    return;
  }
  const Node& n = tree_.nodes[node];
  AppendShortName(out, n.shortName.data(), n.lowerCase, page_);
}

std::string TreeNames::Path(std::uint32_t node) {
  std::string path;
  AppendPath(node, path);
  return path;
}

void TreeNames::AppendPath(std::uint32_t node, std::string& out) {
  parts_.clear();
  for (std::uint32_t n = node;
       n != 0 && n < tree_.nodes.size() && parts_.size() < tree_.nodes.size();
       n = tree_.nodes[n].parent)
    parts_.push_back(n);
  if (parts_.empty()) {
    out += '/';
    return;
  }
  out.reserve(out.size() + parts_.size() * 64);  // room for names of escaped bytes
  for (std::size_t i = parts_.size(); i-- > 0;) {
    out += '/';
    AppendName(parts_[i], out);
  }
}

std::optional<std::uint32_t> TreeNames::Find(std::string_view path) {
  if (tree_.nodes.empty()) return std::nullopt;
  std::uint32_t at = 0;
  while (!path.empty()) {
    const std::size_t slash = path.find('/');
    const std::string_view part = path.substr(0, slash);
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    if (part.empty()) continue;
    const Node& dir = tree_.nodes[at];
    if (!dir.walked) return std::nullopt;
    // The part as a long name (folded characters) and as a short name (upper-case bytes of
    // the code page; none when a character is missing from it).
    folded_.clear();
    key_.clear();
    bool key = true;
    for (std::size_t c = 0; c < part.size();) {
      const TypedChar t = NextTypedChar(part, &c);
      folded_ += FoldCase(t.c);
      if (!key) continue;
      std::optional<std::uint8_t> b = OemByteOfChar(page_, t.c);
      if (t.escaped) b = t.c <= 0xFF ? std::optional(static_cast<std::uint8_t>(t.c)) : std::nullopt;
      if (b)
        key_ += static_cast<char>(OemUpper(page_, *b));
      else
        key = false;
    }
    std::optional<std::uint32_t> found;
    for (std::uint32_t i = dir.childBegin; i < dir.childBegin + dir.childCount; ++i) {
      const Node& n = tree_.nodes[i];
      if (n.IsVolumeLabel() || (found && n.deleted)) continue;
      bool match = false;
      if (key) {
        match = ShortNameMatches(n.shortName.data(), key_, false, page_) ||
                (n.deleted && ShortNameMatches(n.shortName.data(), key_, true, page_));
      }
      if (!match && n.pieces > 0) {
        char32_t chars[260];
        const std::size_t count = LongName(i, chars);
        match = count > 0 && count == folded_.size() &&
                std::equal(chars, chars + count, folded_.begin(),
                           [](char32_t a, char32_t b) { return FoldCase(a) == b; });
      }
      if (!match) continue;
      found = i;
      if (!n.deleted) break;
    }
    if (!found) return std::nullopt;
    at = *found;
  }
  return at;
}

}  // namespace dulvex::fat
