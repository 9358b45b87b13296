// libFuzzer: -max_len=512 -dict=command_line.dict
// The command line: an input is the arguments, separated by bytes 0. Whatever they are, the
// parser gives an action, or the media to bind, or one line of error (also for --check): never a
// line break or another control character in it (names are escaped), and never media beside an
// error or an action.
// Each medium it accepts is an image file or a block device, and each --drive letter lies in
// A to R and is named once.
#include <string>
#include <vector>

#include "drives/command_line.h"
#include "drives/drive_letters.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  InputReader in(data, size);
  std::vector<std::string> args;
  while (!in.AtEnd() && args.size() < 32) args.push_back(in.Text());

  const dulvex::drives::CommandLine cl = dulvex::drives::ParseCommandLine(args);
  using Action = dulvex::drives::CommandLine::Action;
  for (const char c : cl.error) Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
  if (cl.action == Action::Help || cl.action == Action::Version) Check(cl.error.empty());
  if (cl.action != Action::Run || !cl.error.empty()) return Check(cl.media.empty()), 0;
  std::string named;
  for (const dulvex::drives::DriveRequest& m : cl.media) {
    Check(dulvex::drives::CheckMedium(m.path).ok());
    if (!m.letter) continue;
    Check(*m.letter >= dulvex::drives::kFirstLetter && *m.letter <= dulvex::drives::kLastLetter);
    Check(named.find(*m.letter) == std::string::npos);
    named += *m.letter;
  }
  return 0;
}
