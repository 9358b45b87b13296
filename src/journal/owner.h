// Which running process made a journal record: its process id, the boot of the machine it
// ran in and when it started. A record is another window's work in progress as long as that
// process still runs; process ids are reused, so the start time tells a new process from
// the old one, and the boot id a process of an earlier boot.
#pragma once

#include <cstdint>
#include <string>

namespace dulvex::journal {

struct Owner {
  std::int64_t pid = 0;
  std::string boot;        // /proc/sys/kernel/random/boot_id
  std::int64_t start = 0;  // the process's start, in clock ticks after the boot

  // This process.
  static Owner Self();
  // The process still runs: same boot, and a process of that id that started then.
  bool Alive() const;
  bool operator==(const Owner&) const = default;
};

// The start of process `pid` in clock ticks after the boot (field 22 of /proc/PID/stat), or
// -1 when there is no such process.
std::int64_t ProcessStart(std::int64_t pid);

}  // namespace dulvex::journal
