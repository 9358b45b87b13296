#include "device/medium_identity.h"

#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <fstream>

#include "device/posix_io.h"

namespace dulvex::device {

namespace {

namespace fs = std::filesystem;

constexpr unsigned kLoopMajor = 7;  // the block-device number of loop devices

std::string Numbers(std::uint64_t dev) {
  return std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
}

// The first line of a sysfs file, without surrounding blanks; empty when there is none.
std::string SysfsText(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  const auto first = line.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

// The first of the candidates (relative to the device's sysfs folder) that gives a text.
std::string SysfsFirst(const fs::path& base, std::initializer_list<const char*> candidates) {
  for (const char* c : candidates) {
    std::string text = SysfsText(base / c);
    if (!text.empty()) return text;
  }
  return {};
}

// The backing file of the loop device open on `fd` as device number and inode; false when the
// device is not attached (or not a loop device).
bool LoopBacking(int fd, std::uint64_t* dev, std::uint64_t* ino) {
  loop_info64 info{};
  if (::ioctl(fd, LOOP_GET_STATUS64, &info) != 0) return false;
  // The kernel hands the number over in its own 32-bit encoding.
  const std::uint64_t x = info.lo_device;
  *dev = makedev(static_cast<unsigned>((x & 0xfff00) >> 8),
                 static_cast<unsigned>((x & 0xff) | ((x >> 12) & 0xfff00)));
  *ino = info.lo_inode;
  return true;
}

}  // namespace

std::string MediumIdentity::Describe() const {
  std::string text = block
                         ? "block device " + Numbers(dev)
                         : "image file, device " + Numbers(dev) + ", inode " + std::to_string(ino);
  text += ", " + std::to_string(size) + " bytes";
  if (!serial.empty()) text += ", serial " + serial;
  if (!wwn.empty()) text += ", WWN " + wwn;
  return text;
}

bool MediumIdentity::SameAs(const MediumIdentity& o) const {
  if (block != o.block || dev != o.dev) return false;
  if (!block) return ino == o.ino;
  return size == o.size && serial == o.serial && wwn == o.wwn;
}

MediumIdentity IdentityOf(int fd) {
  MediumIdentity id;
  struct stat st {};
  if (::fstat(fd, &st) != 0) return id;
  const MediumId m = MediumIdOf(st);
  id.block = S_ISBLK(st.st_mode);
  id.dev = m.dev;
  id.ino = m.ino;
  const long long size = MediumSize(fd);
  id.size = size < 0 ? 0 : static_cast<std::uint64_t>(size);
  if (!id.block) return id;
  std::uint64_t backingDev = 0, backingIno = 0;
  if (major(id.dev) == kLoopMajor && LoopBacking(fd, &backingDev, &backingIno)) {
    id.serial = "loop over " + Numbers(backingDev) + " inode " + std::to_string(backingIno);
    return id;
  }
  // A partition's serial and WWN are those of the disk that holds it (the parent folder).
  const fs::path base = "/sys/dev/block/" + Numbers(id.dev);
  id.serial = SysfsFirst(base, {"device/serial", "../device/serial"});
  id.wwn = SysfsFirst(base, {"wwid", "device/wwid", "../wwid", "../device/wwid"});
  return id;
}

IoResult IdentifyMedium(const fs::path& file, MediumIdentity* out) {
  if (file.empty()) return {IoStatus::OpenFailed, ENOENT};
  Fd fd(OpenMedium(file.c_str(), O_RDONLY));
  if (fd.get() < 0) return IoResult::FromErrno();
  *out = IdentityOf(fd.get());
  return {};
}

std::vector<std::string> LoopDevicesOver(std::uint64_t dev, std::uint64_t ino) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator("/sys/block", ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind("loop", 0) != 0 || !fs::exists(e.path() / "loop", ec)) continue;
    const std::string node = "/dev/" + name;
    std::uint64_t d = 0, i = 0;
    Fd fd(::open(node.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    bool known = fd.get() >= 0 && LoopBacking(fd.get(), &d, &i);
    if (!known) {
      // Without the right to open the device, the file sysfs names is looked at instead, by
      // identity: the same name may by now stand for another file.
      struct stat st {};
      known = ::stat(SysfsText(e.path() / "loop/backing_file").c_str(), &st) == 0;
      d = st.st_dev, i = st.st_ino;
    }
    if (known && d == dev && i == ino) found.push_back(node);
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace dulvex::device
