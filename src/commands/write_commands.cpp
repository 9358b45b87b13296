#include "commands/write_commands.h"

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>

#include "device/host_file.h"
#include "device/medium_identity.h"
#include "journal/history.h"
#include "journal/journal.h"
#include "sectorio/sector_io.h"
#include "view/sector_view.h"
#include "volume/volume_menu.h"

namespace dulvex {

namespace {

using journal::Record;
using journal::State;

void Tell(WindowModel& model, const std::string& text, int style = kStyleExclamation) {
  model.prompter().MessageBox(text, style, AppTitle());
}

int Differing(const device::Sector& a, const device::Sector& b) {
  int n = 0;
  for (std::size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
  return n;
}

// What the medium behind the record's letter holds in its sector now. False (with the reason
// in *why) when the letter no longer reaches that medium or the sector cannot be read.
bool ReadRecordSector(WindowModel& model, const Record& r, device::Sector* now, std::string* why) {
  const auto file = device::DriveFile(model.state.drivesDir, r.device);
  device::MediumIdentity medium;
  device::IoResult io = device::IdentifyMedium(file, &medium);
  if (io.ok() && !medium.SameAs(r.medium)) {
    *why = "the letter now leads to another medium (written: " + r.medium.Describe() +
           "; now: " + medium.Describe() + ")";
    return false;
  }
  if (io.ok()) io = device::ReadSectorAt(file, r.sector, now->data());
  if (!io.ok()) *why = io.Describe();
  return io.ok();
}

// Writes the record's bytes from before back, as a new record that names it. `what` is the
// command, "Undo" or "Revert".
void Revert(WindowModel& model, const Record& r, const std::string& what) {
  const std::string refused =
      what + " refused on Device " + r.device + ", sector " + std::to_string(r.sector) + ": ";
  device::Sector now{};
  std::string why;
  if (!ReadRecordSector(model, r, &now, &why))
    return Tell(model, refused + why + ". Nothing was written.");
  if (now != r.after) {
    return Tell(model, refused + "the sector no longer holds the bytes written at " +
                           journal::TimeText(r.timeMs) + " (" +
                           std::to_string(Differing(now, r.after)) +
                           " of 512 bytes differ). Nothing was written.");
  }
  const auto s = static_cast<std::int32_t>(r.sector);
  if (!ConfirmSectorWrite(model, s, std::to_string(s))) return;
  WriteSector(model, r.device, r.sector, r.after, r.before, r.id);
  if (r.device != model.state.DevicePath) return;
  model.SetText(model.At(kSectorBox), std::to_string(r.sector));
  ShowSector(model);
}

// What became of an interrupted write, found at start: a line for the user, and the state
// and cause the record takes.
struct Found {
  std::string line;
  State state;
  std::string cause;
};

Found Inspect(WindowModel& model, const Record& r) {
  device::Sector now{};
  std::string why;
  if (!ReadRecordSector(model, r, &now, &why)) {
    return {"it cannot be told: " + why + ".", State::Failed,
            "interrupted; at the next start the sector could not be checked: " + why};
  }
  if (now == r.after && now != r.before) {
    return {"the medium holds the written bytes: the write was done.", State::Written,
            "interrupted after the write; the medium held the written bytes at the next start"};
  }
  if (now == r.before) {
    return {"the medium holds the bytes from before: nothing was written.", State::Failed,
            "interrupted before the write reached the medium"};
  }
  return {"the medium holds neither the bytes from before nor the written ones.", State::Failed,
          "interrupted; at the next start the sector held other bytes"};
}

}  // namespace

void mnuUndoWrite_Click(WindowModel& model) {
  const std::string& device = model.state.DevicePath;
  if (device.empty())
    return Tell(model,
                "Undo Last Write: no volume is chosen. Choose one in the Volume menu first.");
  std::optional<Record> last;
  const journal::Result r = JournalOf(model).LastUndoable(device, &last);
  if (!r.ok()) return Tell(model, "Undo Last Write: " + r.problem + ".");
  if (!last) {
    return Tell(
        model,
        "Undo Last Write: the write journal holds no write on " + device + " that could be undone.",
        kStyleOk);
  }
  Revert(model, *last, "Undo");
}

void RevertRecord(WindowModel& model, std::int64_t id) {
  Record r;
  const journal::Result got = JournalOf(model).Get(id, &r);
  if (!got.ok()) return Tell(model, "Revert: " + got.problem + ".");
  Revert(model, r, "Revert");
}

void ShowRecord(WindowModel& model, std::int64_t id) {
  Record r;
  const journal::Result got = JournalOf(model).Get(id, &r);
  if (!got.ok()) return Tell(model, "Show: " + got.problem + ".");
  if (r.device.size() != 2 || r.device[0] < 'A' || r.device[0] > 'R') return;
  mnuA_Click(model, r.device[0] - 'A');
  if (!model.At(kSectorBox).enabled) return;  // the refresh failed and has said why
  model.SetText(model.At(kSectorBox), std::to_string(r.sector));
  ShowSector(model);
}

void ExportRecords(WindowModel& model, const std::vector<std::int64_t>& ids) {
  if (ids.empty()) return Tell(model, "Export: choose the records to export first.", kStyleOk);
  std::vector<Record> records(ids.size());
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const journal::Result got = JournalOf(model).Get(ids[i], &records[i]);
    if (!got.ok()) return Tell(model, "Export: " + got.problem + ".");
  }
  const std::string path = model.prompter().FileDialog(
      Prompter::FileMode::Save, "Export Write History", "write-history.txt", "Text files (*.txt)");
  if (path.empty()) return;
  const std::string text = journal::ExportText(records);
  device::PendingFile out(path);
  if (!out.ok() || !out.Write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}) ||
      !out.Keep()) {
    const int error = errno;
    Tell(model, "Export: " + path + " cannot be written: " +
                    device::IoResult{device::StatusOfErrno(error), error}.Describe() + ".");
  }
}

void AnnouncePendingWrites(WindowModel& model) {
  journal::Journal& j = JournalOf(model);
  std::vector<Record> pending;
  const journal::Result r = j.Pending(&pending);
  if (!r.ok()) {
    return Tell(model, "At start: " + r.problem +
                           ". Every write is refused until the write journal can be used.");
  }
  if (pending.empty()) return;
  constexpr std::size_t kListed = 20;
  std::string text =
      "The program or the machine stopped between the write journal and the "
      "medium during " +
      std::string(pending.size() == 1 ? "this write" : "these writes") + ":";
  for (std::size_t i = 0; i < pending.size(); ++i) {
    const Record& rec = pending[i];
    const Found found = Inspect(model, rec);
    if (i < kListed) {
      text += "\n- " + rec.device + " sector " + std::to_string(rec.sector) + " (" +
              journal::TimeText(rec.timeMs) + "): " + found.line;
    }
    j.Finish(rec.id, found.state, found.cause);
  }
  if (pending.size() > kListed)
    text += "\n- and " + std::to_string(pending.size() - kListed) + " more.";
  Tell(model, text + "\nThe Write History (File menu) keeps them.");
}

void InstallWriteJournal(WindowModel& model) {
  model.OnClick(kUndoWrite, [&model](int) { mnuUndoWrite_Click(model); });
}

}  // namespace dulvex
