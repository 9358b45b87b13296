#include "journal/owner.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

namespace dulvex::journal {

namespace {

std::string BootId() {
  std::ifstream in("/proc/sys/kernel/random/boot_id");
  std::string id;
  std::getline(in, id);
  return id;
}

}  // namespace

std::int64_t ProcessStart(std::int64_t pid) {
  if (pid <= 0) return -1;
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line)) return -1;
  // The name in parentheses may hold blanks and parentheses: the fields go on after the
  // last ")". The start time is field 22; field 3 (the state) is the first after the name.
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(line.substr(close + 1));
  std::string field;
  for (int i = 3; i <= 22; ++i) {
    if (!(fields >> field)) return -1;
  }
  try {
    return std::stoll(field);
  } catch (const std::exception&) {
    return -1;
  }
}

Owner Owner::Self() {
  // Not kept: a process made by fork() is another owner than its parent.
  static const std::string boot = BootId();
  const std::int64_t pid = ::getpid();
  return {pid, boot, ProcessStart(pid)};
}

bool Owner::Alive() const {
  static const std::string boot = BootId();
  return !this->boot.empty() && this->boot == boot && start >= 0 && ProcessStart(pid) == start;
}

}  // namespace dulvex::journal
