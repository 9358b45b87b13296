#include "drives/command_line.h"

#include <algorithm>

#include "base/escape.h"
#include "base/version.h"
#include "drives/drive_letters.h"

namespace dulvex::drives {

namespace fs = std::filesystem;

namespace {

// An option's value: the text after "=" in "--drive=E=x.img", else the next argument.
bool OptionValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
                 std::string& value) {
  const std::string& arg = args[i];
  if (arg.size() > name.size() && arg[name.size()] == '=') {
    value = arg.substr(name.size() + 1);
    return true;
  }
  if (i + 1 >= args.size()) return false;
  value = args[++i];
  return true;
}

bool IsOption(const std::string& arg, const std::string& name) {
  return arg == name || arg.rfind(name + "=", 0) == 0;
}

// One medium of the command line, checked: the letter of "L=PATH" (when given) and the path.
std::string AddMedium(CommandLine& cl, std::optional<char> letter, const std::string& path) {
  if (const Status medium = CheckMedium(path); !medium.ok())
    return EscapeControls(path) + ": " + medium.Describe();
  cl.media.push_back({letter, path});
  return {};
}

std::string ReadArgs(CommandLine& cl, const std::vector<std::string>& args) {
  bool onlyPaths = false;
  std::string taken;  // letters named by --drive
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string value;
    if (onlyPaths || arg.empty() || arg[0] != '-' || arg == "-") {
      std::string problem = AddMedium(cl, std::nullopt, arg);
      if (!problem.empty()) return problem;
    } else if (arg == "--") {
      onlyPaths = true;
    } else if (IsOption(arg, "--drive")) {
      if (!OptionValue(args, i, "--drive", value))
        return "--drive needs L=PATH, for example --drive E=/dev/sdb1";
      const std::size_t eq = value.find('=');
      const std::string shown = "--drive " + EscapeControls(value);
      if (eq == std::string::npos || eq + 1 == value.size()) {
        return shown + ": give a letter and a path, for example --drive E=/dev/sdb1";
      }
      const std::optional<char> letter = ParseLetter(value.substr(0, eq));
      if (!letter) return shown + ": the letter must be one of A to R";
      if (taken.find(*letter) != std::string::npos) {
        return shown + ": letter " + DeviceName(*letter) + " is given twice";
      }
      taken += *letter;
      std::string problem = AddMedium(cl, letter, value.substr(eq + 1));
      if (!problem.empty()) return problem;
    } else if (IsOption(arg, "--drives")) {
      if (!cl.drivesDir.empty()) return "--drives is given twice";
      if (!OptionValue(args, i, "--drives", value)) return "--drives needs a folder";
      std::error_code ec;
      if (!fs::is_directory(value, ec))
        return "--drives " + EscapeControls(value) + ": no such folder";
      cl.drivesDir = value;
    } else if (IsOption(arg, "--codepage")) {
      if (!OptionValue(args, i, "--codepage", value)) return "--codepage needs 850, 437 or 1252";
      cl.codePage = OemCodePageNamed(value);
      if (!cl.codePage) return "--codepage " + EscapeControls(value) + ": give 850, 437 or 1252";
    } else {
      return "unknown option " + EscapeControls(arg) + " (see dulvex --help)";
    }
  }
  return {};
}

// dulvex --check PATH [--json] [--codepage CP]: nothing else goes with them.
std::string ReadCheckArgs(CommandLine& cl, const std::vector<std::string>& args) {
  cl.action = CommandLine::Action::Check;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string value;
    if (args[i] == "--json") {
      cl.json = true;
    } else if (IsOption(args[i], "--codepage")) {
      if (!OptionValue(args, i, "--codepage", value)) return "--codepage needs 850, 437 or 1252";
      cl.codePage = OemCodePageNamed(value);
      if (!cl.codePage) return "--codepage " + EscapeControls(value) + ": give 850, 437 or 1252";
    } else if (IsOption(args[i], "--check") && cl.check.empty()) {
      if (!OptionValue(args, i, "--check", value) || value.empty())
        return "--check needs the PATH of an image file or a block device";
      if (const Status medium = CheckMedium(value); !medium.ok())
        return EscapeControls(value) + ": " + medium.Describe();
      cl.check = value;
    } else {
      return "--check takes one PATH, --json and --codepage, nothing else (see dulvex --help)";
    }
  }
  return {};
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") {
      cl.action = CommandLine::Action::Help;
      return cl;
    }
    if (arg == "--version") {
      cl.action = CommandLine::Action::Version;
      return cl;
    }
  }
  const auto options = std::find(args.begin(), args.end(), "--");
  const bool check = std::any_of(args.begin(), options,
                                 [](const std::string& a) { return IsOption(a, "--check"); });
  cl.error = check ? ReadCheckArgs(cl, args) : ReadArgs(cl, args);
  if (!cl.error.empty()) cl.media.clear();
  return cl;
}

