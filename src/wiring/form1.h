// Start-up of the main window's model: the design, the version in the caption, the cell
// grids, and every subsystem's event handlers.
#pragma once

#include "app/window_model.h"
#include "search/find_command.h"

namespace dulvex {

// `findAsker` is the dialog of "Find String" (none: the item does nothing).
void BuildForm1(WindowModel& model, search::FindAsker* findAsker = nullptr);

}  // namespace dulvex
