#include "drives/drive_info.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/fs.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "base/escape.h"
#include "base/le.h"
#include "drives/drive_letters.h"
#include "fat/boot_sector.h"

namespace dulvex::drives {

namespace fs = std::filesystem;

namespace {

// Where the file systems keep what tells them apart, from the start of the medium.
constexpr std::size_t kOemName = 3;        // 8 bytes: "NTFS    ", "EXFAT   ", "MSDOS5.0"
constexpr std::size_t kFat16BootSig = 38;  // 0x29 when the volume label below is valid
constexpr std::size_t kFat16VolLab = 43;   // 11 bytes
constexpr std::size_t kFat32BootSig = 66;
constexpr std::size_t kFat32VolLab = 71;
constexpr std::size_t kFatSz16 = 22;         // 0 in the FAT32 layout
constexpr std::size_t kMbrPartitions = 446;  // four 16-byte entries, type at +4
constexpr std::size_t kBootSignature = 510;  // 55 AA
constexpr std::size_t kGptHeader = 512;      // "EFI PART"
constexpr std::size_t kExtSuper = 1024;      // the ext2/3/4 superblock
constexpr std::size_t kExtCompat = kExtSuper + 92;
constexpr std::size_t kExtIncompat = kExtSuper + 96;
constexpr std::size_t kExtMagic = kExtSuper + 56;   // 53 EF
constexpr std::size_t kExtLabel = kExtSuper + 120;  // 16 bytes
constexpr std::uint32_t kExtHasJournal = 0x4;
constexpr std::uint32_t kExtExtentsOr64Bit = 0x40 | 0x80 | 0x200;  // extents, 64bit, flex_bg

using fat::Le16;
using fat::Le32;

bool Matches(const std::uint8_t* head, std::size_t size, std::size_t at, const char* text) {
  const std::size_t n = std::strlen(text);
  return at + n <= size && std::memcmp(head + at, text, n) == 0;
}

// A label field: printable bytes up to the first NUL, trailing blanks dropped.
std::string Label(const std::uint8_t* p, std::size_t n) {
  std::string text;
  for (std::size_t i = 0; i < n && p[i] != 0; ++i) {
    text += (p[i] >= 0x20 && p[i] < 0x7F) ? static_cast<char>(p[i]) : '?';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text == "NO NAME" ? std::string() : text;
}

// The FAT type from the cluster count of a complete boot sector; empty when the sector
// does not hold one (no jump instruction, or a field that must not be 0 is 0).
std::string FatType(const std::uint8_t* head) {
  if (head[0] != 0xEB && head[0] != 0xE9) return {};
  SectorBytes sector;
  std::copy_n(head, sector.size(), sector.begin());
  const fat::BootSectorDecoding d = fat::DecodeBootSector(sector, VolumeGeometry{});
  return d.accepted() ? fat::FatTypeName(d.geometry.FatType) : std::string();
}

std::uint64_t BlockDeviceSize(const struct stat& st, const fs::path& path) {
  // sysfs tells the size without any rights on the device.
  std::ifstream sys("/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" +
                    std::to_string(minor(st.st_rdev)) + "/size");
  std::uint64_t sectors = 0;
  if (sys >> sectors) return sectors * 512;
  std::uint64_t bytes = 0;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    if (::ioctl(fd, BLKGETSIZE64, &bytes) != 0) bytes = 0;
    ::close(fd);
  }
  return bytes;
}

std::string GroupName(gid_t gid) {
  const struct group* g = ::getgrgid(gid);
  return g != nullptr ? g->gr_name : std::to_string(gid);
}

std::string UserName(uid_t uid) {
  const struct passwd* p = ::getpwuid(uid);
  return p != nullptr ? p->pw_name : std::to_string(uid);
}

std::string ModeText(mode_t mode) {
  std::string text;
  const char* letters = "rwxrwxrwx";
  for (int i = 0; i < 9; ++i) text += (mode & (0400 >> i)) != 0 ? letters[i] : '-';
  return text;
}

// Whether this session has `gid` among its groups, and whether the user is listed in it
// (in /etc/group) without this session having it yet.
bool SessionHasGroup(gid_t gid) {
  if (::getegid() == gid) return true;
  const int n = ::getgroups(0, nullptr);
  std::vector<gid_t> groups(static_cast<std::size_t>(std::max(n, 0)));
  if (n > 0 && ::getgroups(n, groups.data()) == n) {
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
  }
  return false;
}

bool ListedInGroup(gid_t gid) {
  const struct group* g = ::getgrgid(gid);
  const std::string me = UserName(::geteuid());
  if (g == nullptr) return false;
  for (char** m = g->gr_mem; *m != nullptr; ++m) {
    if (me == *m) return true;
  }
  return false;
}

// Whether the group of `st` may do what is needed (read, or read and write) and is worth
// joining: group root is not.
bool GroupMay(const struct stat& st, bool write) {
  const mode_t need = write ? 060 : 040;
  return st.st_gid != 0 && (st.st_mode & need) == need;
}

// Who may read a file that this account may not: "group disk", or "root only".
std::string WhoMayRead(const struct stat& st) {
  if (GroupMay(st, false)) return "group " + GroupName(st.st_gid);
  if (st.st_uid == 0) return "root only";
  return "user " + UserName(st.st_uid) + " only";
}

}  // namespace

std::string HumanSize(std::uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  const char* units[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  double value = static_cast<double>(bytes) / 1024;
  std::size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(units)) {
    value /= 1024;
    ++unit;
  }
  char buf[32];
  // One decimal below 100, none above; "128.0" reads as "128".
  std::snprintf(buf, sizeof buf, value < 100 ? "%.1f" : "%.0f", value);
  std::string number = buf;
  if (number.size() > 2 && number.compare(number.size() - 2, 2, ".0") == 0)
    number.resize(number.size() - 2);
  return number + " " + units[unit];
}

FileSystemGuess GuessFileSystem(const std::uint8_t* head, std::size_t size) {
  FileSystemGuess g;
  if (Matches(head, size, kOemName, "NTFS    ")) return {"NTFS", ""};
  if (Matches(head, size, kOemName, "EXFAT   ")) return {"exFAT", ""};
  if (size >= 512) {
    g.type = FatType(head);
    if (!g.type.empty()) {
      const bool fat32 = Le16(head + kFatSz16) == 0;
      const std::size_t sig = fat32 ? kFat32BootSig : kFat16BootSig;
      if (head[sig] == 0x29) g.label = Label(head + (fat32 ? kFat32VolLab : kFat16VolLab), 11);
      return g;
    }
  }
  if (size >= kExtLabel + 16 && Le16(head + kExtMagic) == 0xEF53) {
    const std::uint32_t compat = Le32(head + kExtCompat);
    const std::uint32_t incompat = Le32(head + kExtIncompat);
    g.type = (incompat & kExtExtentsOr64Bit) != 0 ? "ext4"
             : (compat & kExtHasJournal) != 0     ? "ext3"
                                                  : "ext2";
    g.label = Label(head + kExtLabel, 16);
    return g;
  }
  if (Matches(head, size, kGptHeader, "EFI PART")) return {"GPT partition table", ""};
  if (size >= 512 && head[kBootSignature] == 0x55 && head[kBootSignature + 1] == 0xAA) {
    for (std::size_t e = 0; e < 4; ++e) {
      if (head[kMbrPartitions + 16 * e + 4] != 0) return {"MBR partition table", ""};
    }
  }
  return g;
}

FileSystemGuess ProbeFileSystem(const fs::path& path, Status* read) {
  *read = {};
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    struct stat st {};
    if ((error == EACCES || error == EPERM) && ::stat(path.c_str(), &st) == 0) {
      *read = {CauseOfErrno(error), error, "no rights to read it (" + WhoMayRead(st) + ")"};
    } else {
      *read = {CauseOfErrno(error), error, error == ENOMEDIUM ? "no medium" : std::strerror(error)};
    }
    return {};
  }
  std::uint8_t head[4096];
  const ssize_t got = ::pread(fd, head, sizeof head, 0);
  const int readError = errno;
  ::close(fd);
  if (got < 0) {
    *read = {CauseOfErrno(readError), readError, std::strerror(readError)};
    return {};
  }
  return GuessFileSystem(head, static_cast<std::size_t>(got));
}

