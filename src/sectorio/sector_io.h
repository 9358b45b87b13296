// The three sector routines of the program: read sector 0 for the boot-sector refresh,
// read sector N, write sector N. Each reports its own failures in a message box and tells
// its caller whether the transfer really happened.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/window_model.h"
#include "device/sector_device.h"
#include "device/write_path.h"

namespace dulvex {

namespace journal {
class Journal;
struct Record;
}  // namespace journal

struct TransferResult {
  // N for N >= 1, 0 for N <= 0, and 0 when the device could not be opened.
  std::int32_t count = 0;
  // Ok only when all 512 bytes were read, or written, made durable and found at the medium.
  Status status{Cause::Refused};
  bool ok() const { return status.ok(); }
};

// Reads sector 0 of DevicePath into BootSectorBuffer. On failure the buffer is left as it
// was and the reason has been shown.
Status Leggi_MBR(WindowModel& model);

// Reads sector n (n <= 0 reads sector 0) into `buffer`. On failure the buffer is left as
// it was and the reason has been shown. Numbers outside -2,147,483,647 to 2,147,483,647
// are refused with a message before any device is opened.
TransferResult ReadSector(WindowModel& model, std::int64_t n, SectorBytes& buffer);

// Writes `source` over sector n (n <= 0 writes sector 0) of `device` ("A:" ... "R:"), down
// the one write path and through the write journal, when the sector still holds `expected`
// at the medium. Refuses numbers out of range, a medium that changed, an image under a loop
// device, a busy block device and a journal that cannot record the write, and reports every
// failure with its cause. `undoes` names the journal record this write reverts (0: none).
TransferResult WriteSector(WindowModel& model, const std::string& device, std::int64_t n,
                           const SectorBytes& expected, const SectorBytes& source,
                           std::int64_t undoes = 0);

// One sector of a group write: the bytes it must hold at the medium, and those to write.
struct SectorChange {
  std::int64_t sector = 0;
  SectorBytes before{}, after{};
  std::int64_t undoes = 0;  // the journal record this write reverts (0: none)
};

struct GroupTransfer {
  Status status{Cause::Refused};  // ok when every sector was written, made durable and found
  bool ok() const { return status.ok(); }
  std::size_t written = 0;  // sectors written, from the first in order
  std::int64_t group = 0;   // the journal's group (0 when none was recorded)
  std::int64_t first = 0;   // ... and the id of its first record
};

// Writes the sectors in the order given down the one write path as one group of the write
// journal titled `title`: the medium held and guarded once, every sector checked to hold its
// bytes before, the group recorded before the first sector is written. Stops at the first
// failure and reports it with its cause (and which sectors were written before it).
GroupTransfer WriteSectorGroup(WindowModel& model, const std::string& device,
                               const std::string& title, const std::vector<SectorChange>& changes);

// Asks before a group write over `sectors`, led by `lead` (what the write is): whether to
// overwrite the master boot record when sector 0 is among them, then whether to overwrite the
// sectors. True when every answer was Yes.
bool ConfirmGroupWrite(WindowModel& model, const std::vector<std::int64_t>& sectors,
                       const std::string& lead);

// Asks before a write over sector s, named `sectorText` as the sector box shows it: first
// whether to overwrite the master boot record when s <= 0, then whether to overwrite the
// sector, that question led by `lead` (what the write is, when it is not a paste). True when
// every answer was Yes.
bool ConfirmSectorWrite(WindowModel& model, std::int32_t s, const std::string& sectorText,
                        const std::string& lead = "");

// The write journal at state.journalFile, made ready for use (not yet opened).
journal::Journal& JournalOf(WindowModel& model);

// The calls that reach the media: state.io, or the system's when none is set.
device::MediumIo& IoOf(WindowModel& model);

// The sector of record `r` as its medium holds it now, read through the record's letter when
// it still leads to that medium, or (with `anyLetter`) through any letter that does. Not ok,
// with the reason, when none does or the read fails. Shows nothing.
Status ReadRecordSector(WindowModel& model, const journal::Record& r, bool anyLetter,
                        device::Sector* now);

// Settles, by what the medium holds, every record whose end is open (pending after a stop,
// or unknown) and whose medium is the one behind `device`; another window's write in
// progress is left alone.
void SettleRecordsOf(WindowModel& model, const std::string& device);

// The application's title, for message boxes.
const std::string& AppTitle();

}  // namespace dulvex
