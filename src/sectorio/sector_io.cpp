#include "sectorio/sector_io.h"

#include <cerrno>
#include <string>

#include "base/version.h"
#include "device/write_path.h"
#include "drives/drive_info.h"
#include "journal/journal.h"

namespace dulvex {

namespace {

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

// Tells why a write did not happen, or did not end well.
void ReportWrite(WindowModel& model, const std::string& device, const std::filesystem::path& file,
                 std::int64_t sector, const device::WriteResult& r) {
  using device::IoStatus;
  const std::string refused = "Write refused on " + Where(device, sector) + ": ";
  std::string text;
  int style = kStyleExclamation;
  switch (r.status) {
    case IoStatus::Ok:
      if (r.logEnded) return;
      text = "Sector " + std::to_string(sector) + " of " + device +
             " was written and checked, but the write journal could not record that; the "
             "write will be checked at the next start.";
      break;
    case IoStatus::OpenFailed:
      text = "Errore nell'apertura del device " + device;
      style = kStyleOk;
      break;
    case IoStatus::Busy:
      text = refused + r.Describe() + ". Unmount it first, then try again.";
      break;
    case IoStatus::LoopAttached: {
      std::string loops;
      for (const std::string& l : r.loops) loops += (loops.empty() ? "" : ", ") + l;
      text = refused + "its image file is attached to the loop device " + loops +
             ". Unmount and detach it first (umount, then losetup -d " + r.loops.front() +
             "), then try again. Nothing was written.";
      break;
    }
    case IoStatus::Changed:
      text = refused + "the sector changed since it was shown (" + std::to_string(r.differing) +
             " of 512 bytes differ: the medium was swapped or removed, or another program "
             "wrote to it). Nothing was written.";
      break;
    case IoStatus::JournalFailed:
      text = refused + r.journalProblem + ". Without its journal record nothing is written.";
      break;
    case IoStatus::Mismatch:
      text = "THE DEVICE DID NOT KEEP WHAT WAS WRITTEN ON SECTOR " + std::to_string(sector) +
             ": READ BACK, " + std::to_string(r.differing) +
             " OF 512 BYTES DIFFER (THE FIRST AT OFFSET " + std::to_string(r.firstDiffering) +
             "). THE GRID SHOWS WHAT THE DEVICE HOLDS NOW.";
      style = kStyleCritical;
      break;
    default:
      if (r.status == IoStatus::PermissionDenied && r.error == EACCES) {
        text = drives::DeniedAdvice(device, file, true);
        break;
      }
      text = r.begun ? "Write Error on " + Where(device, sector) + ": " + r.Describe() +
                           ". The sector may not hold what was meant."
                     : refused + r.Describe() + ". Nothing was written.";
  }
  model.prompter().MessageBox(text, style, AppTitle());
}

// A device this account may not open: the message says why and how to get the rights,
// instead of a bare open error. True when it was shown.
bool ExplainDenied(WindowModel& model, const device::IoResult& r) {
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

bool Leggi_MBR(WindowModel& model) {
  device::IoResult r =
      device::ReadSectorAt(DeviceFile(model), 0, model.state.BootSectorBuffer.data());
  if (r.status == device::IoStatus::OpenFailed) {
    if (!ExplainDenied(model, r)) {
      model.prompter().MessageBox(model.state.DevicePath + " IS A BAD DEVICE/VOLUME.",
                                  kStyleExclamation, AppTitle());
    }
    return false;
  }
  if (!r.ok()) {
    model.prompter().MessageBox("Read Error on " + Where(model, 0) + ": " + r.Describe() + ".",
                                kStyleExclamation, AppTitle());
    return false;
  }
  return true;
}

TransferResult ReadSector(WindowModel& model, std::int64_t n, SectorBytes& buffer) {
  if (RefuseOutOfRange(model, n, "Read")) return {};
  std::int64_t sector = n < 0 ? 0 : n;
  device::IoResult r = device::ReadSectorAt(DeviceFile(model), sector, buffer.data());
  if (r.status == device::IoStatus::OpenFailed) {
    if (!ExplainDenied(model, r)) {
      model.prompter().MessageBox("Open Error on Device " + model.state.DevicePath, kStyleOk,
                                  AppTitle());
    }
    return {0, false, r.status};
  }
  if (!r.ok()) {
    model.prompter().MessageBox("Read Error on " + Where(model, sector) + ": " + r.Describe() + ".",
                                kStyleExclamation, AppTitle());
    return {LoopCount(n), false, r.status};
  }
  return {LoopCount(n), true, r.status};
}

TransferResult WriteSector(WindowModel& model, const std::string& device, std::int64_t n,
                           const SectorBytes& expected, const SectorBytes& source,
                           std::int64_t undoes) {
  ++model.state.writeAttempts;  // whatever happens next, what was read may be stale
  if (RefuseOutOfRange(model, n, "Write")) return {};
  const std::int64_t sector = n < 0 ? 0 : n;
  journal::JournalLog log(JournalOf(model), device, undoes);
  const auto file = device::DriveFile(model.state.drivesDir, device);
  const device::WriteResult r = device::WriteSectorChecked(file, sector, expected, source, log);
  ReportWrite(model, device, file, sector, r);
  if (r.status == device::IoStatus::OpenFailed) return {0, false, r.status};
  return {LoopCount(n), r.ok(), r.status};
}

bool ConfirmSectorWrite(WindowModel& model, std::int32_t s, const std::string& sectorText) {
  if (s <= 0 &&
      model.prompter().MessageBox(
          "OVERWRITING MBR, THIS VOLUME WILL BE REFORMATTED BEFORE REUSE IT, ARE YOU SURE?",
          kStyleYesNo, AppTitle()) != kAnswerYes) {
    return false;
  }
  return model.prompter().MessageBox("OVERWRITING SECTOR " + sectorText + " , ARE YOU SURE?",
                                     kStyleYesNo, AppTitle()) == kAnswerYes;
}

journal::Journal& JournalOf(WindowModel& model) {
  std::shared_ptr<journal::Journal>& j = model.state.journal;
  if (!j || j->file() != model.state.journalFile)
    j = std::make_shared<journal::Journal>(model.state.journalFile);
  return *j;
}

}  // namespace dulvex
