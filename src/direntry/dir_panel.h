// The directory panel Frame4: the report box, the two colour legends and their buttons,
// and the TOOLS items that analyse a sector as a directory.
#pragma once

#include "core/window_model.h"

namespace dulvex {

// Adds every control inside Frame4 (which the main window's design already holds) to the
// model.
void AddDirPanelDesign(WindowModel& model);

// Adds the panel's controls and registers the handlers of "VIEW COLORS for short file
// name" (Command11), "VIEW COLORS for long file name" (Command12), "CLOSE" (Command4), and
// the TOOLS items "1st File List" (mnuFileList) and "Analyze Act. Sec. as File List"
// (mnuAnalFile).
void InstallDirEntry(WindowModel& model);

}  // namespace dulvex
