// Helpers for the tests and the scenario runner: a temporary folder, images made zero-filled
// or by mkfs.fat, byte access that bypasses the device layer, and a fresh window model.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "commands/find_command.h"
#include "commands/open_commands.h"
#include "core/window_model.h"
#include "support/faulty_reader.h"
#include "support/inline_work_runner.h"
#include "support/memory_clipboard.h"
#include "support/scripted_find_asker.h"
#include "support/scripted_prompter.h"
#include "support/test_io.h"
#include "wiring/form1.h"

namespace dulvex::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
struct TempDir {
  TempDir();
  ~TempDir() { std::filesystem::remove_all(path_, ec_); }
  TempDir(TempDir&&) = delete;  // nor copied: the folder is removed once
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path path_;
  std::error_code ec_;
};

void MakeZeroImage(const std::filesystem::path& file, std::uint64_t sectors);  // sparse
// Formats `sectors` (even) sectors with mkfs.fat `options` ("-F 12 -n FLOPPY"); throws on failure.
void MakeFatImage(const std::filesystem::path& file, std::uint64_t sectors,
                  const std::string& options);
// Runs a shell command; returns its output. Throws when it exits non-zero.
std::string RunCommand(const std::string& command);
// Reads up to `count` bytes, or writes bytes, at sector * 512 + offset of `file`.
std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file, std::uint64_t sector,
                                    std::uint64_t offset, std::size_t count);
void PokeBytes(const std::filesystem::path& file, std::uint64_t sector, std::uint64_t offset,
               const std::vector<std::uint8_t>& bytes);

// Builds `model` as at start-up with `shell`, over `folder`: its drives/ (made here), its own
// journal, and `folder` as the executable's folder.
void BuildModel(WindowModel& model, const std::filesystem::path& folder, const Form1Shell& shell);

// A main-window model built as at start-up, with a scripted prompter, long work run at once
// and a temporary drives/.
struct ModelFixture {
  TempDir dir;
  ScriptedPrompter prompter;
  InlineWorkRunner runner;
  search::ScriptedFindAsker findAsker;  // answers "Find String"
  // How the search reads the media: the program's way, with read faults tests add.
  device::FaultyOpener bulkOpener{device::DefaultOpener()};
  TestIo io;  // the media's calls, as the test wants them
  MemoryClipboard clipboard;
  WindowModel model{prompter, runner};
  // `drives`: the shell of the open commands (drives::MemoryShell() when none).
  ModelFixture(std::shared_ptr<drives::DrivesShell> drives = nullptr);  // NOLINT: implicit for {}
  std::filesystem::path Drive(char c) const { return dir.path() / "drives" / std::string(1, c); }
  void Choose(char letter) { model.Click("mnuA", letter - 'A'); }  // from the Volume menu
};

}  // namespace dulvex::testing
