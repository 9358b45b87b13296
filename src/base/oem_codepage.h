// The OEM code page that FAT short names are stored in (850 unless the user chose another),
// and the escapes that keep names in paths unambiguous: a name holding "/", "\", a control
// character or a byte its code page lacks shows it as "\xHH" (an unpaired UTF-16 surrogate
// of a long name as "\uHHHH"), and the same escape typed in a path finds it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dulvex {

enum class OemCodePage : std::uint8_t { Cp850, Cp437, Cp1252 };
inline constexpr OemCodePage kDefaultOemCodePage = OemCodePage::Cp850;

// "850", "437", "1252".
std::string OemCodePageName(OemCodePage page);
// The code page of a name such as "850", "cp437", "CP1252"; nothing for any other text.
std::optional<OemCodePage> OemCodePageNamed(std::string_view name);

// The character of byte b in a name, or nothing for a byte no name should show as itself: the
// control codes (below 0x20, and 0x7F) and the codes the page leaves undefined.
std::optional<char32_t> OemCharOfByte(OemCodePage page, std::uint8_t b);
// The byte of character c, or nothing when the page lacks it.
std::optional<std::uint8_t> OemByteOfChar(OemCodePage page, char32_t c);
// The upper case of byte b within the page: the byte of the character that folds like b's
// and is not its own folding ("ü" 0x81 gives "Ü" 0x9A in 850); b itself when there is none.
std::uint8_t OemUpper(OemCodePage page, std::uint8_t b);

// Adds one byte of a short name: its character, or "\xHH" for "/", "\" and the bytes that
// OemCharOfByte gives no character.
void AppendShortNameByte(std::string& out, OemCodePage page, std::uint8_t b);
// Adds one character of a long name: itself, or "\xHH" for "/", "\" and the control
// characters (below 0x20, 0x7F to 0x9F), "\uHHHH" for an unpaired surrogate.
void AppendLongNameChar(std::string& out, char32_t c);

// One character of a typed name: `escaped` when it was given as "\xHH" (a byte of a short
// name, or the character U+00HH of a long one) or "\uHHHH". A "\" that starts no escape is
// itself.
struct TypedChar {
  char32_t c = 0;
  bool escaped = false;
};
std::vector<TypedChar> ParseTypedName(std::string_view text);
// The typed character at byte *at of `text` (before its end), moving *at past it.
TypedChar NextTypedChar(std::string_view text, std::size_t* at);

}  // namespace dulvex
