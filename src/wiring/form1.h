// Start-up of the main window's model: the design, the version in the caption, the cell
// grids, and every subsystem's event handlers.
#pragma once

#include <memory>

#include "commands/find_command.h"
#include "commands/open_commands.h"
#include "core/clipboard.h"
#include "core/window_model.h"

namespace dulvex {

// What the commands ask of the world around the window model: the Find String dialog, the
// Open Device dialog with the recent images, how a search reads a medium, and the clipboard.
// The Qt layer gives its own; tests give scripted ones. Each is handed to its commands when
// they are installed, once.
struct Form1Shell {
  search::FindAsker* findAsker = nullptr;       // none: "Find String" finds nothing to ask
  std::shared_ptr<drives::DrivesShell> drives;  // none: drives::MemoryShell()
  device::BulkOpener* bulkOpener = nullptr;     // how searches read; none: the system's
  Clipboard* clipboard = nullptr;               // the system's; none: copy and paste refuse
};

// Builds the window model as at start-up: the design, the version in the caption, the cell
// grids, and every handler, each installed once.
void BuildForm1(WindowModel& model, const Form1Shell& shell = {});

}  // namespace dulvex
