// The number texts of the sector-number box and the readouts.
#include "base/numbers.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

namespace dulvex {
namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");

TEST(Numbers, NumericValueReadsTheLeadingNumber) {
  const struct {
    std::string text;
    double value;
  } cases[] = {
      // clang-format off
      {"", 0}, {"abc", 0}, {"12abc", 12}, {"- 5", -5}, {".5", 0.5}, {"\t1\n2", 12}, {"1\r2", 1},
      {"1.2.3", 1.2}, {"&h1f", 31}, {"& H 1 0", 16}, {"&HFFFFFFFF", 4294967295.0}, {"&X1", 0},
      {"&O17", 15}, {"&O8", 0}, {"1D3", 1000}, {"1e-2", 0.01}, {"1E+", 1}, {"1E309", DBL_MAX},
      {"1E-999999999", 0}, {"-1E999999999", -DBL_MAX}, {"&H" + std::string(300, 'F'), DBL_MAX},
      // clang-format on
  };
  for (const auto& c : cases) EXPECT_EQ(NumericValue(c.text), c.value) << '"' << c.text << '"';
}

// The shortest form of 15 significant digits, which reads back to itself, so the nested
// Text21 change comes to rest (for any double: the numbers_fuzz target).
TEST(Numbers, CanonicalTextIsShortestAndReadsBackToItself) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      // clang-format off
      {-0.0, "0"}, {kNaN, "0"}, {0.1 + 0.2, "0.3"}, {1.0 / 3, "0.333333333333333"},
      {999999999999999, "999999999999999"}, {1e15, "1E+15"}, {0.0001, "0.0001"},
      {0.00001, "1E-05"}, {123456789012345678.0, "1.23456789012346E+17"},
      {kInf, "1.79769313486232E+308"}, {-kInf, "-1.79769313486232E+308"},
      // clang-format on
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CanonicalText(c.value), c.text) << c.value;
    EXPECT_EQ(CanonicalText(NumericValue(c.text)), c.text);
  }
}

TEST(Numbers, RoundingToThirtyTwoBitsHalfToEven) {
  const std::optional<std::int32_t> no;
  const struct {
    double value;
    std::optional<std::int32_t> rounded;
    const char* hex;
  } cases[] = {
      // clang-format off
      {2.5, 2, "00000002"}, {3.5, 4, "00000004"}, {-1.5, -2, "FFFFFFFE"},
      {-2147483648.5, INT32_MIN, "80000000"}, {2147483647.5, no, kOutOfRangeHex},
      {-2147483649.0, no, kOutOfRangeHex}, {kNaN, no, kOutOfRangeHex},
      // clang-format on
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToInt32(c.value), c.rounded) << c.value;
    EXPECT_EQ(Hex8(c.value), c.hex) << c.value;
  }
  EXPECT_EQ(ToInt64Clamped(-1e300), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(ToInt64Clamped(kNaN), 0);
}

}  // namespace
}  // namespace dulvex
