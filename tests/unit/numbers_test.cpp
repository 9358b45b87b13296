// The number texts of the sector-number box and the readouts.
#include "view/numbers.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <limits>
#include <string>

namespace dulvex {
namespace {

TEST(Numbers, NumericValueReadsTheLeadingNumber) {
  const std::string manyF = "&H" + std::string(300, 'F');
  const std::string manyDigits = "1" + std::string(400, '0');
  struct Case {
    std::string text;
    double value;
  } cases[] = {
      {"", 0},
      {"abc", 0},
      {"12abc", 12},
      {" 7", 7},
      {"  1 2", 12},
      {"\t1\n2", 12},
      {"1\r2", 1},  // only blanks, tabs and line feeds are skipped
      {"-5", -5},
      {"+5", 5},
      {"- 5", -5},
      {"-", 0},
      {".", 0},
      {"2.5", 2.5},
      {".5", 0.5},
      {"5.", 5},
      {"1.2.3", 1.2},
      {"1,5", 1},
      {"&H10", 16},
      {"&h1f", 31},
      {"& H 1 0", 16},
      {"&HFFFFFFFF", 4294967295.0},
      {"&HFG", 15},
      {"&O17", 15},
      {"&O8", 0},
      {"&", 0},
      {"&X1", 0},
      {"1D3", 1000},
      {"1d3", 1000},
      {"1E+15", 1e15},
      {"1e-2", 0.01},
      {"1E", 1},
      {"1E+", 1},
      {"1E 2", 100},
      {"1E0000000005", 1e5},
      {"2E-0000000001", 0.2},
      {"1E999999999", DBL_MAX},
      {"-1E999999999", -DBL_MAX},
      {"1E-999999999", 0},
      {"1E308", 1e308},
      {"1E309", DBL_MAX},
      {manyF, DBL_MAX},
      {manyDigits, DBL_MAX},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NumericValue(c.text), c.value) << '"' << c.text << '"';
  }
}

TEST(Numbers, CanonicalTextIsTheShortestFormOfFifteenDigits) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {0, "0"},
      {-0.0, "0"},
      {12, "12"},
      {-5, "-5"},
      {1.5, "1.5"},
      {0.1 + 0.2, "0.3"},  // 0.30000000000000004 in binary
      {1.1 * 3, "3.3"},
      {1.0 / 3, "0.333333333333333"},
      {1e14, "100000000000000"},
      {999999999999999, "999999999999999"},
      {1e15, "1E+15"},
      {123456789012345678.0, "1.23456789012346E+17"},
      {0.0001, "0.0001"},
      {0.00001, "1E-05"},
      {2147483648.0, "2147483648"},
      {4294967295.0, "4294967295"},
      {DBL_MAX, "1.79769313486232E+308"},
      {std::numeric_limits<double>::infinity(), "1.79769313486232E+308"},
      {-std::numeric_limits<double>::infinity(), "-1.79769313486232E+308"},
      {std::nan(""), "0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CanonicalText(c.value), c.text) << c.value;
  }
}

// Every canonical text reads back to itself, so the box's change handler, which assigns
// the canonical text of what it reads, comes to rest after one nested run.
TEST(Numbers, CanonicalTextIsAFixedPoint) {
  const double values[] = {0.1 + 0.2, 1.0 / 3, 1e15,    -1e-300, 5e-324, DBL_MAX,
                           -DBL_MAX,  2.5,     1e21,    7e22,    1.5e-7, 2147483647.5,
                           -0.5,      1e100,   123.456, 9.87e15, 4.9e-5, 1234567890123456789.0};
  for (double v : values) {
    const std::string text = CanonicalText(v);
    EXPECT_EQ(CanonicalText(NumericValue(text)), text) << text;
  }
}

TEST(Numbers, RoundingToThirtyTwoBitsHalfToEven) {
  struct Case {
    double value;
    std::optional<std::int32_t> rounded;
    const char* hex;
  } cases[] = {
      {2.5, 2, "00000002"},
      {3.5, 4, "00000004"},
      {-0.5, 0, "00000000"},
      {-1.5, -2, "FFFFFFFE"},
      {-1, -1, "FFFFFFFF"},
      {42, 42, "0000002A"},
      {2147483647, 2147483647, "7FFFFFFF"},
      {2147483647.4, 2147483647, "7FFFFFFF"},
      {2147483646.5, 2147483646, "7FFFFFFE"},
      {2147483647.5, std::nullopt, kOutOfRangeHex},
      {2147483648.0, std::nullopt, kOutOfRangeHex},
      {4294967295.0, std::nullopt, kOutOfRangeHex},
      {-2147483648.0, -2147483647 - 1, "80000000"},
      {-2147483648.5, -2147483647 - 1, "80000000"},
      {-2147483649.0, std::nullopt, kOutOfRangeHex},
      {1e300, std::nullopt, kOutOfRangeHex},
      {std::nan(""), std::nullopt, kOutOfRangeHex},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToInt32(c.value), c.rounded) << c.value;
    EXPECT_EQ(Hex8(c.value), c.hex) << c.value;
  }
  EXPECT_EQ(ToInt64Clamped(1e300), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(ToInt64Clamped(-1e300), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(ToInt64Clamped(std::nan("")), 0);
  EXPECT_EQ(ToInt64Clamped(2147483648.5), 2147483648);
}

// The toolkit switches the C library to the user's locale; number texts keep ".".
TEST(Numbers, TextsDoNotFollowTheLocale) {
  const char* locales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "it_IT.UTF-8"};
  const char* chosen = nullptr;
  for (const char* l : locales) {
    if (std::setlocale(LC_NUMERIC, l) != nullptr) {
      chosen = l;
      break;
    }
  }
  if (chosen == nullptr) GTEST_SKIP() << "no locale with a decimal comma installed";
  const double value = NumericValue("2.5");
  const std::string text = CanonicalText(1.5);
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(value, 2.5);
  EXPECT_EQ(text, "1.5");
}

}  // namespace
}  // namespace dulvex
