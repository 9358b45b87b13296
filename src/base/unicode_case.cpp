#include "base/unicode_case.h"

#include <clocale>
#include <cwctype>

namespace dulvex {

namespace {

// The C library's Unicode tables, through a locale object of their own: the program's
// locale is left alone. Without one (a C library with no C.UTF-8), only Latin-1 letters fold.
locale_t Unicode() {
  static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
  return unicode;
}

char32_t Lower(char32_t c) {
  if (const locale_t l = Unicode())
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), l));
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
  return c;
}

char32_t Upper(char32_t c) {
  if (const locale_t l = Unicode())
    return static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), l));
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
  return c;
}

}  // namespace

char32_t OtherCase(char32_t c) {
  if (c > 0x10FFFF) return c;
  const char32_t upper = Upper(c);
  return upper != c ? upper : Lower(c);
}

}  // namespace dulvex
