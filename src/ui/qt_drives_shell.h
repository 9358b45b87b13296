// The drives subsystem in the Qt program: the Open Device dialog, the recent images kept
// with QSettings, image files dropped on the window, and the letters' tooltips brought up to
// date each time the Volume menu opens.
#pragma once

#include <functional>
#include <memory>

#include "commands/open_commands.h"
#include "core/window_model.h"

class QWidget;

namespace dulvex::ui {

class MainWindow;

// The recent images in the user's settings (QSettings "Dulvex"/"dulvex", key recentImages).
std::vector<std::string> LoadRecentImages();
void SaveRecentImages(const std::vector<std::string>& list);

// The shell of the open commands in the Qt program: the Open Device dialog over the window
// `parent()` returns, and the recent images in the user's settings.
std::shared_ptr<drives::DrivesShell> QtDrivesShell(std::function<QWidget*()> parent);

// Connects `window` to the open commands installed with `shell`: drops, the Volume menu's
// tooltips.
void ConnectDrives(MainWindow& window, WindowModel& model,
                   std::shared_ptr<drives::DrivesShell> shell);

}  // namespace dulvex::ui
