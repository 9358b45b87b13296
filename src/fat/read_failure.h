// A read of the medium that failed, as the FAT engine returns it: the first sector that
// could not be read and the device layer's reason.
#pragma once

#include <cstdint>
#include <string>

#include "device/sector_device.h"

namespace dulvex::fat {

struct ReadFailure {
  std::int64_t sector = 0;
  Status result;
  // "sector 1234: past the end of the medium"
  std::string Describe() const {
    return "sector " + std::to_string(sector) + ": " + result.Describe();
  }
};

}  // namespace dulvex::fat
