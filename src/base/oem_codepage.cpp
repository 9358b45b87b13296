#include "base/oem_codepage.h"

#include <algorithm>
#include <array>
#include <utility>

#include "base/casefold.h"
#include "base/codepage.h"

namespace dulvex {

namespace {

#include "base/oem_tables.inc"

constexpr char kHex[] = "0123456789ABCDEF";

bool IsWindows1252Undefined(std::uint8_t b) {
  return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

// Each page's upper-case bytes, worked out once from the case folding.
struct UpperTable {
  std::array<std::uint8_t, 256> upper{};
  explicit UpperTable(OemCodePage page) {
    for (int b = 0; b < 256; ++b) {
      upper[b] = static_cast<std::uint8_t>(b);
      const std::optional<char32_t> c = OemCharOfByte(page, static_cast<std::uint8_t>(b));
      if (!c || FoldCase(*c) != *c) continue;  // not a character, or upper case already
      for (int u = 0; u < 256; ++u) {
        const std::optional<char32_t> d = OemCharOfByte(page, static_cast<std::uint8_t>(u));
        if (d && *d != *c && FoldCase(*d) == *c) {
          upper[b] = static_cast<std::uint8_t>(u);
          break;
        }
      }
    }
  }
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of `digits` hex digits at text[at], or -1.
long HexAt(std::string_view text, std::size_t at, std::size_t digits) {
  if (at + digits > text.size()) return -1;
  long v = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    const int d = HexValue(text[at + i]);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

void AppendHexEscape(std::string& out, char kind, std::uint32_t v, int digits) {
  out += '\\';
  out += kind;
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kHex[(v >> shift) & 0xF];
}

}  // namespace

std::string OemCodePageName(OemCodePage page) {
  switch (page) {
    case OemCodePage::Cp850:
      return "850";
    case OemCodePage::Cp437:
      return "437";
    case OemCodePage::Cp1252:
      break;
  }
  return "1252";
}

std::optional<OemCodePage> OemCodePageNamed(std::string_view name) {
  if (name.size() > 2 && (name[0] == 'c' || name[0] == 'C') && (name[1] == 'p' || name[1] == 'P'))
    name.remove_prefix(2);
  for (OemCodePage page : {OemCodePage::Cp850, OemCodePage::Cp437, OemCodePage::Cp1252})
    if (name == OemCodePageName(page)) return page;
  return std::nullopt;
}

std::optional<char32_t> OemCharOfByte(OemCodePage page, std::uint8_t b) {
  if (b < 0x20 || b == 0x7F) return std::nullopt;
  if (b < 0x80) return b;
  switch (page) {
    case OemCodePage::Cp850:
      return kCp850High[b - 0x80];
    case OemCodePage::Cp437:
      return kCp437High[b - 0x80];
    case OemCodePage::Cp1252:
      break;
  }
  if (IsWindows1252Undefined(b)) return std::nullopt;
  return UnicodeOfByte(b);
}

std::optional<std::uint8_t> OemByteOfChar(OemCodePage page, char32_t c) {
  if (c >= 0x20 && c < 0x7F) return static_cast<std::uint8_t>(c);
  if (c < 0x80) return std::nullopt;
  // Each page's upper half sorted by character, made once.
  struct Reverse {
    std::array<std::pair<char32_t, std::uint8_t>, 128> pairs{};
    explicit Reverse(OemCodePage p) {
      for (int b = 0x80; b < 0x100; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        pairs[b - 0x80] = {OemCharOfByte(p, byte).value_or(0), byte};
      }
      std::sort(pairs.begin(), pairs.end());
    }
  };
  static const Reverse k850(OemCodePage::Cp850), k437(OemCodePage::Cp437),
      k1252(OemCodePage::Cp1252);
  const Reverse& r = page == OemCodePage::Cp850 ? k850 : page == OemCodePage::Cp437 ? k437 : k1252;
  const auto it = std::lower_bound(r.pairs.begin(), r.pairs.end(), std::pair(c, std::uint8_t{0}));
  if (it == r.pairs.end() || it->first != c) return std::nullopt;
  return it->second;
}

std::uint8_t OemUpper(OemCodePage page, std::uint8_t b) {
  static const UpperTable k850(OemCodePage::Cp850), k437(OemCodePage::Cp437),
      k1252(OemCodePage::Cp1252);
  if (b < 0x80) return b >= 'a' && b <= 'z' ? static_cast<std::uint8_t>(b - 0x20) : b;
  const UpperTable& t = page == OemCodePage::Cp850   ? k850
                        : page == OemCodePage::Cp437 ? k437
                                                     : k1252;
  return t.upper[b];
}

void AppendShortNameByte(std::string& out, OemCodePage page, std::uint8_t b) {
  const std::optional<char32_t> c = OemCharOfByte(page, b);
  if (!c || *c == U'/' || *c == U'\\')
    AppendHexEscape(out, 'x', b, 2);
  else
    AppendUtf8(out, *c);
}

void AppendLongNameChar(std::string& out, char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == U'/' || c == U'\\')
    AppendHexEscape(out, 'x', c, 2);
  else if (c >= 0xD800 && c <= 0xDFFF)
    AppendHexEscape(out, 'u', c, 4);
  else
    AppendUtf8(out, c);
}

std::vector<TypedChar> ParseTypedName(std::string_view text) {
  std::vector<TypedChar> out;
  const std::vector<char32_t> chars = DecodeUtf8(text);
  // Escapes are plain ASCII, so they are read from the characters as well.
  for (std::size_t i = 0; i < chars.size(); ++i) {
    if (chars[i] == U'\\' && i + 1 < chars.size() &&
        (chars[i + 1] == U'x' || chars[i + 1] == U'u')) {
      const std::size_t digits = chars[i + 1] == U'x' ? 2 : 4;
      std::string hex;
      for (std::size_t k = i + 2; k < i + 2 + digits && k < chars.size(); ++k)
        hex += chars[k] < 0x80 ? static_cast<char>(chars[k]) : '?';
      if (const long v = HexAt(hex, 0, digits); v >= 0) {
        out.push_back({static_cast<char32_t>(v), true});
        i += 1 + digits;
        continue;
      }
    }
    out.push_back({chars[i], false});
  }
  return out;
}

}  // namespace dulvex
