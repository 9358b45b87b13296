#include "device/host_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include "device/sector_device.h"

namespace dulvex::device {

namespace {

namespace fs = std::filesystem;

// Makes the entries of `folder` durable: a renamed file survives a stop of the machine.
void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool PendingFile::Fail(const std::string& what, int error) {
  status_ = {error != 0 ? CauseOfErrno(error) : Cause::Refused, error,
             what + (error != 0 ? ErrnoText(error) : std::string())};
  return false;
}

PendingFile::PendingFile(const std::string& target) : target_(target) {
  struct stat st {};
  bool exists = ::lstat(target.c_str(), &st) == 0;
  if (exists && S_ISLNK(st.st_mode)) {
    // Written through: the link stays, the file it leads to gets the bytes.
    std::error_code ec;
    const fs::path real = fs::canonical(target, ec);
    if (ec) {
      std::error_code unread;
      const fs::path to = fs::read_symlink(target, unread);
      status_ = {CauseOfErrno(ec.value()), ec.value(),
                 "it is a symbolic link to " + to.string() + ", which " +
                     (ec.value() == ENOENT ? std::string("does not exist")
                                           : "cannot be followed: " + ErrnoText(ec.value()))};
      return;
    }
    target_ = real.string();
    exists = ::stat(target_.c_str(), &st) == 0;
  }
  if (exists && !S_ISREG(st.st_mode)) {
    Fail(S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file", 0);
    return;
  }
  // A short name, so that any name the folder takes can be written.
  fs::path folder = fs::path(target_).parent_path();
  temp_ = (folder.empty() ? fs::path(".") : folder) / ".dulvex-XXXXXX";
  fd_ = ::mkstemp(temp_.data());  // private: 0600
  if (fd_ < 0) {
    Fail("no file can be made in its folder: ", errno);
    return;
  }
  if (!exists) return;
  // The file that takes the old one's place keeps its owner and mode (the owner first: a
  // change of owner clears the set-id bits).
  const bool owner = (st.st_uid == ::geteuid() && st.st_gid == ::getegid()) ||
                     ::fchown(fd_, st.st_uid, st.st_gid) == 0;
  if (!owner || ::fchmod(fd_, st.st_mode & 07777) != 0) {
    const int error = errno;
    ::close(fd_), fd_ = -1;
    ::unlink(temp_.c_str());
    Fail(owner ? "its mode cannot be kept: "
               : "it belongs to another user or group, which a new file cannot keep: ",
         error);
  }
}

PendingFile::~PendingFile() {
  if (fd_ >= 0) ::close(fd_), ::unlink(temp_.c_str());
}

bool PendingFile::Write(std::span<const std::uint8_t> bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail("", n == 0 ? EIO : errno);
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool PendingFile::Skip(std::uint64_t count) {
  if (count > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return Fail("", EFBIG);
  if (::lseek(fd_, static_cast<off_t>(count), SEEK_CUR) < 0) return Fail("", errno);
  return true;
}

bool PendingFile::Keep() {
  if (fd_ < 0) return false;
  // Skipped bytes at the end are not in the file until its length reaches past them.
  const off_t end = ::lseek(fd_, 0, SEEK_CUR);
  struct stat st {};
  int error = end < 0 || ::fstat(fd_, &st) != 0 ? errno : 0;
  if (error == 0 && end > st.st_size && ::ftruncate(fd_, end) != 0) error = errno;
  if (error == 0 && ::fsync(fd_) != 0) error = errno;
  // Closed whatever the flush did: the descriptor is not kept past this call.
  if (::close(fd_) != 0 && error == 0) error = errno;
  fd_ = -1;
  if (error == 0 && ::rename(temp_.c_str(), target_.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp_.c_str());
    return Fail("", error);
  }
  SyncFolder(fs::path(target_).parent_path().empty() ? fs::path(".")
                                                     : fs::path(target_).parent_path());
  return true;
}

}  // namespace dulvex::device
