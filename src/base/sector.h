// A sector of the program, and the range of sector numbers it reads and writes: 512 bytes,
// numbered by 32-bit signed integers (the sector box's reader rounds to them).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace dulvex {

using SectorBytes = std::array<std::uint8_t, 512>;

// Lowest and highest sector number the program can read or write.
inline constexpr std::int64_t kLowestSectorNumber = -2147483647;
inline constexpr std::int64_t kHighestSectorNumber = 2147483647;

inline bool InSectorRange(std::int64_t n) {
  return n >= kLowestSectorNumber && n <= kHighestSectorNumber;
}

// A refusal of a number outside that range, after what it names: "sector number 3000000000"
// gives "sector number 3000000000 is out of range (sector numbers go from -2147483647 to
// 2147483647)".
inline std::string OutOfSectorRange(const std::string& what) {
  return what + " is out of range (sector numbers go from -2147483647 to 2147483647)";
}

}  // namespace dulvex
