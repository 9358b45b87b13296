// What a medium is, whatever name reaches it, and which loop devices lie over an image. The
// write journal keeps a medium's identity with each record, so an undo or a check at start
// can tell whether a letter still reaches the same medium.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "device/sector_device.h"

namespace dulvex::device {

struct MediumIdentity {
  bool block = false;      // a block device; otherwise an image file
  std::uint64_t dev = 0;   // image: the device of its file system; block: its own number
  std::uint64_t ino = 0;   // image: its inode; 0 for a block device
  std::uint64_t size = 0;  // bytes
  // Block devices, where sysfs gives them; for a loop device `serial` names its backing file
  // by device and inode.
  std::string serial, wwn;

  // "image file, device 254:1, inode 1234, 1474560 bytes" or "block device 7:3, ...".
  std::string Describe() const;
  // Same medium: an image by device and inode, a block device by number, size, serial and
  // WWN.
  bool SameAs(const MediumIdentity& other) const;
};

// The identity of the medium open on `fd`.
MediumIdentity IdentityOf(int fd);
// The identity of the medium behind `file` (links followed); fails as opening it for reading.
IoResult IdentifyMedium(const std::filesystem::path& file, MediumIdentity* out);

// The loop devices ("/dev/loop2") whose backing file is the file with this device and inode,
// compared by identity (LOOP_GET_STATUS64) rather than by the name sysfs shows.
std::vector<std::string> LoopDevicesOver(std::uint64_t dev, std::uint64_t ino);

}  // namespace dulvex::device
