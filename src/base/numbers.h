// Number texts of the program: the value of a typed text, the canonical text of a value,
// rounding to sector numbers, and the eight hex digits of the readouts.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dulvex {

// Adds the decimal digits of an integer to `text`, with no locale and no string of its own:
// for texts built often, piece by piece.
template <typename Integer>
void AppendDecimal(std::string& text, Integer n) {
  char digits[24];
  text.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
}

// The value of a text by its leading number. Blanks, tabs and line feeds are skipped
// wherever they stand; then an optional sign, decimal digits with at most one ".", an
// optional exponent (E or D, optional sign, digits); or "&H" with hexadecimal digits, or
// "&O" with octal digits. Reading stops at the first character that does not fit; a text
// without a number is 0. A number too large for a double reads as the largest double of
// its sign.
double NumericValue(std::string_view text);

// The canonical text of a value: at most 15 significant digits in the shortest form,
// "-" for negatives, no trailing zeros, exponent form (1E+15, 1E-05) where the value needs
// it.
std::string CanonicalText(double value);

// Rounds to the nearest whole number, halves to the even neighbour (2.5 gives 2).
double RoundHalfEven(double value);

// The value rounded half to even as a 32-bit signed integer, or nothing when it does not
// fit (or is not a number).
std::optional<std::int32_t> ToInt32(double value);

// The value rounded half to even, clamped to the 64-bit range (0 for not-a-number); lets a
// caller pass any value on to a routine that refuses numbers out of its range.
std::int64_t ToInt64Clamped(double value);

// Eight upper-case hex digits of the value rounded to 32 bits, negatives in two's
// complement (-1 gives FFFFFFFF); kOutOfRangeHex when the value does not fit 32 bits.
std::string Hex8(double value);
inline constexpr const char* kOutOfRangeHex = "--------";

}  // namespace dulvex
