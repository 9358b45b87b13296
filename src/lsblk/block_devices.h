// The block devices of the machine as lsblk (util-linux) lists them: `lsblk --json --bytes`
// read with the project's own JSON reader. Qt-free, tested without a display.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace dulvex::lsblk {

struct BlockDevice {
  std::string name;    // "sdb1"
  std::string path;    // "/dev/sdb1"
  std::string model;   // of a whole disk; empty when lsblk knows none
  std::string fsType;  // "vfat", "ext4", ...; empty when unknown
  std::string label;
  std::string type;  // "disk", "part", "loop", "rom", ...
  std::uint64_t size = 0;
  bool sizeKnown = true;  // false when lsblk gave no size, or one that is no whole number of
                          // bytes below 2^64
  std::vector<std::string> mountPoints;
  bool removable = false;
  bool readOnly = false;
  int depth = 0;  // 0 for a device of its own, 1 for its partitions, and so on
  // A partition (or anything below it) is mounted: the kernel refuses to open the whole
  // device exclusively, so writing to it is refused as well.
  bool holdsMounted = false;
  bool mounted() const { return !mountPoints.empty(); }
};

struct DeviceList {
  std::vector<BlockDevice> devices;  // each device followed by the ones below it
  Status status;                     // why there is no list; ok when there is one
};

// The columns asked of lsblk.
inline constexpr const char* kColumns = "NAME,PATH,SIZE,MODEL,FSTYPE,LABEL,MOUNTPOINTS,RM,RO,TYPE";

// Reads lsblk's JSON. Takes what the versions of util-linux write: sizes and flags as
// numbers, booleans or texts, "mountpoints" as a list or "mountpoint" as one text. A size is
// read as an integer, never through a floating-point number; one that does not fit in 64
// bits (or is not a whole number) leaves the size unknown.
DeviceList ParseLsblk(std::string_view json);

// Runs `lsblk --json --bytes --output kColumns` (found on the PATH) and reads its answer;
// waits for it at most `timeoutMs` milliseconds.
DeviceList ListBlockDevices(int timeoutMs = 10000);

}  // namespace dulvex::lsblk
