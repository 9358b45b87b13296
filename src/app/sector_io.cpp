#include "app/sector_io.h"

#include <cerrno>
#include <string>

#include "app/version.h"
#include "device/sector_device.h"
#include "drives/drive_info.h"

namespace dulvex {

namespace {

constexpr std::int64_t kLowestSector = -2147483647;
constexpr std::int64_t kHighestSector = 2147483647;

std::int32_t LoopCount(std::int64_t n) {
  return n >= 1 ? static_cast<std::int32_t>(n) : 0;
}

std::filesystem::path DeviceFile(WindowModel& model) {
  return device::DriveFile(model.state.drivesDir, model.state.DevicePath);
}

bool RefuseOutOfRange(WindowModel& model, std::int64_t n, const char* what) {
  if (n >= kLowestSector && n <= kHighestSector) return false;
  model.prompter().MessageBox(std::string(what) + " refused: sector number " + std::to_string(n) +
                                  " is out of range (sector numbers go from -2147483647 to "
                                  "2147483647).",
                              kStyleExclamation, AppTitle());
  return true;
}

std::string Where(WindowModel& model, std::int64_t sector) {
  return "Device " + model.state.DevicePath + ", sector " + std::to_string(sector);
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
    return {};
  }
  if (!r.ok()) {
    model.prompter().MessageBox("Read Error on " + Where(model, sector) + ": " + r.Describe() + ".",
                                kStyleExclamation, AppTitle());
    return {LoopCount(n), false};
  }
  return {LoopCount(n), true};
}

TransferResult WriteSector(WindowModel& model, std::int64_t n, const SectorBytes& source) {
  if (RefuseOutOfRange(model, n, "Write")) return {};
  std::int64_t sector = n < 0 ? 0 : n;
  device::IoResult r = device::WriteSectorAt(DeviceFile(model), sector, source.data());
  switch (r.status) {
    case device::IoStatus::Ok:
      return {LoopCount(n), true};
    case device::IoStatus::OpenFailed:
      model.prompter().MessageBox("Errore nell'apertura del device " + model.state.DevicePath,
                                  kStyleOk, AppTitle());
      return {};
    case device::IoStatus::Busy:
      model.prompter().MessageBox("Write refused on " + Where(model, sector) +
                                      ": the device is in use by a mounted file system or "
                                      "another program. Unmount it first, then try again.",
                                  kStyleExclamation, AppTitle());
      return {};
    case device::IoStatus::PastEnd:
      model.prompter().MessageBox("Write refused on " + Where(model, sector) +
                                      ": the sector lies past the end of the medium. Nothing "
                                      "was written.",
                                  kStyleExclamation, AppTitle());
      return {LoopCount(n), false};
    default:
      model.prompter().MessageBox("Write Error on " + Where(model, sector) + ": " + r.Describe() +
                                      ". The sector may not hold what was meant.",
                                  kStyleExclamation, AppTitle());
      return {LoopCount(n), false};
  }
}

}  // namespace dulvex
