// dulvex_find: Find String from the command line, for timing it against other tools on the
// same file. Usage:
//   dulvex_find [--hex|--utf16] [--ignore-case] [--backward] [--read=auto|pread|mapped|direct]
//               [--verbose] PATTERN FILE
// Prints the byte offset of the first (or last) match, or "not found"; exits 0 when found,
// 1 when not, 2 on bad use, as grep does. --verbose tells on stderr how the file was read.
#include <cstdio>
#include <string>

#include "search/scanner.h"

namespace {

struct NoProgress : dulvex::WorkProgress {
  void Report(std::uint64_t, std::uint64_t) override {}
  bool Cancelled() const override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
  using namespace dulvex::search;
  FindKind kind = FindKind::Text;
  bool ignoreCase = false;
  Direction direction = Direction::Forward;
  dulvex::device::ReadWay way = dulvex::device::ReadWay::Auto;
  bool verbose = false;
  int i = 1;
  for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; ++i) {
    const std::string option = argv[i];
    if (option == "--hex")
      kind = FindKind::Hex;
    else if (option == "--utf16")
      kind = FindKind::Utf16;
    else if (option == "--ignore-case")
      ignoreCase = true;
    else if (option == "--backward")
      direction = Direction::Backward;
    else if (option == "--verbose")
      verbose = true;
    else if (option == "--read=pread")
      way = dulvex::device::ReadWay::Pread;
    else if (option == "--read=mapped")
      way = dulvex::device::ReadWay::Mapped;
    else if (option == "--read=direct")
      way = dulvex::device::ReadWay::Direct;
    else if (option == "--read=auto")
      way = dulvex::device::ReadWay::Auto;
    else
      return std::fprintf(stderr, "unknown option %s\n", argv[i]), 2;
  }
  if (argc - i != 2) {
    std::fprintf(stderr,
                 "usage: %s [--hex|--utf16] [--ignore-case] [--backward] "
                 "[--read=auto|pread|mapped|direct] [--verbose] PATTERN FILE\n",
                 argv[0]);
    return 2;
  }
  CompiledPattern pattern = CompilePattern(argv[i], kind, ignoreCase);
  if (!pattern.pattern) return std::fprintf(stderr, "%s\n", pattern.error.c_str()), 2;
  dulvex::device::SystemOpener opener(way);
  dulvex::Status why;
  const auto reader = opener.Open(argv[i + 1], &why);
  if (!reader) return std::fprintf(stderr, "%s: %s\n", argv[i + 1], why.Describe().c_str()), 2;
  if (verbose) std::fprintf(stderr, "read: %s\n", reader->kind());
  NoProgress progress;
  const ScanOutcome o = Scan(*reader, *pattern.pattern, 0, reader->size(), direction, progress);
  if (o.skippedSectors > 0)
    std::fprintf(stderr, "%llu unreadable sectors skipped\n",
                 static_cast<unsigned long long>(o.skippedSectors));
  if (o.end == ScanOutcome::End::Vanished)
    return std::fprintf(stderr, "the medium stopped answering: %s\n", o.error.Describe().c_str()),
           2;
  if (o.end != ScanOutcome::End::Found) return std::puts("not found"), 1;
  std::printf("%llu\n", static_cast<unsigned long long>(o.offset));
  return 0;
}
