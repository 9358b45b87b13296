#include "commands/write_commands.h"

#include <cerrno>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "device/host_file.h"
#include "device/medium_identity.h"
#include "drives/drive_letters.h"
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

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// Another window's write still in progress: its record is that window's to settle.
bool InProgressElsewhere(const Record& r) {
  return r.state == State::Pending && r.owner.Alive() && r.owner != journal::Owner::Self();
}

// Writes the bytes from before every write of group `g` back, the last first, as one group
// whose records name those they revert, when each sector still holds what its write put
// there. A write that never reached its sector (the sector holds the bytes from before) is
// passed over. `what` is the command; `ask`: confirm first (a rollback offered at start is
// its own question).
void RevertGroup(WindowModel& model, const journal::Group& g, const std::string& what, bool ask) {
  const std::string refused = what + " refused on \"" + g.title + "\" (records " +
                              std::to_string(g.first) + " to " + std::to_string(g.last) + ")";
  std::vector<Record> members;
  if (const Status got = JournalOf(model).Members(g, &members); !got.ok())
    return Tell(model, refused + ": " + got.Describe() + ". Nothing was written.");
  std::vector<SectorChange> changes;
  std::vector<std::int64_t> sectors;
  const std::string device = members.front().device;
  for (std::size_t i = members.size(); i-- > 0;) {  // the last first
    const Record& r = members[i];
    const std::string at =
        ": record " + std::to_string(r.id) + " (sector " + std::to_string(r.sector) + ")";
    if (r.damaged())
      return Tell(model, refused + at + " is damaged (" + r.damage +
                             "); a damaged record is never written back. Nothing was written.");
    if (InProgressElsewhere(r))
      return Tell(model,
                  refused + at + " is a write in progress in another window. Nothing was written.");
    if (r.undone || r.state == State::NotWritten) continue;
    device::Sector now{};
    if (const Status read = ReadRecordSector(model, r, false, &now); !read.ok())
      return Tell(model, refused + at + (": " + read.Describe()) + ". Nothing was written.");
    if (now == r.before) continue;
    if (now != r.after)
      return Tell(model, refused + at + ": the sector no longer holds the bytes written at " +
                             journal::TimeText(r.timeMs) + " (" +
                             std::to_string(Differing(now, r.after)) +
                             " of 512 bytes differ). Nothing was written.");
    changes.push_back({r.sector, r.after, r.before, r.id});
    sectors.push_back(r.sector);
  }
  if (changes.empty())
    return Tell(model,
                what + ": the sectors of \"" + g.title +
                    "\" hold the bytes from before already. Nothing was written.",
                kStyleOk);
  const std::string lead = Upper(what) + " OF \"" + Upper(g.title) + "\" (RECORDS " +
                           std::to_string(g.first) + " TO " + std::to_string(g.last) + " ON " +
                           device + "): ";
  if (ask && !ConfirmGroupWrite(model, sectors, lead)) return;
  WriteSectorGroup(model, device, what + " of " + g.title, changes);
  if (device == model.state.DevicePath && model.At(kSectorBox).enabled) ShowSector(model);
}

// Writes the sectors of group `g` that a stop left unwritten (each must still hold its bytes
// from before), in the group's order, as one group of their own.
void FinishGroup(WindowModel& model, const journal::Group& g) {
  const std::string refused = "Finishing \"" + g.title + "\" refused";
  std::vector<Record> members;
  if (const Status got = JournalOf(model).Members(g, &members); !got.ok())
    return Tell(model, refused + ": " + got.Describe() + ". Nothing was written.");
  std::vector<SectorChange> changes;
  for (const Record& r : members) {
    if (r.damaged() || r.state != State::NotWritten) continue;
    device::Sector now{};
    if (const Status read = ReadRecordSector(model, r, false, &now); !read.ok())
      return Tell(model, refused + ": sector " + std::to_string(r.sector) +
                             (": " + read.Describe()) + ". Nothing was written.");
    if (now != r.before)
      return Tell(model, refused + ": sector " + std::to_string(r.sector) +
                             " no longer holds the bytes the step was planned on. Nothing was "
                             "written.");
    changes.push_back({r.sector, r.before, r.after, 0});
  }
  if (!changes.empty())
    WriteSectorGroup(model, members.front().device, "Finish of " + g.title, changes);
}

