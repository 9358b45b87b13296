#include "sectorio/sector_io.h"

#include <cerrno>
#include <string>

#include "base/version.h"
#include "device/medium_io.h"
#include "device/write_path.h"
#include "drives/drive_info.h"
#include "journal/journal.h"

namespace dulvex {

namespace {

constexpr const char* kOverwritingMbr =
    "OVERWRITING MBR, THIS VOLUME WILL BE REFORMATTED BEFORE REUSE IT, ARE YOU SURE?";

std::int32_t LoopCount(std::int64_t n) {
  return n >= 1 ? static_cast<std::int32_t>(n) : 0;
}

std::filesystem::path DeviceFile(WindowModel& model) {
  return device::DriveFile(model.state.drivesDir, model.state.DevicePath);
}

bool RefuseOutOfRange(WindowModel& model, std::int64_t n, const char* what) {
  if (InSectorRange(n)) return false;
  model.prompter().MessageBox(std::string(what) + " refused: " +
                                  OutOfSectorRange("sector number " + std::to_string(n)) + ".",
                              kStyleExclamation, AppTitle());
  return true;
}

std::string Where(const std::string& device, std::int64_t sector) {
  return "Device " + device + ", sector " + std::to_string(sector);
}

std::string Where(WindowModel& model, std::int64_t sector) {
  return Where(model.state.DevicePath, sector);
}

// "/dev/loop2 (mounted on /mnt/x; /dev/dm-0 is built on it)".
std::string DeviceUserText(const device::DeviceUser& u) {
  std::string about;
  for (const std::string& m : u.mountPoints)
    about += (about.empty() ? "" : "; ") + ("mounted on " + m);
  for (const std::string& h : u.holders)
    about += (about.empty() ? "" : "; ") + h + " is built on it";
  return about.empty() ? u.node : u.node + " (" + about + ")";
}

// "umount /mnt/x; losetup -d /dev/loop2".
std::string FreeingText(const std::vector<device::DeviceUser>& users, bool detach) {
  std::string text;
  for (const device::DeviceUser& u : users)
    for (const std::string& c : u.FreeingCommands(detach)) text += (text.empty() ? "" : "; ") + c;
  return text;
}

std::string LoopText(const device::WriteResult& r, const std::string& refused) {
  std::string devices;
  for (const device::DeviceUser& u : r.others)
    devices += (devices.empty() ? "" : ", ") + DeviceUserText(u);
  const bool one = r.others.size() == 1;
  const std::string them = one ? "it" : "them";
  const std::string device = one ? "the loop device " : "the loop devices ";
  std::string text =
      r.throughLoop
          ? refused + "it is a loop device over " + r.backingFile +
                ", and that file is attached to " + device + devices +
                " as well: a write here would go behind " + (one ? "its" : "their") + " back"
          : refused + "its image file is attached to " + device + devices +
                ": a write to the file would go behind " + (one ? "its" : "their") + " back";
  return text + ". Free " + them + " first (" + FreeingText(r.others, true) +
         "), then try again. Nothing was written.";
}

// Tells why a write did not happen, or did not end well.
void ReportWrite(WindowModel& model, const std::string& device, const std::filesystem::path& file,
                 std::int64_t sector, const device::WriteResult& r) {
  const std::string refused = "Write refused on " + Where(device, sector) + ": ";
  std::string text;
  int style = kStyleExclamation;
  switch (r.cause) {
    case Cause::Ok:
      if (r.logEnded) return;
      text = "Sector " + std::to_string(sector) + " of " + device +
             " was written and checked, but the write journal could not record that; the "
             "write is checked again when its medium is read next (at the latest at the next "
             "start).";
      break;
    case Cause::OpenFailed:
      text = "Errore nell'apertura del device " + device;
      style = kStyleOk;
      break;
    case Cause::Busy:
      text = refused + r.Describe();
      if (r.users.mountPoints.empty() && r.users.holders.empty()) {
        text += ". Unmount it first, then try again.";
      } else {
        text += ": " + DeviceUserText(r.users) + ". Free it first (" +
                FreeingText({r.users}, false) + "), then try again. Nothing was written.";
      }
      break;
    case Cause::LoopAttached:
      text = LoopText(r, refused);
      break;
    case Cause::Changed:
      text = refused +
             (r.lateChange ? "the sector changed just before the write, after the write "
                             "journal had recorded it ("
                           : "the sector changed since it was shown (") +
             std::to_string(r.differing) +
             " of 512 bytes differ: the medium was swapped or removed, or another program "
             "wrote to it). Nothing was written.";
      break;
    case Cause::JournalFailed:
      text = refused + r.detail + ". Without its journal record nothing is written.";
      break;
    case Cause::Mismatch:
      text = "THE DEVICE DID NOT KEEP WHAT WAS WRITTEN ON SECTOR " + std::to_string(sector) +
             ": READ BACK, " + std::to_string(r.differing) +
             " OF 512 BYTES DIFFER (THE FIRST AT OFFSET " + std::to_string(r.firstDiffering) +
             "). THE GRID SHOWS WHAT THE DEVICE HOLDS NOW.";
      style = kStyleCritical;
      break;
    default:
      if (r.cause == Cause::PermissionDenied && r.error == EACCES && !r.begun) {
        text = drives::DeniedAdvice(device, file, true);
        break;
      }
      text = r.outcome == device::Outcome::Unknown
                 ? "Write Error on " + Where(device, sector) + ": " + r.Describe() +
                       ". Whether the sector holds the new bytes cannot be told now: the write "
                       "journal keeps the write as unknown until its medium is read again."
                 : refused + r.Describe() + ". Nothing was written.";
  }
  if (r.begun && !r.logEnded && r.cause != Cause::Ok)
    text +=
        " The write journal could not record how the write ended; it is checked again when "
        "the medium is read next.";
  model.prompter().MessageBox(text, style, AppTitle());
}

// A device this account may not open: the message says why and how to get the rights,
// instead of a bare open error. True when it was shown.
bool ExplainDenied(WindowModel& model, const Status& r) {
  if (r.error != EACCES && r.error != EPERM) return false;
  model.prompter().MessageBox(
      drives::DeniedAdvice(model.state.DevicePath, DeviceFile(model), false), kStyleExclamation,
      AppTitle());
  return true;
}

}  // namespace

const std::string& AppTitle() {
  return AppVersion().title;
}

Status Leggi_MBR(WindowModel& model) {
  Status r =
      device::ReadSectorAt(DeviceFile(model), 0, model.state.BootSectorBuffer.data(), IoOf(model));
  if (r.cause == Cause::OpenFailed) {
    if (!ExplainDenied(model, r)) {
      model.prompter().MessageBox(model.state.DevicePath + " IS A BAD DEVICE/VOLUME.",
                                  kStyleExclamation, AppTitle());
    }
    return r;
  }
  if (!r.ok()) {
    model.prompter().MessageBox("Read Error on " + Where(model, 0) + ": " + r.Describe() + ".",
                                kStyleExclamation, AppTitle());
    return r;
  }
  // The medium behind the letter is bound and read: writes whose end could not be told
  // are settled now by what it holds.
  SettleRecordsOf(model, model.state.DevicePath);
  return r;
}

TransferResult ReadSector(WindowModel& model, std::int64_t n, SectorBytes& buffer) {
  if (RefuseOutOfRange(model, n, "Read")) return {};
  std::int64_t sector = n < 0 ? 0 : n;
  Status r = device::ReadSectorAt(DeviceFile(model), sector, buffer.data(), IoOf(model));
  if (r.cause == Cause::OpenFailed) {
    if (!ExplainDenied(model, r)) {
      model.prompter().MessageBox("Open Error on Device " + model.state.DevicePath, kStyleOk,
                                  AppTitle());
    }
    return {0, r};
  }
  if (!r.ok()) {
    model.prompter().MessageBox("Read Error on " + Where(model, sector) + ": " + r.Describe() + ".",
                                kStyleExclamation, AppTitle());
  }
  return {LoopCount(n), r};
}

TransferResult WriteSector(WindowModel& model, const std::string& device, std::int64_t n,
                           const SectorBytes& expected, const SectorBytes& source,
                           std::int64_t undoes) {
  ++model.state.writeAttempts;  // whatever happens next, what was read may be stale
  if (RefuseOutOfRange(model, n, "Write")) return {};
  const std::int64_t sector = n < 0 ? 0 : n;
  journal::JournalLog log(JournalOf(model), device, undoes);
  const auto file = device::DriveFile(model.state.drivesDir, device);
  const device::WriteResult r =
      device::WriteSectorChecked(file, sector, expected, source, log, IoOf(model));
  ReportWrite(model, device, file, sector, r);
  if (r.ok() && r.logEnded)
    model.Report("Sector " + std::to_string(sector) + " of " + device +
                 (undoes != 0 ? " written back (record " + std::to_string(undoes) + " undone)"
                              : " written") +
                 " and checked at the medium.");
  if (r.cause == Cause::OpenFailed) return {0, r};
  return {LoopCount(n), r};
}

GroupTransfer WriteSectorGroup(WindowModel& model, const std::string& device,
                               const std::string& title, const std::vector<SectorChange>& changes) {
  ++model.state.writeAttempts;
  GroupTransfer t;
  std::vector<device::GroupSector> sectors;
  std::vector<std::int64_t> undoes;
  for (const SectorChange& c : changes) {
    if (RefuseOutOfRange(model, c.sector, "Write")) return t;
    sectors.push_back({c.sector, c.before, c.after});
    undoes.push_back(c.undoes);
  }
  if (sectors.empty()) return t;
  journal::JournalGroupLog log(JournalOf(model), device, title, undoes);
  const auto file = device::DriveFile(model.state.drivesDir, device);
  const device::GroupWriteResult r =
      device::WriteSectorGroupChecked(file, sectors, log, IoOf(model));
  t.written = r.written;
  t.status = r.stop;
  if (r.begun) t.group = log.group().id, t.first = log.group().first;
  if (t.ok()) {
    model.Report(title + ": " + std::to_string(r.written) +
                 (r.written == 1 ? " sector of " : " sectors of ") + device +
                 " written and checked at the medium.");
    ReportWrite(model, device, file, r.stopSector, r.stop);  // an end the journal lost
    return t;
  }
  if (r.written > 0) {
    const auto list = [&](std::size_t from, std::size_t to) {
      std::string text = to - from == 1 ? "sector " : "sectors ";
      for (std::size_t i = from; i < to; ++i)
        text += (i == from ? "" : ", ") + std::to_string(sectors[i].sector);
      return text + (to - from == 1 ? " was" : " were");
    };
    model.prompter().MessageBox(title + " on " + device +
                                    " stopped part-way: " + list(0, r.written) + " written, " +
                                    list(r.written, sectors.size()) +
                                    " not. Undo Last Write takes the sectors written back.",
                                kStyleExclamation, AppTitle());
  }
  ReportWrite(model, device, file, r.stopSector, r.stop);
  return t;
}

bool ConfirmGroupWrite(WindowModel& model, const std::vector<std::int64_t>& sectors,
                       const std::string& lead) {
  bool zero = false;
  std::string list;
  constexpr std::size_t kListed = 12;
  for (std::size_t i = 0; i < sectors.size(); ++i) {
    zero = zero || sectors[i] <= 0;
    if (i < kListed) list += (i == 0 ? "" : ", ") + std::to_string(sectors[i]);
  }
  if (sectors.size() > kListed)
    list += " AND " + std::to_string(sectors.size() - kListed) + " MORE";
  if (zero && model.prompter().MessageBox(kOverwritingMbr, kStyleYesNo, AppTitle()) != kAnswerYes) {
    return false;
  }
  const std::string what = sectors.size() == 1 ? "SECTOR " : "SECTORS ";
  return model.prompter().MessageBox(lead + "OVERWRITING " + what + list + " , ARE YOU SURE?",
                                     kStyleYesNo, AppTitle()) == kAnswerYes;
}

bool ConfirmSectorWrite(WindowModel& model, std::int32_t s, const std::string& sectorText,
                        const std::string& lead) {
  if (s <= 0 &&
      model.prompter().MessageBox(kOverwritingMbr, kStyleYesNo, AppTitle()) != kAnswerYes) {
    return false;
  }
  return model.prompter().MessageBox(lead + "OVERWRITING SECTOR " + sectorText + " , ARE YOU SURE?",
                                     kStyleYesNo, AppTitle()) == kAnswerYes;
}

device::MediumIo& IoOf(WindowModel& model) {
  return model.state.io != nullptr ? *model.state.io : device::SystemIo();
}

Status ReadRecordSector(WindowModel& model, const journal::Record& r, bool anyLetter,
                        device::Sector* now) {
  std::string letters = r.device.size() == 2 ? r.device.substr(0, 1) : "";
  if (anyLetter)
    for (char c = 'A'; c <= 'R'; ++c)
      if (letters.find(c) == std::string::npos) letters += c;
  std::optional<Status> why;  // the first failure, or the record's own letter's
  for (char c : letters) {
    const auto file = device::DriveFile(model.state.drivesDir, std::string(1, c) + ":");
    const bool own = std::string(1, c) + ":" == r.device;
    device::MediumIdentity medium;
    Status io = device::IdentifyMedium(file, &medium);
    if (io.ok() && !medium.SameAs(r.medium)) {
      if (!why && own)
        why = Status(Cause::OpenFailed, 0,
                     "the letter now leads to another medium (written: " + r.medium.Describe() +
                         "; now: " + medium.Describe() + ")");
      continue;
    }
    if (io.ok()) io = device::ReadSectorAt(file, r.sector, now->data(), IoOf(model));
    if (io.ok()) return io;
    if (!why || own) why = Status(io.cause, io.error, io.Describe());
  }
  return why.value_or(Status(Cause::OpenFailed, 0, "no drive letter leads to its medium"));
}

void SettleRecordsOf(WindowModel& model, const std::string& device) {
  journal::Journal& j = JournalOf(model);
  std::vector<journal::Record> open;
  if (!j.Unsettled(&open).ok() || open.empty()) return;
  device::MediumIdentity medium;
  if (!device::IdentifyMedium(device::DriveFile(model.state.drivesDir, device), &medium).ok())
    return;
  for (const journal::Record& r : open) {
    // Another window's write in progress is that window's to settle.
    if (r.damaged() || !r.medium.SameAs(medium) ||
        (r.state == journal::State::Pending && r.owner.Alive() &&
         r.owner != journal::Owner::Self()))
      continue;
    device::Sector now{};
    if (!ReadRecordSector(model, r, true, &now).ok()) continue;
    const journal::Settled s = journal::SettleBySector(r, now);
    if (s.state != r.state) j.Finish(r.id, s.state, s.cause);
  }
}

journal::Journal& JournalOf(WindowModel& model) {
  std::shared_ptr<journal::Journal>& j = model.state.journal;
  if (!j || j->file() != model.state.journalFile)
    j = std::make_shared<journal::Journal>(model.state.journalFile);
  return *j;
}

}  // namespace dulvex
