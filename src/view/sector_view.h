// Showing a sector in the grid, stepping between sectors, the sector-number box and the
// hover magnifier.
#pragma once

#include <optional>
#include <string>

#include "core/window_model.h"

namespace dulvex {

// Reads the sector named in Text21 into SectorBuffer and renders it. When the read fails
// (or the number does not fit 32 bits) the grid and Label77(1) keep the sector they showed.
void ShowSector(WindowModel& model);

// Puts Text21 in canonical form (what was typed may be half-way, "2." or "&H") and shows
// its readouts again: the hex form in Label45 and the landmark name in Label53. Run on Enter,
// when the box loses the focus, and after every boot-sector refresh.
void SettleSectorNumber(WindowModel& model);

// Renders SectorBuffer into the hex cells Label3 and the text cells Label55.
void DisplaySectorDue(WindowModel& model);

// After a refresh or a read that should have shown a sector again and failed: the grid keeps
// the bytes it showed (`was`), but they are no longer known to be the device's. Its cells
// turn grey until a read shows a sector again, and a paste refuses, saying so.
void MarkGridStale(WindowModel& model, const std::optional<ShownSector>& was);

// Asks for a whole number from `lo` to `hi` in an input box (title `title`) whose prompt,
// `prompt` followed by " (lo to hi).", states the range. A reply that is not such a number is
// refused with the reason under the prompt, and asked again with the reply filled in. Nothing
// on Cancel.
std::optional<double> AskWholeNumber(WindowModel& model, const std::string& prompt,
                                     const std::string& title, double lo, double hi,
                                     const std::string& suggestion);

// Registers the handlers of Text21 (change, Enter, focus loss), "<" and ">" (Command1), the
// hover over the hex cells, and the Volume menu's moves between sectors (previous, next,
// first, last, go to).
void InstallSectorView(WindowModel& model);

}  // namespace dulvex