// Writes the record's bytes from before back, as a new record that names it; a record of a
// group takes its whole group back. `what` is the command, "Undo" or "Revert".
void Revert(WindowModel& model, const Record& r, const std::string& what) {
  const std::string refused = what + " refused on Device " + r.device + ", sector " +
                              std::to_string(r.sector) + ": record " + std::to_string(r.id);
  if (r.damaged())
    return Tell(model, refused + " is damaged (" + r.damage +
                           "); a damaged record is never written back. Nothing was written.");
  std::optional<journal::Group> group;
  if (const Status got = JournalOf(model).GroupOf(r.id, &group); !got.ok())
    return Tell(model, refused + ": " + got.Describe() + ". Nothing was written.");
  if (group) return RevertGroup(model, *group, what, true);
  if (InProgressElsewhere(r))
    return Tell(model, refused + " is a write in progress in another window. Nothing was written.");
  if (r.state == State::NotWritten)
    return Tell(model, refused +
                           " was not written, so there is nothing to revert. Nothing was "
                           "written.");
  device::Sector now{};
  if (const Status read = ReadRecordSector(model, r, false, &now); !read.ok())
    return Tell(model, refused + ": " + read.Describe() + ". Nothing was written.");
  if (now != r.after) {
    return Tell(model, refused + ": the sector no longer holds the bytes written at " +
                           journal::TimeText(r.timeMs) + " (" +
                           std::to_string(Differing(now, r.after)) +
                           " of 512 bytes differ). Nothing was written.");
  }
  const auto s = static_cast<std::int32_t>(r.sector);  // a sound record's sector fits
  const int changed = Differing(r.before, r.after);
  const std::string lead = Upper(what) + " OF RECORD " + std::to_string(r.id) + " (" +
                           std::to_string(changed) + " OF 512 BYTES ON " + r.device + " SECTOR " +
                           std::to_string(r.sector) + "): ";
  if (!ConfirmSectorWrite(model, s, std::to_string(s), lead)) return;
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
  if (const Status read = ReadRecordSector(model, r, true, &now); !read.ok()) {
    const std::string why = read.Describe();
    return {"it cannot be told now (" + why +
                "); the write journal keeps it as unknown until its medium is read again.",
            State::Unknown,
            "interrupted; at the next start the sector could not be checked: " + why};
  }
  const journal::Settled s = journal::SettleBySector(r, now);
  switch (s.state) {
    case State::Written:
      return {"the medium holds the written bytes: the write was done.", State::Written,
              "interrupted after the write; the medium held the written bytes at the next start"};
    case State::NotWritten:
      return {"the medium holds the bytes from before: nothing was written.", State::NotWritten,
              "interrupted before the write reached the medium"};
    default:
      return {"the medium holds neither the bytes from before nor the written ones.",
              State::Unknown, "interrupted; at the next start the sector held other bytes"};
  }
}

// The sectors of the medium behind a letter, each read once, for the search of Undo Last
// Write: run as work, it touches neither the window nor its model.
class SectorCache {
 public:
  SectorCache(std::filesystem::path file, device::MediumIo& io) : file_(std::move(file)), io_(io) {
    readable_ = device::IdentifyMedium(file_, &medium_).ok();
  }
  // Whether the medium behind the letter holds the record's bytes now.
  bool HoldsAfter(const Record& r) {
    if (!readable_ || !r.medium.SameAs(medium_)) return false;
    auto it = sectors_.find(r.sector);
    if (it == sectors_.end()) {
      device::Sector now{};
      if (!device::ReadSectorAt(file_, r.sector, now.data(), io_).ok()) return false;
      it = sectors_.emplace(r.sector, now).first;
    }
    return it->second == r.after;
  }

 private:
  std::filesystem::path file_;
  device::MediumIo& io_;
  device::MediumIdentity medium_;
  bool readable_ = false;
  std::map<std::int64_t, device::Sector> sectors_;
};

