// The other case of a Unicode letter, for a pattern that takes a letter in either case
// (the simple mappings of the Unicode database). Names compare by folding (casefold.h).
#pragma once

namespace dulvex {

// The other case of a letter that has one ("a" <-> "A", "ÿ" <-> "Ÿ", "ж" <-> "Ж"); c itself
// else.
char32_t OtherCase(char32_t c);

}  // namespace dulvex
