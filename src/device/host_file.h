// A file of the host (an export, a file saved from a volume) written the safe way: into a
// temporary file beside it, which takes its name only once every byte is written and made
// durable. Until then an existing file of that name stays as it was. The new file keeps the
// mode and owner of the one it replaces; a new one is private (0600), as it may hold a
// volume's data. A symbolic link is written through, to the file it leads to.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/status.h"

namespace dulvex::device {

class PendingFile {
 public:
  // Creates the temporary file; ok() is false, and status() says why, when that fails or
  // the target cannot be written this way.
  explicit PendingFile(const std::string& target);
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  // Removes the temporary file unless Keep() gave it the target's name.
  ~PendingFile();

  bool ok() const { return fd_ >= 0; }
  // Appends the bytes; false when the write fails.
  bool Write(std::span<const std::uint8_t> bytes);
  // Appends `count` zero bytes as a hole, which takes no room on the disk (a sparse file).
  bool Skip(std::uint64_t count);
  // Makes the bytes durable (the length includes a hole at the end) and renames the file;
  // false when that fails.
  bool Keep();
  // Why the last step failed: its cause and errno, and words naming it.
  const Status& status() const { return status_; }
  // The file written: the target, or the file its symbolic link leads to.
  const std::string& target() const { return target_; }

 private:
  bool Fail(const std::string& what, int error);
  std::string target_, temp_;
  Status status_;
  int fd_ = -1;
};

}  // namespace dulvex::device
