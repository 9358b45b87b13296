// libFuzzer: -max_len=4096 -dict=json.dict
// lsblk's answer: any text read as JSON and as lsblk's list of block devices. The list keeps
// its shape (each device at most one level below the one before it, an unknown size is 0, a
// device holds a mounted one exactly when one below it is mounted), and the reader's whole
// numbers agree with the standard library's on every digit string.
#include <charconv>
#include <string_view>

#include "fuzz_input.h"
#include "lsblk/block_devices.h"
#include "lsblk/json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const dulvex::json::ParseResult doc = dulvex::json::Parse(text);
  Check(doc.error.empty() || doc.value.isNull());

  const dulvex::lsblk::DeviceList list = dulvex::lsblk::ParseLsblk(text);
  Check(list.status.ok() || list.devices.empty());
  const auto& devices = list.devices;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const dulvex::lsblk::BlockDevice& d = devices[i];
    Check(d.depth >= 0 && d.depth <= (i == 0 ? 0 : devices[i - 1].depth + 1));
    Check(d.sizeKnown || d.size == 0);
    bool below = false;
    for (std::size_t j = i + 1; j < devices.size() && devices[j].depth > d.depth; ++j)
      below = below || devices[j].mounted();
    Check(d.holdsMounted == below);
  }

  // Digits alone (the whole input, or up to its first non-digit): the same number, or none
  // where it does not fit in 64 bits.
  const std::string_view digits = text.substr(0, text.find_first_not_of("0123456789"));
  std::uint64_t want = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), want);
  const std::optional<std::uint64_t> got = dulvex::json::ParseUnsigned(digits);
  if (digits.empty()) {
    Check(!got);
  } else {
    Check(end == digits.data() + digits.size() || ec != std::errc());
    Check(got.has_value() == (ec == std::errc()) && (!got || *got == want));
  }
  return 0;
}
