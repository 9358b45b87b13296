// Start-up of the main window's model: the design, the version in the caption, the cell
// grids, and every subsystem's event handlers.
#pragma once

#include "core/window_model.h"

namespace dulvex {

void BuildForm1(WindowModel& model);

}  // namespace dulvex
