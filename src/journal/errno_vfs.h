// The system's SQLite file layer (VFS) with one thing added: it keeps the errno of the last
// file operation that failed in this thread. SQLite reports most failures of the system by a
// code of its own ("disk I/O error" for a flush that found no space), so without it a journal
// failure could not be named by its cause.
#pragma once

namespace dulvex::journal {

// The name to open a database with; the layer is registered at the first call.
const char* ErrnoVfsName();
// The errno of the last failure since ClearVfsErrno() in this thread, 0 when none.
int LastVfsErrno();
void ClearVfsErrno();

}  // namespace dulvex::journal
