// The program's own code in a process of its own: a second window on one journal, or a write
// run under strace to make a system call fail.
//   dulvex_peer write FILE DEVICE SECTOR COUNT   records COUNT writes, each begun and ended
//   dulvex_peer hold FILE DEVICE SECTOR IMAGE    begins a write of the image's sector (its
//                                                bytes now before, their complement after)
//                                                and never ends it: prints "begun ID" and
//                                                waits to be killed
//   dulvex_peer keep FILE                        writes "peer" to the host file FILE as an
//                                                export does; prints the descriptors left open
// Prints the problem and exits with 1 when it fails.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "device/host_file.h"
#include "journal/journal.h"

namespace {

int Fail(const dulvex::Status& r) {
  std::printf("%s\n", r.Describe().c_str());
  return 1;
}

}  // namespace

// The descriptors this process has open.
int OpenDescriptors() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

int main(int argc, char** argv) {
  using namespace dulvex::journal;
  const std::string command = argc > 2 ? argv[1] : "";
  if (command == "keep") {
    const int open = OpenDescriptors();
    std::string problem;
    {
      dulvex::device::PendingFile file(argv[2]);
      const std::uint8_t text[] = {'p', 'e', 'e', 'r'};
      if (!file.ok() || !file.Write(text) || !file.Keep()) problem = file.status().Describe();
    }
    std::printf("%s%s%d descriptors left open\n", problem.c_str(), problem.empty() ? "" : "; ",
                OpenDescriptors() - open);
    return problem.empty() ? 0 : 1;
  }
  if (argc < 5 || (command != "write" && command != "hold")) {
    std::fprintf(stderr, "usage: dulvex_peer write|hold|keep FILE ...\n");
    return 2;
  }
  Journal j(argv[2]);
  const int count = command == "write" && argc > 5 ? std::stoi(argv[5]) : 1;
  for (int i = 0; i < count; ++i) {
    Record r;
    r.device = argv[3];
    r.path = "peer";
    r.target = "peer";
    r.sector = std::stoll(argv[4]);
    r.after.fill(static_cast<std::uint8_t>(i));
    if (command == "hold" && argc > 5) {
      dulvex::device::IdentifyMedium(argv[5], &r.medium);
      dulvex::device::ReadSectorAt(argv[5], r.sector, r.before.data());
      for (std::size_t b = 0; b < r.after.size(); ++b) r.after[b] = ~r.before[b] & 0xFF;
    }
    if (dulvex::Status res = j.Begin(r); !res.ok()) return Fail(res);
    if (command == "hold") {
      std::printf("begun %lld\n", static_cast<long long>(r.id));
      std::fflush(stdout);
      for (;;) ::pause();
    }
    if (dulvex::Status res = j.Finish(r.id, State::Written, "peer"); !res.ok()) return Fail(res);
  }
  return 0;
}
