#include "device/write_path.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "device/posix_io.h"

namespace dulvex::device {

namespace {

// The unit of O_DIRECT transfers: a block device's logical block, an image's file-system
// block (a multiple of the logical block of the disk below).
std::size_t DirectUnit(int fd, const struct stat& st) {
  int logical = 0;
  if (S_ISBLK(st.st_mode) && ::ioctl(fd, BLKSSZGET, &logical) == 0 && logical > 0)
    return static_cast<std::size_t>(logical);
  const auto b = static_cast<std::size_t>(st.st_blksize);
  const bool powerOfTwo = b >= kSectorSize && b <= 65536 && (b & (b - 1)) == 0;
  return powerOfTwo ? b : kSectorSize;
}

// O_DIRECT on or off for `fd`; false when the file system refuses it.
bool SetDirect(int fd, bool on) {
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, on ? flags | O_DIRECT : flags & ~O_DIRECT) == 0;
}

// Reads the sector at `offset` as the medium holds it, not as the page cache remembers it:
// the aligned window around it with O_DIRECT, or, where O_DIRECT is refused, after dropping
// the cached pages.
Status ReadAtMedium(MediumIo& io, int fd, off_t offset, Sector& out, ReadBack* how) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return Status::FromErrno();
  const std::size_t unit = DirectUnit(fd, st);
  const off_t start = offset - offset % static_cast<off_t>(unit);
  const auto at = static_cast<std::size_t>(offset - start);
  if (SetDirect(fd, true)) {
    std::unique_ptr<std::uint8_t, decltype(&std::free)> window(
        static_cast<std::uint8_t*>(std::aligned_alloc(unit, unit)), &std::free);
    const ssize_t n = window ? PreadAll(io, fd, window.get(), unit, start) : -1;
    const int error = errno;
    SetDirect(fd, false);
    if (n >= static_cast<ssize_t>(at + kSectorSize)) {
      std::memcpy(out.data(), window.get() + at, kSectorSize);
      *how = ReadBack::Direct;
      return {};
    }
    if (n >= 0) return {n <= static_cast<ssize_t>(at) ? Cause::PastEnd : Cause::ShortTransfer};
    if (error != EINVAL) return {CauseOfErrno(error), error};
    // EINVAL: the alignment was not what the medium wants; read as below.
  }
  ::posix_fadvise(fd, start, static_cast<off_t>(unit), POSIX_FADV_DONTNEED);
  const ssize_t n = PreadAll(io, fd, out.data(), kSectorSize, offset);
  if (n < 0) return Status::FromErrno();
  if (n < static_cast<ssize_t>(kSectorSize)) return {Cause::ShortTransfer};
  *how = ReadBack::CacheDropped;
  return {};
}

// How many bytes differ, and where the first one lies.
void Compare(const Sector& a, const Sector& b, WriteResult* r) {
  r->differing = 0;
  r->firstDiffering = -1;
  for (std::size_t i = 0; i < kSectorSize; ++i) {
    if (a[i] == b[i]) continue;
    if (r->firstDiffering < 0) r->firstDiffering = static_cast<int>(i);
    ++r->differing;
  }
}

WriteResult Failure(Cause cause, int error = 0) {
  WriteResult r;
  r.cause = cause;
  r.error = error;
  return r;
}

// The write refused because its log could not record it first; the log's words name why.
WriteResult NotLogged(const Status& logged) {
  WriteResult r = Failure(Cause::JournalFailed, logged.error);
  r.detail = logged.Describe();
  return r;
}

WriteResult FromErrno() {
  const int error = errno;
  return Failure(CauseOfErrno(error), error);
}

