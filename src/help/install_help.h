// Wires the "Help" and "About" commands of the main window to the help window and the
// About box.
#pragma once

#include "core/window_model.h"
#include "help/about.h"
#include "help/help_viewer.h"

namespace dulvex {

// Registers the click handlers of `mnuHelp` and `mnuAbout`. The viewer, the About host and
// the main window (the help window's owner) must outlive the model's handlers.
void InstallHelp(WindowModel& model, HelpViewer& viewer, AboutHost& about,
                 const HelpOwner* mainWindow);

}  // namespace dulvex
