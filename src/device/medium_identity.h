// What a medium is, whatever name reaches it, what else reaches the same bytes, and how to
// name it for people. The write journal keeps a medium's identity with each record, so an
// undo or a check at start can tell whether a letter still reaches the same medium; the
// write path refuses while another device reaches the file it would write.
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
Status IdentifyMedium(const std::filesystem::path& file, MediumIdentity* out);

// A block device that reaches a file or device, with what keeps it in use.
struct DeviceUser {
  std::string node;                      // "/dev/loop2"
  std::vector<std::string> mountPoints;  // where it or one of its partitions is mounted
  std::vector<std::string> holders;      // devices built on it or its partitions: "/dev/dm-0"
  // The commands that free it, in order: "umount /mnt/x", "losetup -d /dev/loop2".
  std::vector<std::string> FreeingCommands(bool detach) const;
};

// The loop devices whose backing file is the file with this device and inode, compared by
// identity (LOOP_GET_STATUS64) rather than by the name sysfs shows, but the one numbered
// `except` (0: none); each with its mounts and holders. In order of their names.
std::vector<DeviceUser> LoopDevicesOver(std::uint64_t dev, std::uint64_t ino,
                                        std::uint64_t except = 0);

// Where the block device numbered `rdev` and its partitions are mounted and what holds them.
DeviceUser UsersOfDevice(std::uint64_t rdev);

// The file behind a loop device numbered `rdev`, or behind the loop device a partition
// numbered `rdev` belongs to: false when it is neither or not attached. *loop gets the
// number of the loop device itself, *name the file's name as the kernel gives it.
bool LoopBackingFile(std::uint64_t rdev, std::uint64_t* dev, std::uint64_t* ino,
                     std::uint64_t* loop, std::string* name);

// What a write reaches, for people: an image's real path ("/home/u/card.img"), a device's
// node with its model and serial ("/dev/sdb1 (SanDisk Ultra, serial 4C53...)"), a loop
// device with its file ("/dev/loop1 (loop device over /home/u/card.img)").
std::string DescribeTarget(const std::filesystem::path& file, const MediumIdentity& medium);

}  // namespace dulvex::device
