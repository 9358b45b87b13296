// Helpers for the device tests: images filled with a known pattern, a file that even root
// cannot open for writing, and a loop block device over an image.
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace dulvex::testing {

// The byte at `offset` of a pattern image: differs between neighbouring sectors and within
// each sector, so a transfer that lands one sector off is seen.
inline std::uint8_t PatternByte(std::uint64_t offset) {
  std::uint64_t x = offset * 0x9E3779B97F4A7C15ull;
  return static_cast<std::uint8_t>((x >> 56) ^ (offset / 512));
}

// Writes an image of `bytes` bytes holding the pattern; returns its contents.
inline std::vector<std::uint8_t> MakePatternImage(const std::filesystem::path& file,
                                                  std::uint64_t bytes) {
  std::vector<std::uint8_t> data(bytes);
  for (std::uint64_t i = 0; i < bytes; ++i) data[i] = PatternByte(i);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(bytes));
  return data;
}

// The whole file, read without the program's device layer.
inline std::vector<std::uint8_t> WholeFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Makes a file read-only for this process. Mode 0444 is enough for an ordinary user; root
// passes over file modes, so for root the file is also made immutable (chattr +i), which
// refuses every open for writing even to root. `reason` tells why it could not be done.
class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(std::filesystem::path file) : file_(std::move(file)) {
    std::filesystem::permissions(file_, std::filesystem::perms::owner_read |
                                            std::filesystem::perms::group_read |
                                            std::filesystem::perms::others_read);
    if (::geteuid() != 0) {
      ok_ = true;
    } else if (SetImmutable(true)) {
      immutable_ = ok_ = true;
    } else {
      reason = "running as root and the file system refuses the immutable flag";
    }
    if (ok_) {
      int fd = ::open(file_.c_str(), O_RDWR);
      if (fd >= 0) {
        ::close(fd);
        ok_ = false;
        reason = "the file still opens for writing";
      }
    }
  }
  ~ReadOnlyFile() {
    if (immutable_) SetImmutable(false);
    std::error_code ec;
    std::filesystem::permissions(file_, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, ec);
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  bool ok() const { return ok_; }
  std::string reason;

 private:
  bool SetImmutable(bool on) {
    int fd = ::open(file_.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
      flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
      done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
  }

  std::filesystem::path file_;
  bool ok_ = false;
  bool immutable_ = false;
};

// A loop block device over an image, detached again at the end. `path` is empty when the
// machine gives none (no rights, no loop devices).
class LoopDevice {
 public:
  explicit LoopDevice(const std::filesystem::path& image) {
    if (::geteuid() != 0) return;
    try {
      std::string out = RunCommand("losetup --find --show '" + image.string() + "'");
      while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
      struct stat st {};
      if (::stat(out.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) {
        path = out;
      } else if (!out.empty()) {
        RunCommand("losetup -d '" + out + "'");
      }
    } catch (const std::exception&) {
      path.clear();
    }
  }
  ~LoopDevice() {
    if (path.empty()) return;
    try {
      RunCommand("losetup -d '" + path.string() + "'");
    } catch (const std::exception&) {
    }
  }
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;
  std::filesystem::path path;
};

}  // namespace dulvex::testing