// Opens the medium read-write and holds it: a block device exclusively, an image file under
// an advisory lock that a second window of the program waits for in vain.
WriteResult OpenAndHold(const std::filesystem::path& file, int* out) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return FromErrno();
  const bool block = S_ISBLK(st.st_mode);
  // The kernel refuses an exclusive open while a mounted file system or another exclusive
  // user holds the device, so a write never goes behind a file system's back.
  Fd fd(OpenMedium(file.c_str(), O_RDWR | (block ? O_EXCL : 0)));
  if (fd.get() < 0) {
    WriteResult r = FromErrno();
    if (block && r.error == EBUSY) r.users = UsersOfDevice(st.st_rdev);
    return r;
  }
  if (::fstat(fd.get(), &st) != 0) return FromErrno();
  if (S_ISREG(st.st_mode) && ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
    return errno == EWOULDBLOCK ? Failure(Cause::Locked, EWOULDBLOCK) : FromErrno();
  *out = fd.Release();
  return {};
}

// Refuses a read-only device and a medium whose bytes another device reaches as well.
WriteResult Guard(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return FromErrno();
  WriteResult r = Failure(Cause::LoopAttached);
  if (S_ISBLK(st.st_mode)) {
    int readOnly = 0;
    if (::ioctl(fd, BLKROGET, &readOnly) == 0 && readOnly != 0)
      return Failure(Cause::ReadOnlyDevice, EROFS);
    // A loop device (or a partition of one): any other loop device over its file.
    std::uint64_t dev = 0, ino = 0, loop = 0;
    if (!LoopBackingFile(st.st_rdev, &dev, &ino, &loop, &r.backingFile)) return {};
    r.throughLoop = true;
    r.others = LoopDevicesOver(dev, ino, loop);
  } else {
    r.others = LoopDevicesOver(st.st_dev, st.st_ino);
  }
  return r.others.empty() ? WriteResult{} : r;
}

// Once the log holds the record: the late check, then write, flush, read back, compare.
WriteResult WriteAndCheck(MediumIo& io, int fd, off_t offset, const Sector& expected,
                          const Sector& data) {
  WriteResult r;
  Sector now{};
  static_cast<Status&>(r) = ReadAtMedium(io, fd, offset, now, &r.readBack);
  if (!r.ok()) return r;  // nothing written
  Compare(now, expected, &r);
  if (r.differing != 0) {
    r.cause = Cause::Changed;
    r.lateChange = true;
    return r;
  }
  r = {};
  std::size_t moved = 0;
  const ssize_t n = PwriteAll(io, fd, data.data(), kSectorSize, offset, &moved);
  if (n < static_cast<ssize_t>(kSectorSize)) {
    r = n < 0 ? FromErrno() : Failure(Cause::ShortTransfer);
    // A call that failed moved nothing; a part that moved leaves the sector in between.
    r.outcome = moved == 0 ? Outcome::NotWritten : Outcome::Unknown;
    return r;
  }
  // The medium's size never changes, so the data alone is flushed (with the disk's cache).
  int rc;
  do {
    rc = io.Fdatasync(fd);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    // The bytes went to the cache; whether the medium kept them cannot be told.
    r = FromErrno();
    r.outcome = Outcome::Unknown;
    return r;
  }
  Sector back{};
  static_cast<Status&>(r) = ReadAtMedium(io, fd, offset, back, &r.readBack);
  if (!r.ok()) {
    r.outcome = Outcome::Unknown;
    return r;
  }
  Compare(back, data, &r);
  r.cause = r.differing != 0 ? Cause::Mismatch : Cause::Ok;
  r.outcome = r.differing != 0 ? Outcome::Failed : Outcome::Written;
  return r;
}

}  // namespace

const char* ReadBackName(ReadBack how) {
  switch (how) {
    case ReadBack::Direct:
      return "read back with O_DIRECT";
    case ReadBack::CacheDropped:
      return "read back after dropping the page cache";
    case ReadBack::None:
      break;
  }
  return "not read back";
}