// A group of writes the program or the machine stopped part-way through: every sector's state,
// the records settled by what the medium holds, and, when some sectors hold the written bytes,
// the offer to roll the group back or, when some sectors were not written, to finish it.
void AnnounceStoppedGroup(WindowModel& model, const journal::Group& g) {
  journal::Journal& j = JournalOf(model);
  std::vector<Record> members;
  if (!j.Members(g, &members).ok() || members.empty()) return;
  std::string lines;
  bool anyWritten = false, anyLeft = false;
  for (const Record& r : members) {
    std::string line = "sector " + std::to_string(r.sector) + ": ";
    if (r.damaged()) {
      line += "record " + std::to_string(r.id) + " is damaged (" + r.damage + ").";
    } else {
      const Found found = Inspect(model, r);
      line += found.line;
      anyWritten = anyWritten || (found.state != State::NotWritten && !r.undone);
      anyLeft = anyLeft || found.state == State::NotWritten;
      if (r.state == State::Pending) j.Finish(r.id, found.state, found.cause);
    }
    lines += "\n- " + line;
  }
  const std::string text =
      "The program or the machine stopped part-way through \"" + g.title + "\" on " +
      members.front().device + " (" + journal::TimeText(members.front().timeMs) + "), " +
      std::to_string(members.size()) + " sector writes made as one step:" + lines;
  if (!anyWritten) return Tell(model, text + "\nThe Write History (File menu) keeps them.");
  const std::string rollBack =
      "\nRoll the step back now, writing the bytes from before over the sectors written? ";
  const std::string leave =
      "No leaves the sectors as they are; Undo Last Write can take the step back later.";
  if (model.prompter().MessageBox(
          text + rollBack + "(" + (anyLeft ? "No asks whether to finish it instead." : leave) + ")",
          kStyleYesNo, AppTitle()) == kAnswerYes)
    return RevertGroup(model, g, "Roll back", false);
  if (anyLeft && model.prompter().MessageBox(
                     "Finish \"" + g.title + "\" instead, writing the sectors it did not write? (" +
                         leave + ")",
                     kStyleYesNo, AppTitle()) == kAnswerYes)
    FinishGroup(model, g);
}

}  // namespace

void mnuUndoWrite_Click(WindowModel& model) {
  const std::string device = model.state.DevicePath;
  if (device.empty())
    return Tell(model,
                "Undo Last Write: no volume is chosen. Choose one in the Volume menu first.");
  const auto file = device::DriveFile(model.state.drivesDir, device);
  device::MediumIdentity medium;
  if (const Status io = device::IdentifyMedium(file, &medium); !io.ok())
    return Tell(model, "Undo Last Write: " + device + " cannot be read: " + io.Describe() + ".");
  // Writes of this medium whose end is open are settled first: an unknown one whose bytes
  // the medium holds is a write Undo may take back.
  SettleRecordsOf(model, device);
  // The newest write whose bytes the medium still holds. The journal's index gives the
  // candidates newest first; should many of them no longer be on the medium, the search
  // reads many sectors, so it runs as work, on its own connection to the journal.
  std::optional<Record> last;
  Status r;
  WorkResult ended;
  const std::filesystem::path journalFile = model.state.journalFile;
  device::MediumIo& io = IoOf(model);
  model.runner().Run(
      "Undo Last Write", WorkUnit::Items,
      [&](WorkProgress& progress) {
        journal::Journal reader(journalFile);
        SectorCache sectors(file, io);
        std::int64_t checked = 0;
        r = journal::FindUndoable(
            reader, device,
            [&](const Record& rec) {
              progress.Report(static_cast<std::uint64_t>(++checked), 0);
              return sectors.HoldsAfter(rec);
            },
            [&] { return progress.Cancelled(); }, &last);
      },
      [&](const WorkResult& w) { ended = w; });
  if (ended.outcome == WorkOutcome::Cancelled) return;
  if (ended.outcome == WorkOutcome::Failed)
    return Tell(model, "Undo Last Write: the search failed: " + ended.problem + ".");
  if (!r.ok()) return Tell(model, "Undo Last Write: " + r.Describe() + ".");
  if (!last) {
    return Tell(model,
                "Undo Last Write: the write journal holds no write on " + device +
                    " whose bytes the sector still holds, so nothing can be undone.",
                kStyleOk);
  }
  Revert(model, *last, "Undo");
}

std::optional<std::int64_t> UndoableSector(WindowModel& model, const std::string& device,
                                           int budget) {
  if (device.empty() || model.state.journalFile.empty()) return std::nullopt;
  SectorCache sectors(device::DriveFile(model.state.drivesDir, device), IoOf(model));
  std::optional<Record> last;
  int checked = 0;
  const Status r = journal::FindUndoable(
      JournalOf(model), device,
      [&](const Record& rec) {
        ++checked;
        return sectors.HoldsAfter(rec);
      },
      [&] { return checked >= budget; }, &last);
  if (!r.ok() || !last) return std::nullopt;
  return last->sector;
}

void RevertRecord(WindowModel& model, std::int64_t id) {
  Record r;
  const Status got = JournalOf(model).Get(id, &r);
  if (!got.ok()) return Tell(model, "Revert: " + got.Describe() + ".");
  Revert(model, r, "Revert");
}

