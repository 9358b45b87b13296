// The directory tree of a FAT volume: the root directory (the fixed region of FAT12/FAT16,
// the chain from the root cluster on FAT32) and every subdirectory, following chains.
// Long names are glued to their short entry only when every piece is in order and carries
// the short name's checksum; deleted entries are kept and marked. The walk is safe on any
// bytes: a directory reached twice is walked once, each directory is read up to the largest
// size a FAT directory can have, and the number of entries kept is bounded.
//
// Each entry is a compact record. A long name is not kept: the record says how many pieces
// lie before its short entry, and TreeNames reads them again from the volume when a name is
// shown or compared, so memory does not grow with the length of the names.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/oem_codepage.h"
#include "base/progress.h"
#include "fat/byte_source.h"
#include "fat/chain.h"

namespace dulvex::fat {

struct Node {
  std::array<std::uint8_t, 11> shortName{};  // as stored
  std::uint8_t attr = 0;
  std::uint8_t lowerCase = 0;  // byte 12: 0x08 the name, 0x10 the extension in lower case
  // Long-name pieces right before the short entry that give it a good long name; 0 for none.
  // A deleted entry's pieces are the deleted ones that lie there with one checksum.
  std::uint8_t pieces = 0;
  bool deleted = false;
  bool walked = false;       // a directory whose entries were read
  std::uint32_t parent = 0;  // the directory holding it; the root's is 0
  std::uint32_t firstCluster = 0;
  std::uint32_t size = 0;
  std::uint32_t slot = 0;  // the index of its short entry among its directory's entries
  // The entries of a walked directory are the nodes childBegin .. childBegin + childCount - 1,
  // its bytes the extents extentBegin .. extentBegin + extentCount - 1 of the tree.
  std::uint32_t childBegin = 0, childCount = 0;
  std::uint32_t extentBegin = 0, extentCount = 0;

  bool IsVolumeLabel() const { return (attr & 0x18) == 0x08; }
  bool IsDirectory() const { return (attr & 0x18) == 0x10; }
};

// Consecutive sectors of a directory, holding its entries firstSlot onwards.
struct Extent {
  std::uint32_t sector = 0;
  std::uint32_t sectors = 0;
  std::uint32_t firstSlot = 0;
};

struct Tree {
  std::vector<Node> nodes;  // node 0 is the root directory
  std::vector<Extent> extents;
  // What was found wrong, each naming where: "/DOCS: long-name pieces with a wrong checksum
  // before README.TXT, not used". At most kMaxProblems are kept; problemCount counts all.
  std::vector<std::string> problems;
  std::size_t problemCount = 0;
  bool cancelled = false;
  OemCodePage codePage = kDefaultOemCodePage;  // of the names in `problems`
  static constexpr std::size_t kMaxProblems = 1000;
  static constexpr std::size_t kMaxNodes = std::size_t{1} << 21;
  // The largest FAT directory: 65536 entries.
  static constexpr std::uint64_t kMaxDirectoryBytes = 65536 * 32;

  // Memory held by the records, in bytes.
  std::uint64_t Bytes() const;
};

// Walks the whole tree; short names in problems are read in `page`. Progress counts
// directories read, out of those known so far.
Tree WalkTree(ByteSource& source, const FatTable& fat, WorkProgress* progress = nullptr,
              OemCodePage page = kDefaultOemCodePage);

// Where entry `node` lies: its short entry's sector and byte offset; nothing for the root.
struct EntryPlace {
  std::int64_t sector = 0;
  std::uint32_t offset = 0;
};
std::optional<EntryPlace> PlaceOf(const Tree& tree, std::uint32_t node);

// The names of a tree's entries, the long ones read again from the volume the tree was
// walked on (a long name that no longer reads as it did gives way to the short name). Names
// are shown with the escapes of base/oem_codepage.h, so a path names one entry.
class TreeNames {
 public:
  TreeNames(const Tree& tree, ByteSource& source, OemCodePage page = kDefaultOemCodePage)
      : tree_(tree), source_(source), page_(page) {}

  // The long name when a good one belongs to the entry, else the short name.
  std::string Name(std::uint32_t node);
  // "/SUBDIR/INSIDE.TXT"; "/" for the root.
  std::string Path(std::uint32_t node);
  void AppendPath(std::uint32_t node, std::string& out);  // the same, added to `out`
  // The node named by a path such as "/DIR/SUB/NAME.TXT": each part matched against the long
  // name in Unicode simple case folding, or the short name in the code page's upper case;
  // "\xHH" stands for the byte or character it names. A live entry wins over a deleted one,
  // and a deleted short name matches with any first character, since that one is lost
  // ("/DELETED.TXT" finds "_ELETED.TXT"). The path may leave out the first "/".
  std::optional<std::uint32_t> Find(std::string_view path);

 private:
  // The 32 bytes of entry `slot` of directory `dir`; nullptr when they cannot be read.
  const std::uint8_t* EntryAt(std::uint32_t dir, std::uint32_t slot);
  // The characters of the node's long name into `out`, and their count; 0 when it has none
  // or it no longer reads.
  std::size_t LongName(std::uint32_t node, char32_t (&out)[260]);
  // Name(node), added to `out`.
  void AppendName(std::uint32_t node, std::string& out);

  const Tree& tree_;
  ByteSource& source_;
  OemCodePage page_;
  // The sectors read last.
  std::int64_t cacheSector_ = -1;
  std::vector<std::uint8_t> cache_;
  // Room kept from one path to the next: the nodes of a path, and a part of a typed path
  // folded and as short-name bytes.
  std::vector<std::uint32_t> parts_;
  std::u32string folded_;
  std::string key_;
};

}  // namespace dulvex::fat
