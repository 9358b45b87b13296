// The status line in the strip under the sector panel's buttons, three lines:
//   where the pointer (or the cell cursor, when it moved last) and the selection lie on the
//   medium (hex and decimal) and how many bytes are selected;
//   the cluster of the shown sector and the file or directory that owns it, and the sector
//   Undo Last Write would take back;
//   what the last command found or did (a search's hit, "not found", where a cancelled
//   search stopped, what a message box told, a write).
// It is brought up to date after every event (WindowModel::afterEvent). The owners come from the
// FAT engine's owner map, read once per reading of the volume (at the first sector of the data
// region shown) and then looked up at once, so stepping through sectors stays as quick as without
// it.
#pragma once

#include <cstdint>
#include <string>

#include "core/window_model.h"

namespace dulvex {

// The owner map of a large volume is read for the status line only while it takes at most
// this long; past it the line names the cluster without its owner (the FAT tools read it all).
inline constexpr int kOwnerReadBudgetMs = 250;

// "0x2603 (9731)": an offset on the medium in hex and in decimal.
std::string OffsetText(std::uint64_t offset);

// Brings the three lines up to date after every event.
void InstallStatusLine(WindowModel& model);

}  // namespace dulvex
