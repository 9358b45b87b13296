// Dulvex Hex Editor: reads the command line, binds the letters it names, then wires the
// window model, its handlers and the Qt layer together.
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "check/headless.h"
#include "commands/open_commands.h"
#include "commands/write_commands.h"
#include "core/controls.h"
#include "device/medium_io.h"
#include "drives/command_line.h"
#include "drives/drive_letters.h"
#include "drives/drives_folder.h"
#include "journal/journal.h"
#include "ui/code_page_setting.h"
#include "ui/program_windows.h"
#include "ui/qt_drives_shell.h"
#include "wiring/form1.h"

namespace {

// The folder of the real executable: bin/dulvex may be a symbolic link to it, and its
// files (HELP.rtf, samples/) are found from the real one.
std::filesystem::path ExeDir(const char* argv0) {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) exe = std::filesystem::absolute(argv0);
  return exe.parent_path();
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const std::filesystem::path exeDir = ExeDir(argv[0]);
  const dulvex::drives::Start start = dulvex::drives::PrepareStart(
      args, exeDir, dulvex::drives::ProcessEnvironment(), ::isatty(STDERR_FILENO) == 1);
  for (const std::string& warning : start.warnings) {
    std::fprintf(stderr, "dulvex: %s\n", warning.c_str());
  }
  if (start.exitCode >= 0) {
    std::fputs(start.out.c_str(), stdout);
    std::fputs(start.err.c_str(), stderr);
    return start.exitCode;
  }
  // --check: the volume is checked and its findings printed, with no window at all.
  if (!start.check.empty()) {
    return dulvex::check::RunHeadlessCheck(start.check, start.json,
                                           start.codePage.value_or(dulvex::kDefaultOemCodePage),
                                           stdout, stderr);
  }

  // Qt sees only the program's name: every argument was the program's own.
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  // Qt takes the user's locale; the program's number texts always use "." as the point.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setStyle("Fusion");
  // The desktop entry's name: window managers match the window to it (icon, startup notice).
  QGuiApplication::setDesktopFileName("example.dulvex.hexeditor");
  if (!start.images.empty()) {
    std::vector<std::string> recent = dulvex::ui::LoadRecentImages();
    for (const std::string& image : start.images) {
      recent = dulvex::drives::WithRecent(recent, image);
    }
    dulvex::ui::SaveRecentImages(recent);
  }
  dulvex::ui::QtPrompter prompter;
  dulvex::ui::QtWorkRunner runner;
  dulvex::WindowModel model(prompter, runner);
  model.exeDir = dulvex::drives::ProgramDataDir(exeDir);
  model.state.drivesDir = start.folder.path;
  model.state.journalFile = dulvex::journal::DefaultJournalFile();
  model.state.io = &dulvex::device::SystemIo();
  dulvex::ui::ProgramWindows windows;
  dulvex::BuildForm1(model,
                     {windows.findAsker(), windows.drivesShell(), nullptr, windows.clipboard()});
  dulvex::ui::InstallCodePageSetting(model, start.codePage);
  windows.Open(model, prompter, runner);
  dulvex::ui::MainWindow& window = windows.window();
  window.show();
  // The first letter bound is chosen once the window is up, as if picked in the Volume menu.
  QTimer::singleShot(0, &window, [&] {
    // Writes that a stop cut off between the journal and the medium, told first.
    dulvex::AnnouncePendingWrites(model);
    window.Refresh();
    if (start.choose) {
      model.Click(dulvex::kVolumeLetter[*start.choose - dulvex::drives::kFirstLetter]);
      window.Refresh();
    }
    // Media of a desktop launch that found every letter holding one: the window asks which
    // letter each replaces, as Open Image does.
    for (const std::string& path : start.openInWindow) {
      dulvex::drives::OpenMedium(model, *windows.drivesShell(), path);
      window.Refresh();
    }
  });
  return QApplication::exec();
}
