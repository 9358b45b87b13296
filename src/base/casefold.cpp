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
  const auto* end = std::end(kFolding);
  const auto* it =
      std::lower_bound(std::begin(kFolding), end, c,
                       [](const char32_t(&pair)[2], char32_t v) { return pair[0] < v; });
  return it != end && (*it)[0] == c ? (*it)[1] : c;
}

}  // namespace dulvex