void ShowRecord(WindowModel& model, std::int64_t id) {
  Record r;
  const Status got = JournalOf(model).Get(id, &r);
  if (!got.ok()) return Tell(model, "Show: " + got.Describe() + ".");
  if (r.damaged())
    return Tell(model, "Show: record " + std::to_string(id) + " is damaged (" + r.damage +
                           "); its sector cannot be told.");
  mnuA_Click(model, r.device[0] - 'A');
  if (!model.At(kSectorBox).enabled) return;  // the refresh failed and has said why
  model.SetText(model.At(kSectorBox), std::to_string(r.sector));
  ShowSector(model);
}

void ExportRecords(WindowModel& model, const std::vector<std::int64_t>& ids) {
  if (ids.empty()) return Tell(model, "Export: choose the records to export first.", kStyleOk);
  std::vector<Record> records(ids.size());
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const Status got = JournalOf(model).Get(ids[i], &records[i]);
    if (!got.ok()) return Tell(model, "Export: " + got.Describe() + ".");
  }
  const std::string path = model.prompter().FileDialog(
      Prompter::FileMode::Save, "Export Write History", "write-history.txt", "Text files (*.txt)");
  if (path.empty()) return;
  if (const Status refused = drives::HostFileRefusal(model.state.drivesDir, path); !refused.ok())
    return Tell(model, "Export refused: " + refused.Describe() +
                           ". Nothing was written; choose another file.");
  const std::string text = journal::ExportText(records);
  device::PendingFile out(path);
  if (!out.ok() || !out.Write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}) ||
      !out.Keep()) {
    Tell(model, "Export: " + path + " cannot be written: " + out.status().Describe() + ".");
  }
}

void AnnouncePendingWrites(WindowModel& model) {
  journal::Journal& j = JournalOf(model);
  std::vector<Record> open;
  const Status r = j.Unsettled(&open);
  if (!r.ok()) {
    return Tell(model, "At start: " + r.Describe() +
                           ". Every write is refused until the write journal can be used.");
  }
  constexpr std::size_t kListed = 20;
  std::vector<std::string> stopped, running;
  std::map<std::int64_t, journal::Group> groups;  // stopped part-way, by id
  for (const Record& rec : open) {
    const std::string where = rec.device + " sector " + std::to_string(rec.sector) + " (" +
                              journal::TimeText(rec.timeMs) + ")";
    if (rec.damaged()) {
      if (rec.state == State::Pending)
        stopped.push_back("record " + std::to_string(rec.id) + " is damaged (" + rec.damage +
                          "): it cannot be checked.");
      continue;
    }
    if (InProgressElsewhere(rec)) {
      running.push_back(where);
      continue;
    }
    if (rec.state == State::Unknown) {
      // Told of when it was written; settled silently once its medium can be read.
      device::Sector now{};
      if (!ReadRecordSector(model, rec, true, &now).ok()) continue;
      const journal::Settled s = journal::SettleBySector(rec, now);
      if (s.state != State::Unknown) j.Finish(rec.id, s.state, s.cause);
      continue;
    }
    std::optional<journal::Group> group;
    if (rec.state == State::Pending && j.GroupOf(rec.id, &group).ok() && group) {
      groups.emplace(group->id, *group);
      continue;
    }
    const Found found = Inspect(model, rec);
    stopped.push_back(where + ": " + found.line);
    j.Finish(rec.id, found.state, found.cause);
  }
  for (const auto& [id, group] : groups) AnnounceStoppedGroup(model, group);
  std::string text;
  if (!stopped.empty()) {
    text = "The program or the machine stopped between the write journal and the medium during " +
           std::string(stopped.size() == 1 ? "this write" : "these writes") + ":";
    for (std::size_t i = 0; i < stopped.size() && i < kListed; ++i) text += "\n- " + stopped[i];
    if (stopped.size() > kListed)
      text += "\n- and " + std::to_string(stopped.size() - kListed) + " more.";
  }
  if (!running.empty()) {
    text += std::string(text.empty() ? "" : "\n") +
            (running.size() == 1 ? "This write is" : "These writes are") +
            " in progress in another window of the program, which settles " +
            (running.size() == 1 ? "it" : "them") + ":";
    for (std::size_t i = 0; i < running.size() && i < kListed; ++i) text += "\n- " + running[i];
    if (running.size() > kListed)
      text += "\n- and " + std::to_string(running.size() - kListed) + " more.";
  }
  if (!text.empty()) Tell(model, text + "\nThe Write History (File menu) keeps them.");
}

void InstallWriteJournal(WindowModel& model) {
  model.OnClick(kUndoWrite, [&model](int) { mnuUndoWrite_Click(model); });
}

}  // namespace dulvex
