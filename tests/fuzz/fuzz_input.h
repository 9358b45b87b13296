// What every fuzz target uses: its entry point, the check that stops a run, and a reader of
// the input.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace dulvex::fuzz {

// Stops the run as a finding when a property every input must keep does not hold.
inline void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// Reads an input from the front: fixed-size pieces, then texts up to a byte 0.
class InputReader {
 public:
  InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  // The next `n` bytes into `out`; bytes past the end of the input read as 0.
  void Bytes(std::uint8_t* out, std::size_t n) {
    const std::size_t have = std::min(n, size_ - pos_);
    std::copy_n(data_ + pos_, have, out);
    std::fill_n(out + have, n - have, std::uint8_t{0});
    pos_ += have;
  }
  std::uint8_t Byte() {
    std::uint8_t b = 0;
    Bytes(&b, 1);
    return b;
  }
  // The text up to the next byte 0 (dropped) or the end of the input.
  std::string Text() {
    const auto* end = static_cast<const std::uint8_t*>(std::memchr(data_ + pos_, 0, size_ - pos_));
    const std::size_t n = end ? static_cast<std::size_t>(end - data_) - pos_ : size_ - pos_;
    std::string t(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ = std::min(pos_ + n + 1, size_);  // past the byte 0, if any
    return t;
  }
  bool AtEnd() const { return pos_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace dulvex::fuzz

using dulvex::fuzz::Check;
using dulvex::fuzz::InputReader;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
