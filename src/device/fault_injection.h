// Read faults made on purpose, for tests: every read (a sector read or a large read) that
// touches a sector of a registered range on the given medium fails as an input/output error,
// as a damaged medium does. The medium is known by its device and inode, so a fault follows
// an image through every name and link that reaches it. Nothing is registered in the program.
#pragma once

#include <cstdint>
#include <filesystem>

namespace dulvex::device {

// Makes sectors first..last (inclusive) of the medium behind `file` unreadable. False when
// the file cannot be looked at.
bool InjectReadFault(const std::filesystem::path& file, std::int64_t first, std::int64_t last);
void ClearReadFaults();

// True when a registered fault covers any of the bytes offset .. offset + length - 1 of the
// medium (dev, ino). Cheap when no fault is registered.
bool ReadFaultAt(std::uint64_t dev, std::uint64_t ino, std::uint64_t offset, std::uint64_t length);

}  // namespace dulvex::device
