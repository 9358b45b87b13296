// libFuzzer: -max_len=64 -dict=numbers.dict
// Number texts with no window: any text read as a typed number, any 64-bit pattern taken as
// a double, and what the program makes of them (canonical text, rounding, hex readouts).
#include <cmath>
#include <cstring>
#include <string_view>

#include "base/numbers.h"
#include "buffer/buffer.h"
#include "fuzz_input.h"

namespace {

// What holds for every double, whatever its origin.
void CheckValue(double v) {
  const std::string text = dulvex::CanonicalText(v);
  Check(!text.empty() && text.size() <= 22);
  // The nested change of the sector box comes to rest: the text reads back to itself.
  const double back = dulvex::NumericValue(text);
  Check(dulvex::CanonicalText(back) == text);
  if (std::isfinite(v)) Check(std::fabs(back - v) <= 1e-14 * std::fabs(v));

  const std::optional<std::int32_t> n = dulvex::ToInt32(v);
  const std::string hex = dulvex::Hex8(v);
  Check(hex.size() == 8);
  Check(n.has_value() == (hex != dulvex::kOutOfRangeHex));
  if (n) Check(*n == dulvex::RoundHalfEven(v) && dulvex::ToInt64Clamped(v) == *n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const double v = dulvex::NumericValue(text);
  // A number too large reads as the largest double; nothing reads as infinity or NaN.
  Check(std::isfinite(v));
  CheckValue(v);
  Check(dulvex::LeadingHexValue(text) <= 0x10000);

  if (size >= sizeof(double)) {
    double bits;  // NaNs, infinities and subnormals included
    std::memcpy(&bits, data, sizeof bits);
    CheckValue(bits);
  }
  return 0;
}