std::string DescribeLetter(const fs::path& folder, char letter) {
  if (!IsBound(folder, letter)) return "nothing bound";
  const fs::path target = TargetOf(folder, letter);
  std::string text = EscapeControls(target.string());
  if (const Status medium = CheckMedium(target); !medium.ok())
    return text + ": " + medium.Describe();
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) return text + ": " + std::strerror(errno);
  const bool block = S_ISBLK(st.st_mode);
  const std::uint64_t size =
      block ? BlockDeviceSize(st, target) : static_cast<std::uint64_t>(st.st_size);
  // A loop device with no file attached, a card reader with no card.
  if (block && size == 0) return text + " · no medium";
  text += " · " + HumanSize(size);
  Status read;
  const FileSystemGuess g = ProbeFileSystem(target, &read);
  if (!read.ok()) return text + " · " + read.Describe();
  text += " · " + (g.type.empty() ? std::string("no file system recognised") : g.type);
  if (!g.label.empty()) text += " · label \"" + g.label + "\"";
  return text;
}

std::string DeniedAdvice(const std::string& device, const fs::path& file, bool write) {
  std::error_code ec;
  fs::path target = fs::canonical(file, ec);
  if (ec) target = file;
  std::string text = "Permission denied: " + device + " is " + EscapeControls(target.string()) +
                     ", and this account may not open it for " +
                     (write ? "reading and writing." : "reading.");
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) return text;
  const std::string group = GroupName(st.st_gid);
  // A group is named only when joining it would give the rights.
  const bool groupMay = GroupMay(st, write);
  text += " It belongs to user " + UserName(st.st_uid) + (groupMay ? " and group " + group : "") +
          " (" + ModeText(st.st_mode) + ").";
  if (groupMay) {
    if (!SessionHasGroup(st.st_gid) && ListedInGroup(st.st_gid)) {
      text += "\n\nYou are already a member of the group " + group +
              ", but this session started before you joined it: log out and log in again.";
    } else {
      text += "\n\nTo use it, join the group " + group + ":\n    sudo usermod -aG " + group +
              " $USER\nthen log out and log in again (a new group counts from the next login).";
    }
    text += "\n\nOr start the program with the rights needed.";
  } else if (S_ISBLK(st.st_mode)) {
    text +=
        "\n\nNo group may open it: start the program as root (for example with sudo), or "
        "give a group access with a udev rule, a line in a file of /etc/udev/rules.d/ such "
        "as\n    KERNEL==\"" +
        EscapeControls(target.filename().string()) +
        "\", GROUP=\"disk\", MODE=\"0660\"\nthen join that group and attach the device "
        "again.";
  } else {
    text += "\n\nStart the program with the rights needed, or ask the owner for access.";
  }
  return text;
}

}  // namespace dulvex::drives
