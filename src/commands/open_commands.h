// Every way a medium reaches a letter from inside the window: the File menu's "Open Image…",
// "Open Device…" and "Recent", and image files dropped on the window. Each ends in a binding
// in the drives folder and the choice of that letter exactly as in the Volume menu. The
// Volume menu's tooltips say what stands behind each letter.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/status.h"
#include "core/window_model.h"

namespace dulvex::drives {

inline constexpr std::size_t kRecentCount = 10;

// What the commands need from around the window model.
struct DrivesShell {
  // The Open Device dialog: the chosen block device, empty on cancel.
  std::function<std::string()> chooseDevice;
  // The recent images kept between runs, newest first.
  std::function<std::vector<std::string>()> loadRecent;
  std::function<void(const std::vector<std::string>&)> saveRecent;
};

// A shell without a device dialog that keeps the recent images in memory only.
std::shared_ptr<DrivesShell> MemoryShell();

// Installs the open commands with `shell` (MemoryShell() when none), shows the recent
// images and fills the letters' tooltips.
void InstallDrives(WindowModel& model, std::shared_ptr<DrivesShell> shell = nullptr);

// Binds the image file or block device `path` and chooses its letter: the letter already
// bound to it, else the first free letter, else one the user names. An image goes to the
// top of the recent list. Not ok when nothing was chosen (a bad path, a cancel), which the
// user has been told of or did.
Status OpenMedium(WindowModel& model, DrivesShell& shell, const std::string& path);

// Files dropped on the window: each is bound, the first one is chosen.
void OpenDropped(WindowModel& model, DrivesShell& shell, const std::vector<std::string>& paths);

// Each letter's tooltip in the Volume menu: what stands behind it.
void RefreshLetterTips(WindowModel& model);

// `list` with `path` first, listed once, at most kRecentCount long.
std::vector<std::string> WithRecent(std::vector<std::string> list, const std::string& path);

}  // namespace dulvex::drives
