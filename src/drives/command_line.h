// The command line:  dulvex [--drive L=PATH]... [--drives DIR] [--codepage CP] [PATH]...
//                or:  dulvex --check PATH [--json] [--codepage CP]
// Read and checked before any window opens; a bad argument gives one clear line and exit
// status 2. Then the letters are bound, and the program starts with the first one chosen.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/oem_codepage.h"
#include "drives/drives_folder.h"

namespace dulvex::drives {

// One medium to bind: a PATH (to the first free letter) or --drive L=PATH (to L).
struct DriveRequest {
  std::optional<char> letter;
  std::filesystem::path path;
};

struct CommandLine {
  enum class Action { Run, Help, Version, Check };
  Action action = Action::Run;
  std::vector<DriveRequest> media;      // in the order given
  std::filesystem::path drivesDir;      // --drives DIR; empty when not given
  std::optional<OemCodePage> codePage;  // --codepage CP
  std::string error;                    // one line when the arguments are bad
  std::filesystem::path check;          // --check PATH: the medium to check, without a window
  bool json = false;                    // --json: the findings as JSON
};

// `args` are the arguments after the program's name. Checks everything that can be checked
// without the drives folder: each PATH exists and is an image file or a block device, each
// letter lies in A to R and is named once, --drives names a folder.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

std::string UsageText();
std::string VersionText();

// Binds the media into `folder`: each --drive letter as named; each PATH to the letter of
// the same file named earlier on the line, else to the letter that already leads to it, else
// to a free letter (FirstFreeLetter) that no --drive names. Returns the letters in the order
// of `media`, or an error line. A PATH that finds no free letter is an error, or with
// `leaveWhenFull` is left unbound and listed in `leftOver`.
struct Bindings {
  std::vector<char> letters;
  std::vector<std::filesystem::path> leftOver;
  std::string error;
};
Bindings BindMedia(const std::filesystem::path& folder, const std::vector<DriveRequest>& media,
                   bool leaveWhenFull = false);

// Everything the program does with its command line before the window opens.
struct Start {
  int exitCode = -1;  // 0 or more: print `out` (to stdout) or `err` (to stderr) and end
  std::string out, err;
  std::vector<std::string> warnings;  // shown on stderr; the program still starts
  DrivesFolder folder;
  // The letter chosen at start: the first one bound by the command line, or without media
  // there the first letter from A: whose medium can be read.
  std::optional<char> choose;
  std::vector<std::string> images;  // image files given, newest last, for the Recent list
  // Media the window opens once it is up, asking which letter each replaces (see `terminal`).
  std::vector<std::string> openInWindow;
  std::optional<OemCodePage> codePage;  // of short names, when the command line names one
  std::filesystem::path check;          // --check PATH: check it, print the findings and end
  bool json = false;
};
// `terminal`: the program's error output is a terminal. Without one (a start from a desktop
// menu or a file manager) a medium for which no letter is free is left to the window instead
// of ending the program with status 2.
Start PrepareStart(const std::vector<std::string>& args, const std::filesystem::path& exeDir,
                   const Environment& env, bool terminal = true);

}  // namespace dulvex::drives
