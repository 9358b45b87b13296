// Which drives folder holds the letters, and the first start of a per-user one: the sample
// volumes unpacked from the small compressed images that come with the program.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "base/status.h"

namespace dulvex::drives {

// The variables of the environment that place the per-user folder.
struct Environment {
  std::string xdgDataHome;  // $XDG_DATA_HOME, empty when unset
  std::string home;         // $HOME
};
// The process's own; with HOME unset or empty, the home folder of the account's passwd entry.
Environment ProcessEnvironment();

struct DrivesFolder {
  std::filesystem::path path;
  // True for $XDG_DATA_HOME/dulvex/drives, the folder of an installed program.
  bool perUser = false;
};

// `chosen` (--drives) when given; else the folder "drives" beside the executable when there
// is one (the build tree, a portable copy); else $XDG_DATA_HOME/dulvex/drives, with
// ~/.local/share when XDG_DATA_HOME is unset or not absolute. An empty path when neither
// names an absolute folder.
DrivesFolder ChooseDrivesFolder(const std::filesystem::path& exeDir,
                                const std::filesystem::path& chosen, const Environment& env);

// The folder of the program's data files (HELP.rtf, samples/): beside the executable when
// HELP.rtf is there (the build tree, a portable copy), else share/dulvex of the prefix the
// program is installed in (<prefix>/bin/dulvex: ../share/dulvex).
std::filesystem::path ProgramDataDir(const std::filesystem::path& exeDir);

// The compressed sample volumes in the data folder: samples/A.img.gz ...
std::filesystem::path SamplesDir(const std::filesystem::path& dataDir);

// First start of a per-user folder: when `folder` does not exist yet, makes it, unpacks each
// sample L.img.gz of `samples` into the folder "samples" beside it, and binds letter L to
// that copy. Does nothing when the folder exists, so the user's bindings and changes stay.
// Returns the problems met, one line each; a volume that failed is left out whole.
std::vector<std::string> PrepareUserFolder(const std::filesystem::path& folder,
                                           const std::filesystem::path& samples);

// Unpacks the gzip file `gz` into `out` as a sparse file: runs of zero blocks are skipped,
// not written, so a mostly empty volume takes little room on disk. On failure `out` is not
// made.
Status UnpackSparse(const std::filesystem::path& gz, const std::filesystem::path& out);

}  // namespace dulvex::drives
