// A file of the host (an export, a file saved from a volume) written the safe way: into a
// temporary file beside it, which takes its name only once every byte is written and made
// durable. Until then an existing file of that name stays as it was.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace dulvex::device {

class PendingFile {
 public:
  // Creates the temporary file; ok() is false (errno set) when that fails.
  explicit PendingFile(const std::string& target);
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  // Removes the temporary file unless Keep() gave it the target's name.
  ~PendingFile();

  bool ok() const { return fd_ >= 0; }
  // Appends the bytes; false with errno set when the write fails.
  bool Write(std::span<const std::uint8_t> bytes);
  // Makes the bytes durable and renames the file; false with errno set when that fails.
  bool Keep();

 private:
  std::string target_, temp_;
  int fd_ = -1;
};

}  // namespace dulvex::device
