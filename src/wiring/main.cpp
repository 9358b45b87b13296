// Dulvex Hex Editor: reads the command line, binds the letters it names, then wires the
// window model, its handlers and the Qt layer together.
#include <QApplication>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "check/headless.h"
#include "commands/write_commands.h"
#include "drives/command_line.h"
#include "drives/drive_letters.h"
#include "journal/journal.h"
#include "ui/chain_report_window.h"
#include "ui/code_page_setting.h"
#include "ui/find_dialog.h"
#include "ui/help_window.h"
#include "ui/history_window.h"
#include "ui/main_window.h"
#include "ui/qt_drives_shell.h"
#include "ui/qt_prompter.h"
#include "ui/qt_work_runner.h"
#include "wiring/form1.h"

namespace {

// The folder of the real executable: bin/dulvex may be a symbolic link to it, and its
// files (HELP.rtf, samples/) lie beside the real one.
std::filesystem::path ExeDir(const char* argv0) {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) exe = std::filesystem::absolute(argv0);
  return exe.parent_path();
}

// For the installed-program test: DULVEX_STARTUP_REPORT=FILE writes what the window shows
// after start-up (the device chosen and the 512 hex cells) into FILE, and ends the program.
void ReportAndQuit(const dulvex::WindowModel& model, const char* file) {
  std::ofstream out(file);
  out << "device " << model.state.DevicePath << "\n";
  out << "sector " << model.Find(dulvex::kSectorBox)->caption << "\n";
  for (const dulvex::Control* cell : model.Label3) out << cell->caption << "\n";
  QCoreApplication::exit(out ? 0 : 1);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const std::filesystem::path exeDir = ExeDir(argv[0]);
  const dulvex::drives::Start start =
      dulvex::drives::PrepareStart(args, exeDir, dulvex::drives::ProcessEnvironment());
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
  if (!start.images.empty()) {
    std::vector<std::string> recent = dulvex::ui::LoadRecentImages();
    for (const std::string& image : start.images) {
      recent = dulvex::drives::WithRecent(recent, image);
    }
    dulvex::ui::SaveRecentImages(recent);
  }
  dulvex::ui::QtPrompter prompter;
  dulvex::ui::QtFindAsker findAsker;
  QWidget* dialogParent = nullptr;  // the main window, once it is made
  const auto drivesShell = dulvex::ui::QtDrivesShell([&dialogParent] { return dialogParent; });
  dulvex::WindowModel model(prompter);
  model.exeDir = exeDir;
  model.state.drivesDir = start.folder.path;
  model.state.journalFile = dulvex::journal::DefaultJournalFile();
  dulvex::BuildForm1(model, {&findAsker, drivesShell});
  dulvex::ui::InstallCodePageSetting(model, start.codePage);
  dulvex::ui::MainWindow window(model);
  dialogParent = &window;
  prompter.SetParent(&window);
  prompter.beforeBox = [&window] { window.Refresh(); };
  findAsker.SetParent(&window);
  dulvex::ui::AddFindNextKey(window, model, [&window] { window.Refresh(); });
  dulvex::ui::QtWorkRunner runner(model, &window);
  runner.afterDone = [&window] { window.Refresh(); };
  model.SetRunner(runner);
  dulvex::ui::InstallHelpWindows(model, &window);
  dulvex::ui::InstallChainReportWindow(model, &window, [&window] { window.Refresh(); });
  dulvex::ui::InstallHistoryWindow(model, &window, [&window] { window.Refresh(); });
  dulvex::ui::ConnectDrives(window, model, drivesShell);
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
    if (const char* report = std::getenv("DULVEX_STARTUP_REPORT")) ReportAndQuit(model, report);
  });
  return QApplication::exec();
}
