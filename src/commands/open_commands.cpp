#include "commands/open_commands.h"

#include <algorithm>
#include <optional>

#include "base/escape.h"
#include "drives/drive_info.h"
#include "drives/drive_letters.h"
#include "sectorio/sector_io.h"

namespace dulvex::drives {

namespace fs = std::filesystem;

namespace {

constexpr const char* kOpenImageTitle = "Open Image";
constexpr const char* kImageFilter =
    "Disk images (*.img *.ima *.vfd *.bin *.raw *.dd);;All files (*)";

void ShowRecent(WindowModel& model, const std::vector<std::string>& list) {
  for (std::size_t k = 0; k < kRecentCount; ++k) {
    Control& item = model.At(kRecentFile[static_cast<int>(k)]);
    item.visible = k < list.size();
    item.caption = item.visible ? EscapeControls(list[k]) : "";  // the path itself: list[k]
    item.tooltip = item.caption;
  }
  model.At(kRecentMenu).enabled = !list.empty();
}

void Remember(WindowModel& model, DrivesShell& shell, const std::string& path) {
  const std::vector<std::string> list = WithRecent(shell.loadRecent(), path);
  shell.saveRecent(list);
  ShowRecent(model, list);
}

void Warn(WindowModel& model, const std::string& text) {
  model.prompter().MessageBox(text, kStyleExclamation, AppTitle());
}

// Every letter is bound: the user names the one to bind `path` to instead. Nothing on cancel.
std::optional<char> AskLetter(WindowModel& model, const std::string& path) {
  const fs::path& folder = model.state.drivesDir;
  for (;;) {
    const std::string answer =
        model.prompter().InputBox("All letters A: to R: are bound. Which letter should " +
                                      EscapeControls(path) + " replace? (A to R)",
                                  AppTitle(), "");
    if (answer.empty()) return std::nullopt;
    const std::optional<char> letter = ParseLetter(answer);
    if (!letter) {
      Warn(model, "\"" + EscapeControls(answer) + "\" is not a letter from A to R.");
      continue;
    }
    const Status refused = CanBind(folder, *letter);
    if (refused.ok()) return letter;
    Warn(model, refused.Describe() + ".");
  }
}

// Binds `path` without choosing it: the letter it is bound to, or nothing (the reason shown).
std::optional<char> BindPath(WindowModel& model, DrivesShell& shell, const std::string& path) {
  const fs::path& folder = model.state.drivesDir;
  if (const Status medium = CheckMedium(path); !medium.ok()) {
    Warn(model, "Cannot open " + EscapeControls(path) + ": " + medium.Describe() + ".");
    return std::nullopt;
  }
  std::optional<char> letter = LetterOf(folder, path);
  if (!letter) {
    letter = FirstFreeLetter(folder);
    if (!letter) letter = AskLetter(model, path);
    if (!letter) return std::nullopt;
    if (const Status bound = Bind(folder, *letter, path); !bound.ok()) {
      Warn(model, bound.Describe() + ".");
      return std::nullopt;
    }
  }
  if (IsImageFile(path)) Remember(model, shell, fs::absolute(path).lexically_normal().string());
  RefreshLetterTips(model);
  return letter;
}

void Choose(WindowModel& model, char letter) {
  model.Click(kVolumeLetter[letter - kFirstLetter]);
}

void OpenImage(WindowModel& model, DrivesShell& shell) {
  const std::vector<std::string> recent = shell.loadRecent();
  const std::string start = recent.empty() ? "" : fs::path(recent.front()).parent_path().string();
  const std::string path =
      model.prompter().FileDialog(Prompter::FileMode::Open, kOpenImageTitle, start, kImageFilter);
  if (!path.empty()) OpenMedium(model, shell, path);
}

void OpenDevice(WindowModel& model, DrivesShell& shell) {
  const std::string path = shell.chooseDevice ? shell.chooseDevice() : "";
  if (!path.empty()) OpenMedium(model, shell, path);
}

void OpenRecent(WindowModel& model, DrivesShell& shell, int index) {
  std::vector<std::string> list = shell.loadRecent();
  if (index < 0 || static_cast<std::size_t>(index) >= list.size()) return;
  const std::string path = list[static_cast<std::size_t>(index)];
  if (IsImageFile(path)) {
    OpenMedium(model, shell, path);
    return;
  }
  Warn(model, "Cannot open " + EscapeControls(path) + ": " + CheckMedium(path).Describe() +
                  ". It is taken off the Recent list.");
  list.erase(list.begin() + index);
  shell.saveRecent(list);
  ShowRecent(model, list);
}

}  // namespace

std::shared_ptr<DrivesShell> MemoryShell() {
  auto list = std::make_shared<std::vector<std::string>>();
  auto shell = std::make_shared<DrivesShell>();
  shell->loadRecent = [list] { return *list; };
  shell->saveRecent = [list](const std::vector<std::string>& l) { *list = l; };
  return shell;
}

void InstallDrives(WindowModel& model, std::shared_ptr<DrivesShell> shell) {
  if (!shell) shell = MemoryShell();
  model.OnClick(kOpenImage, [&model, shell](int) { OpenImage(model, *shell); });
  model.OnClick(kOpenDevice, [&model, shell](int) { OpenDevice(model, *shell); });
  model.OnClick(kRecentFile, [&model, shell](int index) { OpenRecent(model, *shell, index); });
  ShowRecent(model, shell->loadRecent());
  RefreshLetterTips(model);
}

Status OpenMedium(WindowModel& model, DrivesShell& shell, const std::string& path) {
  const std::optional<char> letter = BindPath(model, shell, path);
  if (!letter) return Status(Cause::Refused);  // BindPath has said why
  Choose(model, *letter);
  return {};
}

void OpenDropped(WindowModel& model, DrivesShell& shell, const std::vector<std::string>& paths) {
  std::optional<char> first;
  for (const std::string& path : paths) {
    const std::optional<char> letter = BindPath(model, shell, path);
    if (!first) first = letter;
  }
  if (first) Choose(model, *first);
}

void RefreshLetterTips(WindowModel& model) {
  for (char c = kFirstLetter; c <= kLastLetter; ++c) {
    model.At(kVolumeLetter[c - kFirstLetter]).tooltip = DescribeLetter(model.state.drivesDir, c);
  }
}

std::vector<std::string> WithRecent(std::vector<std::string> list, const std::string& path) {
  list.erase(std::remove(list.begin(), list.end(), path), list.end());
  list.insert(list.begin(), path);
  if (list.size() > kRecentCount) list.resize(kRecentCount);
  return list;
}

}  // namespace dulvex::drives
