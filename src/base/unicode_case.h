// Case of Unicode characters, for matching names and text in any case: the simple
// (one character to one character) mappings of the Unicode database.
#pragma once

#include <string>
#include <string_view>

namespace dulvex {

// The character in the one case all its forms share: "A", "a" -> "a"; "Σ", "σ", "ς" -> "σ".
char32_t FoldCase(char32_t c);
std::u32string FoldCase(std::u32string_view text);

// The other case of a letter that has one ("a" <-> "A", "ÿ" <-> "Ÿ"); c itself else.
char32_t OtherCase(char32_t c);

}  // namespace dulvex
