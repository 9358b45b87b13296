// The drives subsystem in the Qt program: the Open Device dialog, the recent images kept
// with QSettings, image files dropped on the window, and the letters' tooltips brought up to
// date each time the Volume menu opens.
#pragma once

#include <memory>

#include "commands/open_commands.h"
#include "core/window_model.h"

namespace dulvex::ui {

class MainWindow;

// The recent images in the user's settings (QSettings "Dulvex"/"dulvex", key recentImages).
std::vector<std::string> LoadRecentImages();
void SaveRecentImages(const std::vector<std::string>& list);

// Installs the open commands into `model` with the Qt shell and connects `window`: drops,
// the Volume menu's tooltips. Returns the shell, which the window's drops use too.
std::shared_ptr<drives::DrivesShell> ConnectDrives(MainWindow& window, WindowModel& model);

}  // namespace dulvex::ui
