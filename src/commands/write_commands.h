// The commands over the write journal: "Undo Last Write" in the File menu, the Write History
// window's Show, Revert and Export, and the announcement at start of writes that were
// interrupted between the journal and the medium.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/window_model.h"

namespace dulvex {

// "Undo Last Write": reverts the newest write of the chosen device that is not undone yet.
void mnuUndoWrite_Click(WindowModel& model);
// Writes the bytes from before record `id` back over its sector, as a new record that names
// it, when the sector still holds what that write put there; asks first.
void RevertRecord(WindowModel& model, std::int64_t id);
// Chooses the letter of record `id` and shows its sector.
void ShowRecord(WindowModel& model, std::int64_t id);
// Saves the records as a text hex diff to a file the user chooses.
void ExportRecords(WindowModel& model, const std::vector<std::int64_t>& ids);

// The sector that Undo Last Write would take back on `device` now, looked for quietly among
// at most `budget` of the journal's candidates; nothing when none is found (or the journal
// cannot be read). Nothing is written, settled or asked.
std::optional<std::int64_t> UndoableSector(WindowModel& model, const std::string& device,
                                           int budget);

// At start: tells once of every record still pending (the program or the machine stopped
// between the journal and the medium), with what the medium holds now, and closes them.
void AnnouncePendingWrites(WindowModel& model);

// Registers "Undo Last Write". "Write History…" (mnuWriteHistory) opens a window of the Qt
// layer, which registers it.
void InstallWriteJournal(WindowModel& model);

}  // namespace dulvex
