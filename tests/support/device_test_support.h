// Helpers for the device tests: pattern images, sectors, a file even root cannot write, and a
// loop block device over an image.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "support/test_tools.h"

namespace dulvex::testing {

using Sector = std::array<std::uint8_t, 512>;

// Differs between neighbouring sectors and within each sector, so a one-sector slip shows.
inline std::uint8_t PatternByte(std::uint64_t offset) {
  return static_cast<std::uint8_t>(((offset * 0x9E3779B97F4A7C15ull) >> 56) ^ (offset / 512));
}

inline std::vector<std::uint8_t> MakePatternImage(const std::filesystem::path& file,
                                                  std::uint64_t bytes) {
  std::vector<std::uint8_t> data(bytes);
  for (std::uint64_t i = 0; i < bytes; ++i) data[i] = PatternByte(i);
  std::ofstream(file, std::ios::binary) << std::string(data.begin(), data.end());
  return data;
}

// The whole file, read without the program's device layer.
inline std::vector<std::uint8_t> WholeFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline Sector Filled(std::uint8_t value) {
  Sector s;
  s.fill(value);
  return s;
}

inline Sector Slice(const std::vector<std::uint8_t>& data, std::uint64_t sector) {
  Sector s;
  std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(sector * 512), 512, s.begin());
  return s;
}

// The start of a command line that runs a program under strace with this fault injected
// ("fsync:error=EIO"). Leak checks are off there: they do not work under ptrace.
inline std::string UnderStrace(const std::string& inject) {
  return "ASAN_OPTIONS=detect_leaks=0 strace -f -qq -o /dev/null -e inject=" + inject + " ";
}

// Runs a shell command, its output discarded; true when it succeeded.
inline bool Quietly(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Unwritable while it lives (no write bit; for root also chattr +i); ok() when it is.
struct ReadOnlyFile {
  explicit ReadOnlyFile(std::filesystem::path path) : file(std::move(path)) {
    const std::string q = "'" + file.string() + "'";
    Quietly("chmod a-w " + q + (::geteuid() == 0 ? " && chattr +i " + q : ""));
  }
  ~ReadOnlyFile() {
    Quietly("chattr -i '" + file.string() + "'; chmod u+w '" + file.string() + "'");
  }
  bool ok() const { return ::access(file.c_str(), W_OK) != 0; }
  // For a skip line when !ok().
  static constexpr const char* kMissing =
      "a file this account cannot write (root needs chattr +i: CAP_LINUX_IMMUTABLE)";
  std::filesystem::path file;
};

// A loop block device over an image, detached at the end; `path` is empty when the machine
// gives none, and `missing` then says what this account or machine lacks, for a skip line.
struct LoopDevice {
  // `options` for losetup: "-r" for a read-only device.
  explicit LoopDevice(const std::filesystem::path& image, const std::string& options = "") {
    if (::geteuid() != 0) {
      missing = "root, to attach a loop device";
      return;
    }
    try {
      path = RunCommand(std::string(tools::kLosetup) + " " + options + " --find --show '" +
                        image.string() + "'");
    } catch (const std::exception& e) {
      // RunCommand's message ends in the tool's own words.
      std::string said = e.what();
      said.erase(said.find_last_not_of(" \n") + 1);
      missing = "a loop device: " + said.substr(said.find_last_of('\n') + 1);
    }
    path.erase(path.find_last_not_of(" \n") + 1);
  }
  ~LoopDevice() {
    if (path.empty()) return;
    Quietly(std::string(tools::kLosetup) + " -d '" + path + "'");
    // The kernel lets go of the image once the last user (a probe by udev, say) closes the
    // device; a test that writes the image next must not find it still attached.
    const auto attached =
        std::filesystem::path("/sys/block") / std::filesystem::path(path).filename() / "loop";
    for (int i = 0; i < 250 && std::filesystem::exists(attached); ++i) ::usleep(20000);
  }
  std::string path;
  std::string missing;
};

// A file system mounted on a fresh folder, unmounted at the end: a small tmpfs, a ramfs
// (which refuses O_DIRECT), or the one on a block device (`source`). `ok` is false (and the
// folder plain) when the machine does not let the test mount one; `missing` then says why,
// for a skip line.
struct TestMount {
  explicit TestMount(std::filesystem::path folder, const std::string& type = "tmpfs",
                     const std::string& source = "dulvex-test")
      : path(std::move(folder)) {
    std::filesystem::create_directories(path);
    const std::string options = type == "tmpfs" ? " -o size=1m" : "";
    ok = Quietly("mount -t " + type + options + " '" + source + "' '" + path.string() + "'");
    if (!ok) {
      missing = ::geteuid() != 0 ? "root, to mount a " + type
                                 : "the right to mount a " + type + " (CAP_SYS_ADMIN)";
    }
  }
  ~TestMount() {
    if (ok) Quietly("umount -l '" + path.string() + "'");
  }
  // Fills the file system to the last byte.
  void Fill() const { Quietly("dd if=/dev/zero of='" + (path / "fill").string() + "' bs=4k"); }
  bool Remount(const char* mode) const {
    return Quietly("mount -o remount," + std::string(mode) + " '" + path.string() + "'");
  }
  std::filesystem::path path;
  bool ok = false;
  std::string missing;
};

}  // namespace dulvex::testing
