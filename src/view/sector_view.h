// Showing a sector in the grid, stepping between sectors, the sector-number box and the
// hover magnifier.
#pragma once

#include "app/window_model.h"

namespace dulvex {

// Reads the sector named in Text21 into SectorBuffer and renders it. When the read fails
// (or the number does not fit 32 bits) the grid and Label77(1) keep the sector they showed.
void ShowSector(WindowModel& model);

// Renders SectorBuffer into the hex cells Label3 and the text cells Label55.
void DisplaySectorDue(WindowModel& model);

// Registers the handlers of Text21 (change, Enter), "<" and ">" (Command1) and the hover
// over the hex cells.
void InstallSectorView(WindowModel& model);

}  // namespace dulvex
