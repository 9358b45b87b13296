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

// A table of `page`, made once for each of the three pages.
template <typename Table>
const Table& OfPage(OemCodePage page) {
  static const std::array<Table, 3> kTables = {Table(OemCodePage::Cp850), Table(OemCodePage::Cp437),
                                               Table(OemCodePage::Cp1252)};
  return kTables[static_cast<std::size_t>(page)];  // in the order of OemCodePage
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
  // Each page's upper half by character: the characters below U+0100 in a table, the others
  // sorted.
  struct Reverse {
    std::array<std::uint8_t, 0x100> latin{};  // 0 where the page lacks the character
    std::array<std::pair<char32_t, std::uint8_t>, 128> pairs{};
    explicit Reverse(OemCodePage p) {
      for (int b = 0x80; b < 0x100; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        const char32_t u = OemCharOfByte(p, byte).value_or(0);
        pairs[b - 0x80] = {u, byte};
        if (u >= 0x80 && u < 0x100) latin[u] = byte;
      }
      std::sort(pairs.begin(), pairs.end());
    }
  };
  const Reverse& r = OfPage<Reverse>(page);
  if (c < 0x100) return r.latin[c] != 0 ? std::optional(r.latin[c]) : std::nullopt;
  const auto it = std::lower_bound(r.pairs.begin(), r.pairs.end(), std::pair(c, std::uint8_t{0}));
  if (it == r.pairs.end() || it->first != c) return std::nullopt;
  return it->second;
}

std::uint8_t OemUpper(OemCodePage page, std::uint8_t b) {
  return OfPage<UpperTable>(page).upper[b];  // the ASCII letters among them
}

void AppendShortNameByte(std::string& out, OemCodePage page, std::uint8_t b) {
  // Each page's 256 bytes as they are shown.
  struct Shown {
    struct Text {
      char bytes[4];
      std::uint8_t size;
    };
    std::array<Text, 256> of{};
    explicit Shown(OemCodePage p) {
      for (int v = 0; v < 256; ++v) {
        const auto byte = static_cast<std::uint8_t>(v);
        const std::optional<char32_t> c = OemCharOfByte(p, byte);
        std::string text;
        if (!c || *c == U'/' || *c == U'\\')
          AppendHexEscape(text, 'x', byte, 2);
        else
          AppendUtf8(text, *c);
        std::copy(text.begin(), text.end(), of[v].bytes);
        of[v].size = static_cast<std::uint8_t>(text.size());
      }
    }
  };
  const Shown& t = OfPage<Shown>(page);
  out.append(t.of[b].bytes, t.of[b].size);
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
  for (std::size_t at = 0; at < text.size();) out.push_back(NextTypedChar(text, &at));
  return out;
}

TypedChar NextTypedChar(std::string_view text, std::size_t* at) {
  // An escape is plain ASCII: a byte of a longer character is no hex digit.
  const std::size_t i = *at;
  if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'u')) {
    const std::size_t digits = text[i + 1] == 'x' ? 2 : 4;
    long v = i + 2 + digits <= text.size() ? 0 : -1;
    for (std::size_t k = i + 2; v >= 0 && k < i + 2 + digits; ++k) {
      const int d = HexValue(text[k]);
      v = d < 0 ? -1 : v * 16 + d;
    }
    if (v >= 0) {
      *at = i + 2 + digits;
      return {static_cast<char32_t>(v), true};
    }
  }
  return {NextUtf8(text, at), false};
}

}  // namespace dulvex
