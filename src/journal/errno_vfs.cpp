#include "journal/errno_vfs.h"

#include <sqlite3.h>

#include <cerrno>

namespace dulvex::journal {

namespace {

thread_local int lastErrno = 0;
sqlite3_vfs* system = nullptr;

// A file of the layer: this header, then the system's file.
struct File {
  sqlite3_file base;
  sqlite3_file* real;
};

sqlite3_file* Real(sqlite3_file* f) {
  return reinterpret_cast<File*>(f)->real;
}

// Keeps the errno of a failed operation. Waiting for a lock and a read past the end are no
// failures of the system.
int Kept(sqlite3_file* real, int rc) {
  const int primary = rc & 0xFF;
  if (rc == SQLITE_OK || rc == SQLITE_IOERR_SHORT_READ || rc == SQLITE_NOTFOUND ||
      primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
    return rc;
  int e = 0;
  if (real->pMethods == nullptr ||
      real->pMethods->xFileControl(real, SQLITE_FCNTL_LAST_ERRNO, &e) != SQLITE_OK || e == 0)
    e = errno;
  if (e != 0) lastErrno = e;
  return rc;
}

#define FORWARD(call) Kept(Real(f), Real(f)->pMethods->call)

int Close(sqlite3_file* f) {
  return FORWARD(xClose(Real(f)));
}
int Read(sqlite3_file* f, void* b, int n, sqlite3_int64 at) {
  return FORWARD(xRead(Real(f), b, n, at));
}
int Write(sqlite3_file* f, const void* b, int n, sqlite3_int64 at) {
  return FORWARD(xWrite(Real(f), b, n, at));
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) {
  return FORWARD(xTruncate(Real(f), size));
}
int Sync(sqlite3_file* f, int flags) {
  return FORWARD(xSync(Real(f), flags));
}
int FileSize(sqlite3_file* f, sqlite3_int64* size) {
  return FORWARD(xFileSize(Real(f), size));
}
int Lock(sqlite3_file* f, int level) {
  return FORWARD(xLock(Real(f), level));
}
int Unlock(sqlite3_file* f, int level) {
  return FORWARD(xUnlock(Real(f), level));
}
int CheckReservedLock(sqlite3_file* f, int* out) {
  return FORWARD(xCheckReservedLock(Real(f), out));
}
int FileControl(sqlite3_file* f, int op, void* arg) {
  return Real(f)->pMethods->xFileControl(Real(f), op, arg);
}
int SectorSize(sqlite3_file* f) {
  return Real(f)->pMethods->xSectorSize(Real(f));
}
int DeviceCharacteristics(sqlite3_file* f) {
  return Real(f)->pMethods->xDeviceCharacteristics(Real(f));
}
int ShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
  return FORWARD(xShmMap(Real(f), region, size, extend, out));
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
  return FORWARD(xShmLock(Real(f), offset, n, flags));
}
void ShmBarrier(sqlite3_file* f) {
  Real(f)->pMethods->xShmBarrier(Real(f));
}
int ShmUnmap(sqlite3_file* f, int deleteFlag) {
  return FORWARD(xShmUnmap(Real(f), deleteFlag));
}
int Fetch(sqlite3_file* f, sqlite3_int64 at, int n, void** out) {
  return FORWARD(xFetch(Real(f), at, n, out));
}
int Unfetch(sqlite3_file* f, sqlite3_int64 at, void* p) {
  return FORWARD(xUnfetch(Real(f), at, p));
}

#undef FORWARD

// The layer's methods for each version of the system's: only what the system's file has.
sqlite3_io_methods MethodsOfVersion(int version) {
  sqlite3_io_methods m{};
  m.iVersion = version;
  m.xClose = Close, m.xRead = Read, m.xWrite = Write, m.xTruncate = Truncate, m.xSync = Sync;
  m.xFileSize = FileSize, m.xLock = Lock, m.xUnlock = Unlock;
  m.xCheckReservedLock = CheckReservedLock, m.xFileControl = FileControl;
  m.xSectorSize = SectorSize, m.xDeviceCharacteristics = DeviceCharacteristics;
  if (version >= 2) m.xShmMap = ShmMap, m.xShmLock = ShmLock, m.xShmBarrier = ShmBarrier;
  if (version >= 2) m.xShmUnmap = ShmUnmap;
  if (version >= 3) m.xFetch = Fetch, m.xUnfetch = Unfetch;
  return m;
}

const sqlite3_io_methods kMethods[] = {MethodsOfVersion(1), MethodsOfVersion(2),
                                       MethodsOfVersion(3)};

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
  File* file = reinterpret_cast<File*>(f);
  file->real = reinterpret_cast<sqlite3_file*>(file + 1);
  file->real->pMethods = nullptr;
  errno = 0;
  const int rc = system->xOpen(system, name, file->real, flags, outFlags);
  if (rc != SQLITE_OK && errno != 0) lastErrno = errno;
  // A file the system opened is closed through the layer, even after a failure.
  const sqlite3_io_methods* real = file->real->pMethods;
  f->pMethods = real == nullptr ? nullptr : &kMethods[real->iVersion >= 3 ? 2 : real->iVersion - 1];
  return rc;
}

sqlite3_vfs* Register() {
  static sqlite3_vfs layer = [] {
    sqlite3_initialize();
    system = sqlite3_vfs_find(nullptr);
    sqlite3_vfs v = *system;
    v.zName = "dulvex-errno";
    v.pNext = nullptr;
    v.szOsFile = static_cast<int>(sizeof(File)) + system->szOsFile;
    v.xOpen = Open;
    return v;
  }();
  static const int registered = sqlite3_vfs_register(&layer, 0);
  (void)registered;
  return &layer;
}

}  // namespace

const char* ErrnoVfsName() {
  return Register()->zName;
}

int LastVfsErrno() {
  return lastErrno;
}

void ClearVfsErrno() {
  lastErrno = 0;
}

}  // namespace dulvex::journal
