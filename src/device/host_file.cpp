#include "device/host_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace dulvex::device {

PendingFile::PendingFile(const std::string& target) : target_(target), temp_(target + ".XXXXXX") {
  fd_ = ::mkstemp(temp_.data());
  if (fd_ < 0) return;
  // mkstemp makes the file private; give it the mode a new file of the user gets.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd_, 0666 & ~mask);
}

PendingFile::~PendingFile() {
  if (fd_ >= 0) ::close(fd_), ::unlink(temp_.c_str());
}

bool PendingFile::Write(std::span<const std::uint8_t> bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool PendingFile::Keep() {
  const bool ok = ::fsync(fd_) == 0 && ::close(fd_) == 0;
  fd_ = -1;
  if (ok && ::rename(temp_.c_str(), target_.c_str()) == 0) return true;
  const int error = errno;
  ::unlink(temp_.c_str());
  errno = error;
  return false;
}

}  // namespace dulvex::device
