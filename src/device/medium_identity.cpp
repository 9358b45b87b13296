#include "device/medium_identity.h"

#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

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

Status IdentifyMedium(const fs::path& file, MediumIdentity* out) {
  if (file.empty()) return {Cause::OpenFailed, ENOENT};
  Fd fd(OpenMedium(file.c_str(), O_RDONLY));
  if (fd.get() < 0) return Status::FromErrno();
  *out = IdentityOf(fd.get());
  return {};
}

namespace {

// The sysfs folder of the block device numbered `rdev`; empty when there is none.
fs::path SysfsOf(std::uint64_t rdev) {
  std::error_code ec;
  fs::path p = fs::canonical("/sys/dev/block/" + Numbers(rdev), ec);
  return ec ? fs::path() : p;
}

// The device number a sysfs "dev" file holds ("7:2"); 0 when it cannot be read.
std::uint64_t DevNumberIn(const fs::path& file) {
  const std::string text = SysfsText(file);
  unsigned ma = 0, mi = 0;
  if (std::sscanf(text.c_str(), "%u:%u", &ma, &mi) != 2) return 0;
  return makedev(ma, mi);
}

// A mount point as /proc/self/mountinfo writes it, with its escapes (\040 for a blank)
// undone.
std::string Unescaped(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string digits = field.substr(i + 1, 3);
      if (digits.find_first_not_of("01234567") == std::string::npos) {
        out += static_cast<char>(std::stoi(digits, nullptr, 8));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

// Every mount of this process's view, as device number and mount point.
std::vector<std::pair<std::uint64_t, std::string>> Mounts() {
  std::vector<std::pair<std::uint64_t, std::string>> mounts;
  std::ifstream in("/proc/self/mountinfo");
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string id, parent, numbers, root, point;
    unsigned ma = 0, mi = 0;
    if (!(fields >> id >> parent >> numbers >> root >> point) ||
        std::sscanf(numbers.c_str(), "%u:%u", &ma, &mi) != 2)
      continue;
    mounts.emplace_back(makedev(ma, mi), Unescaped(point));
  }
  return mounts;
}

// A command line word, quoted when it holds anything a shell would read otherwise.
std::string ShellWord(const std::string& word) {
  if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTU"
                                              "VWXYZ0123456789/._-+:@%=,") == std::string::npos)
    return word;
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

std::vector<std::string> DeviceUser::FreeingCommands(bool detach) const {
  std::vector<std::string> commands;
  for (const std::string& point : mountPoints) commands.push_back("umount " + ShellWord(point));
  for (const std::string& holder : holders) {
    const std::string name = fs::path(holder).filename().string();
    const std::string dmName = SysfsText(fs::path("/sys/block") / name / "dm" / "name");
    if (!dmName.empty())
      commands.push_back("dmsetup remove " + ShellWord(dmName));
    else if (name.rfind("md", 0) == 0)
      commands.push_back("mdadm --stop " + holder);
    else
      commands.push_back("stop " + holder + ", which is built on " + node);
  }
  if (detach) commands.push_back("losetup -d " + node);
  return commands;
}

DeviceUser UsersOfDevice(std::uint64_t rdev) {
  DeviceUser user;
  const fs::path sys = SysfsOf(rdev);
  if (sys.empty()) return user;
  user.node = "/dev/" + sys.filename().string();
  // The device itself and each of its partitions (the folders with a "partition" file).
  std::vector<std::pair<std::uint64_t, fs::path>> parts = {{rdev, sys}};
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(sys, ec)) {
    if (fs::exists(e.path() / "partition", ec))
      parts.emplace_back(DevNumberIn(e.path() / "dev"), e.path());
  }
  const auto mounts = Mounts();
  for (const auto& [number, folder] : parts) {
    for (const auto& [mounted, point] : mounts)
      if (mounted == number) user.mountPoints.push_back(point);
    for (const fs::directory_entry& h : fs::directory_iterator(folder / "holders", ec))
      user.holders.push_back("/dev/" + h.path().filename().string());
  }
  std::sort(user.mountPoints.begin(), user.mountPoints.end());
  std::sort(user.holders.begin(), user.holders.end());
  return user;
}

bool LoopBackingFile(std::uint64_t rdev, std::uint64_t* dev, std::uint64_t* ino,
                     std::uint64_t* loop, std::string* name) {
  fs::path sys = SysfsOf(rdev);
  std::error_code ec;
  if (sys.empty()) return false;
  if (fs::exists(sys / "partition", ec)) sys = sys.parent_path();
  if (!fs::exists(sys / "loop", ec)) return false;
  *loop = DevNumberIn(sys / "dev");
  *name = SysfsText(sys / "loop" / "backing_file");
  Fd fd(::open(("/dev/" + sys.filename().string()).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() >= 0 && LoopBacking(fd.get(), dev, ino)) return true;
  // Without the right to open the device, the file sysfs names is looked at instead.
  struct stat st {};
  if (name->empty() || ::stat(name->c_str(), &st) != 0) return false;
  *dev = st.st_dev, *ino = st.st_ino;
  return true;
}

std::vector<DeviceUser> LoopDevicesOver(std::uint64_t dev, std::uint64_t ino,
                                        std::uint64_t except) {
  std::vector<DeviceUser> found;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator("/sys/block", ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind("loop", 0) != 0 || !fs::exists(e.path() / "loop", ec)) continue;
    const std::uint64_t number = DevNumberIn(e.path() / "dev");
    if (number == 0 || number == except) continue;
    std::uint64_t d = 0, i = 0, self = 0;
    std::string file;
    if (LoopBackingFile(number, &d, &i, &self, &file) && d == dev && i == ino)
      found.push_back(UsersOfDevice(number));
  }
  std::sort(found.begin(), found.end(),
            [](const DeviceUser& a, const DeviceUser& b) { return a.node < b.node; });
  return found;
}

std::string DescribeTarget(const fs::path& file, const MediumIdentity& medium) {
  std::error_code ec;
  fs::path real = fs::canonical(file, ec);
  if (ec) real = file;
  if (!medium.block) return real.string();
  std::uint64_t d = 0, i = 0, loop = 0;
  std::string backing;
  if (LoopBackingFile(medium.dev, &d, &i, &loop, &backing))
    return real.string() + " (loop device over " + (backing.empty() ? "a file" : backing) + ")";
  const fs::path base = "/sys/dev/block/" + Numbers(medium.dev);
  const std::string model = SysfsFirst(base, {"device/model", "../device/model"});
  std::string about;
  if (!model.empty()) about = model;
  if (!medium.serial.empty()) about += (about.empty() ? "serial " : ", serial ") + medium.serial;
  return about.empty() ? real.string() : real.string() + " (" + about + ")";
}

}  // namespace dulvex::device
