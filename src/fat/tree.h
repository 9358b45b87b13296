// The directory tree of a FAT volume: the root directory (the fixed region of FAT12/FAT16,
// the chain from the root cluster on FAT32) and every subdirectory, following chains.
// Long names are glued to their short entry only when every piece is in order and carries
// the short name's checksum; deleted entries are kept and marked. The walk is safe on any
// bytes: a directory reached twice is walked once, each directory is read up to the largest
// size a FAT directory can have, and the number of entries kept is bounded.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/progress.h"
#include "fat/byte_source.h"
#include "fat/chain.h"

namespace dulvex::fat {

struct Node {
  std::string name;  // the long name when a good one belongs to it, else the short name
  std::array<std::uint8_t, 11> shortName{};  // as stored
  std::uint32_t parent = 0;                  // the directory holding it; the root's is 0
  std::uint32_t firstCluster = 0;
  std::uint32_t size = 0;
  std::uint8_t attr = 0;
  bool deleted = false;
  bool walked = false;  // a directory whose entries were read
  // The entries of a walked directory are the nodes childBegin .. childBegin + childCount - 1.
  std::uint32_t childBegin = 0, childCount = 0;
  std::int64_t entrySector = -1;  // where the short entry lies; -1 for the root
  std::uint16_t entryOffset = 0;

  bool IsVolumeLabel() const { return (attr & 0x18) == 0x08; }
  bool IsDirectory() const { return (attr & 0x18) == 0x10; }
};

struct Tree {
  std::vector<Node> nodes;  // node 0 is the root directory
  // What was found wrong, each naming where: "/DOCS: long-name pieces with a wrong checksum
  // before README.TXT, not used". At most kMaxProblems are kept; problemCount counts all.
  std::vector<std::string> problems;
  std::size_t problemCount = 0;
  bool cancelled = false;
  static constexpr std::size_t kMaxProblems = 1000;
  static constexpr std::size_t kMaxNodes = std::size_t{1} << 21;
  // The largest FAT directory: 65536 entries.
  static constexpr std::uint64_t kMaxDirectoryBytes = 65536 * 32;
};

// Walks the whole tree. Progress counts directories read, out of those known so far.
Tree WalkTree(ByteSource& source, const FatTable& fat, WorkProgress* progress = nullptr);

// "/SUBDIR/INSIDE.TXT"; "/" for the root.
std::string PathOf(const Tree& tree, std::uint32_t node);

// The node named by a path such as "/DIR/SUB/NAME.TXT": each part matched against the long
// or the short name, in any case. A live entry wins over a deleted one, and a deleted entry
// matches with any first character, since that one is lost ("/DELETED.TXT" finds
// "_ELETED.TXT"). The path may leave out the first "/".
std::optional<std::uint32_t> FindPath(const Tree& tree, std::string_view path);

}  // namespace dulvex::fat
