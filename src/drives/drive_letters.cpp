#include "drives/drive_letters.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "base/escape.h"
#include "device/medium_identity.h"

namespace dulvex::drives {

namespace fs = std::filesystem;

std::optional<char> ParseLetter(std::string_view text) {
  if (text.size() == 2 && text[1] == ':') text.remove_suffix(1);
  if (text.size() != 1) return std::nullopt;
  char c = text[0];
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (c < kFirstLetter || c > kLastLetter) return std::nullopt;
  return c;
}

std::string DeviceName(char letter) {
  return std::string(1, letter) + ":";
}

fs::path EntryOf(const fs::path& folder, char letter) {
  return folder / std::string(1, letter);
}

bool IsBound(const fs::path& folder, char letter) {
  struct stat st {};
  return ::lstat(EntryOf(folder, letter).c_str(), &st) == 0;
}

bool IsDangling(const fs::path& folder, char letter) {
  const fs::path entry = EntryOf(folder, letter);
  struct stat st {};
  if (::lstat(entry.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
  return ::stat(entry.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

std::optional<char> FirstFreeLetter(const fs::path& folder, std::string_view taken) {
  const auto untaken = [&](char c) { return taken.find(c) == std::string_view::npos; };
  for (char c = kFirstLetter; c <= kLastLetter; ++c) {
    if (untaken(c) && IsDangling(folder, c)) return c;
  }
  for (char c = kFirstLetter; c <= kLastLetter; ++c) {
    if (untaken(c) && !IsBound(folder, c)) return c;
  }
  return std::nullopt;
}

std::optional<char> FirstReadableLetter(const fs::path& folder) {
  for (char c = kFirstLetter; c <= kLastLetter; ++c) {
    const fs::path entry = EntryOf(folder, c);
    if (CheckMedium(entry).ok() && ::access(entry.c_str(), R_OK) == 0) return c;
  }
  return std::nullopt;
}

bool SameFile(const fs::path& a, const fs::path& b) {
  struct stat sa {
  }, sb{};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  if (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino) return true;
  return S_ISBLK(sa.st_mode) && S_ISBLK(sb.st_mode) && sa.st_rdev == sb.st_rdev;
}

std::optional<char> LetterOf(const fs::path& folder, const fs::path& target) {
  for (char c = kFirstLetter; c <= kLastLetter; ++c) {
    if (SameFile(EntryOf(folder, c), target)) return c;
  }
  return std::nullopt;
}

fs::path TargetOf(const fs::path& folder, char letter) {
  fs::path entry = EntryOf(folder, letter);
  std::error_code ec;
  if (!fs::is_symlink(fs::symlink_status(entry, ec))) return entry;
  fs::path target = fs::read_symlink(entry, ec);
  if (ec) return entry;
  return target.is_absolute() ? target : (folder / target).lexically_normal();
}

Status CheckMedium(const fs::path& path) {
  const auto notMedium = [](const char* why) { return Status(Cause::OpenFailed, 0, why); };
  if (path.empty()) return notMedium("no file named");
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR)
      return {Cause::OpenFailed, errno, "no such file or device"};
    return Status::FromErrno(std::string("cannot be reached (") + std::strerror(errno) + ")");
  }
  if (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode)) return {};
  if (S_ISDIR(st.st_mode)) return notMedium("is a folder, not an image file or a block device");
  if (S_ISCHR(st.st_mode))
    return notMedium("is a character device, not an image file or a block device");
  return notMedium("is neither an image file nor a block device");
}

bool IsImageFile(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

Status CanBind(const fs::path& folder, char letter) {
  const fs::path entry = EntryOf(folder, letter);
  std::error_code ec;
  const fs::file_status was = fs::symlink_status(entry, ec);
  if (!fs::exists(was) || fs::is_symlink(was)) return {};
  return Status::Refuse(DeviceName(letter) + " holds the image " + EscapeControls(entry.string()) +
                        " itself, which is not replaced; choose another letter, or move that "
                        "file away first");
}

Status Bind(const fs::path& folder, char letter, const fs::path& target) {
  if (Status refused = CanBind(folder, letter); !refused.ok()) return refused;
  const fs::path entry = EntryOf(folder, letter);
  const std::string name = DeviceName(letter);
  std::error_code ec;
  fs::path absolute = fs::absolute(target, ec).lexically_normal();
  if (ec) return {CauseOfErrno(ec.value()), ec.value(), name + " cannot be bound: " + ec.message()};
  fs::create_directories(folder, ec);
  // The new link is made beside the entry and renamed over it, so the letter never has
  // nothing behind it and a failure leaves the old binding in place.
  const fs::path temporary = folder / ("." + std::string(1, letter) + ".binding-" +
                                       std::to_string(static_cast<long>(::getpid())));
  fs::remove(temporary, ec);
  fs::create_symlink(absolute, temporary, ec);
  if (!ec) fs::rename(temporary, entry, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return {CauseOfErrno(ec.value()), ec.value(),
            name + " cannot be bound in " + EscapeControls(folder.string()) + ": " + ec.message()};
  }
  return {};
}

namespace {

// `path` with its folder's links resolved (the file itself need not exist).
fs::path Resolved(const fs::path& path) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(path, ec);
  fs::path folder = fs::weakly_canonical(absolute.parent_path(), ec);
  return ec ? absolute : folder / absolute.filename();
}

bool Inside(const fs::path& path, const fs::path& folder) {
  const auto [f, p] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return f == folder.end() && p != path.end();
}

}  // namespace

Status HostFileRefusal(const fs::path& folder, const fs::path& path, bool wholeFolder) {
  std::error_code ec;
  const fs::path drives = fs::weakly_canonical(folder, ec);
  // The name as given, and the file a link there leads to.
  const fs::path named = Resolved(path);
  const fs::path real = fs::weakly_canonical(named, ec);
  for (const fs::path& p : {named, ec ? named : real}) {
    if (drives.empty() || !Inside(p, drives)) continue;
    if (wholeFolder)
      return Status::Refuse(path.string() + " lies inside the drives folder " + drives.string() +
                            ", which holds the volumes' letters");
    const std::string name = p.filename().string();
    if (p.parent_path() == drives && ParseLetter(name) && name.size() == 1)
      return Status::Refuse(path.string() + " is the entry of the letter " +
                            DeviceName(*ParseLetter(name)) + " in the drives folder");
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};  // a new file
  if (const std::optional<char> letter = LetterOf(folder, path))
    return Status::Refuse(path.string() + " is the medium bound to " + DeviceName(*letter));
  if (!S_ISREG(st.st_mode)) return Status::Refuse(path.string() + " is not a regular file");
  const std::vector<device::DeviceUser> loops = device::LoopDevicesOver(st.st_dev, st.st_ino);
  if (!loops.empty())
    return Status::Refuse(path.string() + " is the file behind the loop device " +
                          loops.front().node);
  return {};
}

}  // namespace dulvex::drives
