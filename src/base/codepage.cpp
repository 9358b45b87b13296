#include "base/codepage.h"

namespace dulvex {

namespace {

// Unicode characters of the codes 0x80 to 0x9F.
constexpr char32_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

char32_t UnicodeOfByte(std::uint8_t b) {
  if (b >= 0x80 && b <= 0x9F) return kHigh[b - 0x80];
  return b;
}

void AppendUtf8(std::string& out, char32_t c) {
  char bytes[4];
  std::size_t n = 0;
  if (c < 0x80) {
    bytes[n++] = static_cast<char>(c);
  } else if (c < 0x800) {
    bytes[n++] = static_cast<char>(0xC0 | (c >> 6));
    bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    bytes[n++] = static_cast<char>(0xE0 | (c >> 12));
    bytes[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    bytes[n++] = static_cast<char>(0xF0 | (c >> 18));
    bytes[n++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    bytes[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
  }
  out.append(bytes, n);  // at once: one check of the room left
}

std::string EncodeUtf8(char32_t c) {
  std::string out;
  AppendUtf8(out, c);
  return out;
}

std::string CharOfByte(std::uint8_t b) {
  return EncodeUtf8(UnicodeOfByte(b));
}

void AppendVisibleCharOfByte(std::string& out, std::uint8_t b) {
  if (b == 0) {
    out += kNulPlaceholder;
  } else {
    AppendUtf8(out, UnicodeOfByte(b));
  }
}

std::string VisibleCharOfByte(std::uint8_t b) {
  std::string out;
  AppendVisibleCharOfByte(out, b);
  return out;
}

std::string CellCharOfByte(std::uint8_t b) {
  const bool undefined = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
  if (b < 32 || b == 0x7F || undefined) return ".";
  return CharOfByte(b);
}

std::uint8_t ByteOfChar(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<std::uint8_t>(c);
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] == c) return static_cast<std::uint8_t>(0x80 + i);
  }
  return '?';
}

char32_t NextUtf8(std::string_view text, std::size_t* at) {
  const std::size_t i = *at;
  const auto b = static_cast<unsigned char>(text[i]);
  const int extra = b < 0x80           ? 0
                    : (b >> 5) == 0x6  ? 1
                    : (b >> 4) == 0xE  ? 2
                    : (b >> 3) == 0x1E ? 3
                                       : -1;
  *at = i + 1;
  if (extra <= 0) return extra == 0 ? b : 0xFFFD;
  char32_t c = b & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
      return 0xFFFD;
    c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  }
  *at = i + static_cast<std::size_t>(extra) + 1;
  return c;
}

std::vector<char32_t> DecodeUtf8(std::string_view text) {
  std::vector<char32_t> out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) out.push_back(NextUtf8(text, &i));
  return out;
}

std::string HexByte(std::uint8_t b) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[b >> 4], kDigits[b & 0xF]};
}

}  // namespace dulvex