std::string UsageText() {
  return "Usage: dulvex [--drive L=PATH]... [--drives DIR] [--codepage CP] [PATH]...\n"
         "       dulvex --check PATH [--json] [--codepage CP]\n"
         "Look at and change the raw 512-byte sectors of a volume, with a guide to FAT12/16/32.\n"
         "\n"
         "  PATH            an image file or a block device, bound to the first free letter\n"
         "                  from A: (or to the letter already bound to it)\n"
         "  --drive L=PATH  bind the letter L (A to R) to PATH\n"
         "  --drives DIR    keep the letters in the folder DIR\n"
         "  --check PATH    check the FAT volume on PATH without opening a window, never\n"
         "                  writing: print what is wrong and exit with 0 when nothing is,\n"
         "                  1 when something is, 2 on bad arguments\n"
         "  --json          with --check: print the findings as JSON\n"
         "  --codepage CP   read FAT short names in the OEM code page CP (850, 437 or 1252)\n"
         "                  for this run; else the File menu's setting, at first 850\n"
         "  --help          show this help and exit\n"
         "  --version       show the version and exit\n"
         "\n"
         "The first letter bound is chosen at start. Letters are entries of the drives folder:\n"
         "the folder drives beside the program when there is one, else\n"
         "$XDG_DATA_HOME/dulvex/drives (~/.local/share/dulvex/drives).\n";
}

std::string VersionText() {
  const VersionRecord& v = AppVersion();
  return "dulvex " + std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
         std::to_string(v.revision) + "\n";
}

Bindings BindMedia(const fs::path& folder, const std::vector<DriveRequest>& media,
                   bool leaveWhenFull) {
  Bindings b;
  std::string taken;
  for (const DriveRequest& m : media) {
    if (m.letter) taken += *m.letter;
  }
  // Every letter is settled before anything is bound, so bad arguments bind nothing.
  std::vector<std::optional<char>> settled;  // one for each medium; nothing for one left over
  for (std::size_t i = 0; i < media.size(); ++i) {
    const DriveRequest& m = media[i];
    std::optional<char> letter = m.letter;
    // The same file named twice ("floppy.img ./floppy.img") takes one letter.
    for (std::size_t j = 0; j < i && !letter; ++j) {
      if (settled[j] && SameFile(media[j].path, m.path)) letter = settled[j];
    }
    if (!letter) {
      letter = LetterOf(folder, m.path);
      if (letter && taken.find(*letter) != std::string::npos) letter.reset();
      if (!letter) letter = FirstFreeLetter(folder, taken);
      if (!letter && leaveWhenFull) {
        settled.emplace_back();
        b.leftOver.push_back(m.path);
        continue;
      }
    }
    if (!letter) {
      b.error = EscapeControls(m.path.string()) +
                ": no free letter (A: to R: all hold a medium in " +
                EscapeControls(folder.string()) + ")";
      b.letters.clear();
      return b;
    }
    taken += *letter;
    settled.push_back(letter);
    b.letters.push_back(*letter);
    const Status free = LetterOf(folder, m.path) == letter ? Status() : CanBind(folder, *letter);
    if (!free.ok()) {
      b.error = free.Describe();
      b.letters.clear();
      return b;
    }
  }
  for (std::size_t i = 0; i < media.size(); ++i) {
    if (!settled[i] || LetterOf(folder, media[i].path) == settled[i]) continue;  // bound there
    if (const Status bound = Bind(folder, *settled[i], media[i].path); !bound.ok()) {
      b.error = bound.Describe();
      return b;
    }
  }
  return b;
}

Start PrepareStart(const std::vector<std::string>& args, const fs::path& exeDir,
                   const Environment& env, bool terminal) {
  Start s;
  const CommandLine cl = ParseCommandLine(args);
  if (cl.action == CommandLine::Action::Help) {
    s.exitCode = 0;
    s.out = UsageText();
    return s;
  }
  if (cl.action == CommandLine::Action::Version) {
    s.exitCode = 0;
    s.out = VersionText();
    return s;
  }
  if (!cl.error.empty()) {
    s.exitCode = 2;
    s.err = "dulvex: " + cl.error + "\n";
    return s;
  }
  if (cl.action == CommandLine::Action::Check) {
    s.check = cl.check;
    s.json = cl.json;
    s.codePage = cl.codePage;
    return s;
  }
  s.folder = ChooseDrivesFolder(exeDir, cl.drivesDir, env);
  if (s.folder.path.empty()) {
    s.exitCode = 1;
    s.err =
        "dulvex: no home folder to keep the letters in: set HOME or XDG_DATA_HOME, or give "
        "--drives DIR\n";
    return s;
  }
  if (s.folder.perUser)
    s.warnings = PrepareUserFolder(s.folder.path, SamplesDir(ProgramDataDir(exeDir)));
  // Started from a desktop (no terminal to read an error), a medium that finds every letter
  // holding one is left to the window, which asks which letter it replaces.
  const Bindings b = BindMedia(s.folder.path, cl.media, !terminal);
  if (!b.error.empty()) {
    // Letters that could not be settled are a fault of the arguments; a binding that
    // failed after they were settled is one of the folder.
    s.exitCode = b.letters.empty() ? 2 : 1;
    s.err = "dulvex: " + b.error + "\n";
    return s;
  }
  s.choose = b.letters.empty() ? FirstReadableLetter(s.folder.path)
                               : std::optional<char>(b.letters.front());
  for (const fs::path& path : b.leftOver) s.openInWindow.push_back(path.string());
  s.codePage = cl.codePage;
  for (const DriveRequest& m : cl.media) {
    if (IsImageFile(m.path)) s.images.push_back(fs::absolute(m.path).lexically_normal().string());
  }
  return s;
}

}  // namespace dulvex::drives