WriteResult WriteSectorChecked(const std::filesystem::path& file, std::int64_t sector,
                               const Sector& expected, const Sector& data, WriteLog& log,
                               MediumIo& io) {
  off_t offset = 0;
  if (!SectorOffset(sector, &offset)) return Failure(Cause::PastEnd);
  if (file.empty()) return Failure(Cause::OpenFailed, ENOENT);
  int held = -1;
  if (WriteResult r = OpenAndHold(file, &held); !r.ok()) return r;
  Fd fd(held);
  if (WriteResult r = Guard(fd.get()); !r.ok()) return r;
  const long long size = MediumSize(fd.get());
  if (size < 0) return FromErrno();
  if (offset + static_cast<long long>(kSectorSize) > size) return Failure(Cause::PastEnd);

  // A first check before anything is recorded: a medium swapped or changed is refused at
  // once, without a record.
  Sector before{};
  WriteResult r;
  static_cast<Status&>(r) = ReadAtMedium(io, fd.get(), offset, before, &r.readBack);
  if (!r.ok()) return r;
  Compare(before, expected, &r);
  if (r.differing != 0) {
    r.cause = Cause::Changed;
    return r;
  }

  const MediumIdentity medium = IdentityOf(fd.get());
  const std::string target = DescribeTarget(file, medium);
  if (Status logged = log.Begin({file, medium, target, sector, before, data}); !logged.ok())
    return NotLogged(logged);
  r = WriteAndCheck(io, fd.get(), offset, expected, data);
  if (!fd.Close() && r.outcome == Outcome::Written) {
    r = FromErrno();
    r.outcome = Outcome::Unknown;
  }
  r.begun = true;
  r.logEnded = log.End(r);
  return r;
}

GroupWriteResult WriteSectorGroupChecked(const std::filesystem::path& file,
                                         const std::vector<GroupSector>& sectors,
                                         GroupWriteLog& log, MediumIo& io) {
  GroupWriteResult g;
  const auto fail = [&](WriteResult r, std::int64_t sector) {
    g.stop = std::move(r);
    g.stopSector = sector;
    return g;
  };
  const std::int64_t first = sectors.empty() ? 0 : sectors.front().sector;
  std::vector<off_t> offsets(sectors.size());
  for (std::size_t i = 0; i < sectors.size(); ++i)
    if (!SectorOffset(sectors[i].sector, &offsets[i]))
      return fail(Failure(Cause::PastEnd), sectors[i].sector);
  if (file.empty()) return fail(Failure(Cause::OpenFailed, ENOENT), first);
  int held = -1;
  if (WriteResult r = OpenAndHold(file, &held); !r.ok()) return fail(r, first);
  Fd fd(held);
  if (WriteResult r = Guard(fd.get()); !r.ok()) return fail(r, first);
  const long long size = MediumSize(fd.get());
  if (size < 0) return fail(FromErrno(), first);
  // Every sector inside the medium and holding what the caller read, before any record.
  std::vector<Sector> before(sectors.size());
  for (std::size_t i = 0; i < sectors.size(); ++i) {
    if (offsets[i] + static_cast<long long>(kSectorSize) > size)
      return fail(Failure(Cause::PastEnd), sectors[i].sector);
    WriteResult r;
    static_cast<Status&>(r) = ReadAtMedium(io, fd.get(), offsets[i], before[i], &r.readBack);
    if (r.ok()) Compare(before[i], sectors[i].expected, &r);
    if (r.ok() && r.differing != 0) r.cause = Cause::Changed;
    if (!r.ok()) return fail(r, sectors[i].sector);
  }
  const MediumIdentity medium = IdentityOf(fd.get());
  const std::string target = DescribeTarget(file, medium);
  std::vector<PendingWrite> pending;
  pending.reserve(sectors.size());
  for (std::size_t i = 0; i < sectors.size(); ++i)
    pending.push_back({file, medium, target, sectors[i].sector, before[i], sectors[i].data});
  if (Status logged = log.Begin(pending); !logged.ok()) return fail(NotLogged(logged), first);
  g.begun = true;
  for (std::size_t i = 0; i < sectors.size(); ++i) {
    WriteResult r = WriteAndCheck(io, fd.get(), offsets[i], sectors[i].expected, sectors[i].data);
    r.begun = true;
    r.logEnded = log.End(i, r);
    if (!r.ok()) {
      for (std::size_t rest = i + 1; rest < sectors.size(); ++rest)
        log.Skip(rest, sectors[i].sector, r);
      return fail(r, sectors[i].sector);
    }
    ++g.written;
  }
  return g;
}

}  // namespace dulvex::device
