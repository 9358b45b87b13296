#include "base/casefold.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace dulvex {

namespace {

#include "base/casefold_table.inc"

}  // namespace

char32_t FoldCase(char32_t c) {
  if (c < 0x80) return c >= U'A' && c <= U'Z' ? c + 0x20 : c;
  // The pairs of each block of 256 characters, so that a lookup searches a few at most and
  // most characters (blocks without cases) none.
  constexpr std::size_t kPairs = std::size(kFolding);
  constexpr char32_t kBlocks = kFolding[kPairs - 1][0] / 256 + 1;
  // The first block (Latin-1) is a table of its own.
  struct Blocks {
    std::uint16_t first[kBlocks + 1] = {};
    char32_t latin[256] = {};
    constexpr Blocks() {
      std::size_t at = 0;
      for (char32_t b = 0; b <= kBlocks; ++b) {
        while (at < kPairs && kFolding[at][0] < b * 256) ++at;
        first[b] = static_cast<std::uint16_t>(at);
      }
      for (char32_t u = 0; u < 256; ++u) latin[u] = u;
      for (std::size_t i = 0; i < first[1]; ++i) latin[kFolding[i][0]] = kFolding[i][1];
    }
  };
  static constexpr Blocks kIndex;
  if (c < 0x100) return kIndex.latin[c];
  const char32_t block = c / 256;
  if (block >= kBlocks) return c;
  const auto* begin = kFolding + kIndex.first[block];
  const auto* end = kFolding + kIndex.first[block + 1];
  const auto* it = std::lower_bound(
      begin, end, c, [](const char32_t(&pair)[2], char32_t v) { return pair[0] < v; });
  return it != end && (*it)[0] == c ? (*it)[1] : c;
}

}  // namespace dulvex
