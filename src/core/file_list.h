// The file-list table that the directory analyzer fills: one slot per entry met.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace dulvex {

struct FileList {
  std::int32_t FileCount = 0;     // entries met by the last analysis
  std::int32_t DeletedCount = 0;  // deleted entries met by the last analysis
  // Slot n (1-based, as the analyzer counts) holds the n-th entry met.
  std::array<std::string, 512> FileNames;
  std::array<double, 512> FileFirstCluster{};
  std::array<double, 512> FileLength{};
  // The sector analysed: slot n is its entry n - 1 (the tools read a slot's entry here).
  std::array<std::uint8_t, 512> entries{};
};

}  // namespace dulvex
