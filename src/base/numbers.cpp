#include "base/numbers.h"

#include <cctype>
#include <cfloat>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace dulvex {

namespace {

bool Skippable(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

// Reads an integer in `base` from the characters after a "&H" or "&O" prefix.
double ReadRadix(std::string_view text, std::size_t pos, int base) {
  double value = 0;
  for (; pos < text.size(); ++pos) {
    char c = text[pos];
    if (Skippable(c)) continue;
    int digit = -1;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    if (digit < 0 || digit >= base) break;
    value = value * base + digit;
  }
  return std::isinf(value) ? DBL_MAX : value;
}

// strtod in the "C" locale: the point is "." whatever locale the toolkit chose.
double StrtodC(const std::string& text) {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c != static_cast<locale_t>(nullptr) ? strtod_l(text.c_str(), nullptr, c)
                                             : std::strtod(text.c_str(), nullptr);
}

}  // namespace

double NumericValue(std::string_view text) {
  std::size_t pos = 0;
  auto skip = [&] {
    while (pos < text.size() && Skippable(text[pos])) ++pos;
  };
  skip();
  if (pos < text.size() && text[pos] == '&') {
    ++pos;
    skip();
    if (pos >= text.size()) return 0;
    const char kind = text[pos];
    if (kind == 'H' || kind == 'h') return ReadRadix(text, pos + 1, 16);
    if (kind == 'O' || kind == 'o') return ReadRadix(text, pos + 1, 8);
    return 0;
  }
  // Gather the number's characters without the skipped blanks, then convert once.
  std::string clean;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) clean += text[pos++];
  bool digits = false;
  bool point = false;
  for (; pos < text.size(); ++pos) {
    char c = text[pos];
    if (Skippable(c)) continue;
    if (c >= '0' && c <= '9') {
      clean += c;
      digits = true;
    } else if (c == '.' && !point) {
      clean += c;
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return 0;
  skip();
  if (pos < text.size() &&
      (text[pos] == 'E' || text[pos] == 'e' || text[pos] == 'D' || text[pos] == 'd')) {
    std::string exponent = "e";
    std::size_t p = pos + 1;
    while (p < text.size() && Skippable(text[p])) ++p;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) exponent += text[p++];
    bool expDigits = false;
    for (; p < text.size(); ++p) {
      char c = text[p];
      if (Skippable(c)) continue;
      if (c < '0' || c > '9') break;
      expDigits = true;
      // Leading zeros add nothing; past seven digits the value has saturated (to the
      // largest double or to 0) whatever the mantissa, so the rest is dropped.
      if (c == '0' && exponent.size() <= 2 &&
          (exponent.size() == 1 || exponent.back() == '+' || exponent.back() == '-')) {
        continue;
      }
      if (exponent.size() < 10) exponent += c;
    }
    if (expDigits && (exponent == "e" || exponent == "e+" || exponent == "e-")) exponent += '0';
    if (expDigits) clean += exponent;
  }
  double value = StrtodC(clean);
  if (std::isinf(value)) value = std::copysign(DBL_MAX, value);
  return value;
}

std::string CanonicalText(double value) {
  if (std::isnan(value)) return "0";
  if (std::isinf(value)) value = std::copysign(DBL_MAX, value);
  if (value == 0) return "0";  // also -0
  // As printf's %.15G, but in no locale: "." is the point whatever the toolkit chose.
  char buf[64];
  const std::to_chars_result r =
      std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
  std::string text(buf, r.ptr);
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

double RoundHalfEven(double value) {
  // The default floating-point rounding mode is round-to-nearest, ties to even.
  return std::nearbyint(value);
}

std::optional<std::int32_t> ToInt32(double value) {
  if (std::isnan(value)) return std::nullopt;
  double r = RoundHalfEven(value);
  if (r < -2147483648.0 || r > 2147483647.0) return std::nullopt;
  return static_cast<std::int32_t>(r);
}

std::int64_t ToInt64Clamped(double value) {
  if (std::isnan(value)) return 0;
  double r = RoundHalfEven(value);
  if (r <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
  if (r >= 9223372036854775807.0) return std::numeric_limits<std::int64_t>::max();
  return static_cast<std::int64_t>(r);
}

std::string Hex8(double value) {
  std::optional<std::int32_t> n = ToInt32(value);
  if (!n) return kOutOfRangeHex;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", static_cast<std::uint32_t>(*n));
  return buf;
}

}  // namespace dulvex
