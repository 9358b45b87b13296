// Tells when the machine's block devices change: a stick plugged in or pulled, a loop device
// attached or detached, a card swapped in its reader. Listens to udev (libudev's monitor,
// the way desktop tools follow devices: add, remove and change events, media changes
// included). Where udev does not run, it listens to the kernel's own device events and also
// compares /sys/class/block at each rescan, which catches what no event reaches (a container
// gets no kernel events). Qt-free: the dialog waits on fd() and calls the rescan on a timer.
#pragma once

#include <filesystem>
#include <string>

struct udev;
struct udev_monitor;

namespace dulvex::lsblk {

class BlockWatch {
 public:
  enum class Source {
    Udev,    // udev's events, after its rules ran: lsblk already knows the new device
    Kernel,  // the kernel's events, with rescans beside them
    Rescan,  // rescans alone (no event socket could be opened)
  };

  // `udevControl` is the file that is there while udev runs; `sysBlock` the folder rescanned.
  explicit BlockWatch(const std::filesystem::path& udevControl = "/run/udev/control",
                      std::filesystem::path sysBlock = "/sys/class/block");
  ~BlockWatch();
  BlockWatch(const BlockWatch&) = delete;
  BlockWatch& operator=(const BlockWatch&) = delete;

  Source source() const { return source_; }
  // The socket to wait on for events; -1 when there is none.
  int fd() const;
  // Reads every event waiting on fd(); true when a block device was added, removed or changed.
  bool TakeEvents();
  // Whether Rescan() is needed at all (without udev), and how often.
  bool rescans() const { return source_ != Source::Udev; }
  static constexpr int kRescanMs = 500;
  // Reads /sys/class/block again; true when it differs from the last time.
  bool Rescan();

 private:
  Source source_ = Source::Rescan;
  ::udev* udev_ = nullptr;
  ::udev_monitor* monitor_ = nullptr;
  std::filesystem::path sysBlock_;
  std::string lastState_;
};

// What /sys/class/block (or `dir`) says of each block device, one line each, sorted by name:
// its name, size in sectors, read-only and removable flags and disk sequence number, so that
// a device that comes, goes, gets or loses its medium or gets another one changes the text.
std::string SysBlockState(const std::filesystem::path& dir);

}  // namespace dulvex::lsblk
