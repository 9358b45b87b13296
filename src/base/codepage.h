// The program's single-byte code page, Windows-1252: bytes become characters here, and
// typed characters go back to bytes here. Texts inside the program are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dulvex {

// The Unicode character of code b.
char32_t UnicodeOfByte(std::uint8_t b);

// The character of code b, as UTF-8. The five codes that Windows-1252 leaves undefined
// map to the control characters of the same number, as Windows does.
std::string CharOfByte(std::uint8_t b);

// As CharOfByte, but a byte 0 becomes kNulPlaceholder so that it can be seen and does not
// end a text early.
std::string VisibleCharOfByte(std::uint8_t b);
void AppendVisibleCharOfByte(std::string& out, std::uint8_t b);  // the same, added to `out`
inline constexpr const char* kNulPlaceholder = "\u2400";         // the symbol for NUL

// The character a text cell of the grid shows for code b: "." for the control codes (below
// 32, and 127) and for the five codes the code page leaves undefined, which no font draws.
std::string CellCharOfByte(std::uint8_t b);

// The byte of a Unicode character in the code page, or '?' when it has none.
std::uint8_t ByteOfChar(char32_t c);

// The Unicode characters of a UTF-8 text; a malformed sequence gives U+FFFD.
std::vector<char32_t> DecodeUtf8(std::string_view text);
// The character at byte *at of a UTF-8 text (U+FFFD for a malformed sequence, which is one
// byte long), moving *at past it. *at must be before the end.
char32_t NextUtf8(std::string_view text, std::size_t* at);
std::string EncodeUtf8(char32_t c);
void AppendUtf8(std::string& out, char32_t c);  // the same, added to `out`

// Two upper-case hex digits of a byte ("00" to "FF").
std::string HexByte(std::uint8_t b);

}  // namespace dulvex
