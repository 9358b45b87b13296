#include "lsblk/block_watch.h"

#include <libudev.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <vector>

namespace dulvex::lsblk {

namespace fs = std::filesystem;

namespace {

// The first word of a small sysfs file; empty when it is not there.
std::string Attribute(const fs::path& file) {
  std::ifstream in(file);
  std::string word;
  in >> word;
  return word;
}

}  // namespace

std::string SysBlockState(const fs::path& dir) {
  std::vector<std::string> lines;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
    const fs::path& p = e.path();
    lines.push_back(p.filename().string() + " " + Attribute(p / "size") + " " +
                    Attribute(p / "ro") + " " + Attribute(p / "removable") + " " +
                    Attribute(p / "diskseq"));
  }
  std::sort(lines.begin(), lines.end());
  std::string state;
  for (const std::string& line : lines) state += line + "\n";
  return state;
}

BlockWatch::BlockWatch(const fs::path& udevControl, fs::path sysBlock)
    : sysBlock_(std::move(sysBlock)) {
  lastState_ = SysBlockState(sysBlock_);
  udev_ = udev_new();
  if (udev_ == nullptr) return;
  // udev's own events only while udev runs: without it, none would ever come.
  const bool withUdev = ::access(udevControl.c_str(), F_OK) == 0;
  monitor_ = udev_monitor_new_from_netlink(udev_, withUdev ? "udev" : "kernel");
  if (monitor_ != nullptr &&
      (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "block", nullptr) < 0 ||
       udev_monitor_enable_receiving(monitor_) < 0)) {
    monitor_ = udev_monitor_unref(monitor_);
  }
  if (monitor_ != nullptr) source_ = withUdev ? Source::Udev : Source::Kernel;
}

BlockWatch::~BlockWatch() {
  if (monitor_ != nullptr) udev_monitor_unref(monitor_);
  if (udev_ != nullptr) udev_unref(udev_);
}

int BlockWatch::fd() const {
  return monitor_ != nullptr ? udev_monitor_get_fd(monitor_) : -1;
}

bool BlockWatch::TakeEvents() {
  if (monitor_ == nullptr) return false;
  bool changed = false;
  // The socket does not block: a null device means nothing is left to read.
  while (udev_device* d = udev_monitor_receive_device(monitor_)) {
    const char* action = udev_device_get_action(d);
    const std::string a = action != nullptr ? action : "";
    // "change" covers media: a card inserted or removed, a loop device attached or detached.
    if (a == "add" || a == "remove" || a == "change" || a == "move") changed = true;
    udev_device_unref(d);
  }
  if (changed) lastState_ = SysBlockState(sysBlock_);  // the next rescan sees no news in it
  return changed;
}

bool BlockWatch::Rescan() {
  std::string state = SysBlockState(sysBlock_);
  if (state == lastState_) return false;
  lastState_ = std::move(state);
  return true;
}

}  // namespace dulvex::lsblk
