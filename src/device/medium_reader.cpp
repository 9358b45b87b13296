#include "device/medium_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "device/posix_io.h"

namespace dulvex::device {

MediumReader::MediumReader(MediumReader&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      io_(other.io_),
      size_(other.size_),
      dev_(other.dev_),
      ino_(other.ino_) {}

MediumReader& MediumReader::operator=(MediumReader&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    io_ = other.io_;
    size_ = other.size_, dev_ = other.dev_, ino_ = other.ino_;
  }
  return *this;
}

MediumReader::~MediumReader() {
  if (fd_ >= 0) ::close(fd_);
}

Status MediumReader::Open(const std::filesystem::path& file, MediumIo& io) {
  if (fd_ >= 0) ::close(fd_), fd_ = -1;
  io_ = &io;
  if (file.empty()) return {Cause::OpenFailed, ENOENT};
  Fd fd(OpenMedium(file.c_str(), O_RDONLY));
  if (fd.get() < 0) return {Cause::OpenFailed, errno};
  struct stat st {};
  const long long size = MediumSize(fd.get());
  if (size < 0 || ::fstat(fd.get(), &st) != 0) return Status::FromErrno();
  const MediumId id = MediumIdOf(st);
  size_ = static_cast<std::uint64_t>(size), dev_ = id.dev, ino_ = id.ino;
  // The scan reads forward in large steps; the kernel may read ahead generously.
  ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  fd_ = fd.Release();
  return {};
}

Status MediumReader::Read(std::uint64_t offset, std::uint8_t* out, std::size_t length,
                          std::size_t* got) {
  *got = 0;
  if (fd_ < 0) return {Cause::OpenFailed, EBADF};
  if (offset >= size_) return {Cause::PastEnd, 0};
  if (length > size_ - offset) length = static_cast<std::size_t>(size_ - offset);
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n = io_->Pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Status::FromErrno();  // named by its own cause: EIO, ENOMEDIUM, ...
    }
    if (n == 0) break;  // the medium shrank under the scan
    done += static_cast<std::size_t>(n);
  }
  *got = done;
  return done == length ? Status{} : Status{Cause::ShortTransfer, 0};
}

}  // namespace dulvex::device
