#include "help/help_viewer.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

#include "base/numbers.h"

namespace dulvex {

namespace {

// The caption bar and borders of a window take 120 twips across and 480 down; the view
// gets the rest.
constexpr double kFrameWidth = 120;
constexpr double kFrameHeight = 480;

// A help file larger than this is not read.
constexpr std::uintmax_t kMaxHelpFileBytes = 64u << 20;

// Reads the whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& name, std::string& out) {
  try {
    std::error_code ec;
    std::uintmax_t size = std::filesystem::file_size(name, ec);
    if (ec || size > kMaxHelpFileBytes) return false;
    std::ifstream in(name, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
  } catch (...) {
    return false;
  }
}

}  // namespace

TwipsPoint HelpPlacement(std::int32_t mode, TwipsSize self, const TwipsRect* owner,
                         TwipsSize screen) {
  if ((mode == 0 || mode == 1) && owner == nullptr) mode = 2;
  double left = 0;
  double top = 0;
  switch (mode) {
    case 0:
      left = owner->left + owner->width - self.width;
      top = owner->top;
      break;
    case 1:
      left = owner->left + (owner->width - self.width) / 2;
      top = owner->top + (owner->height - self.height) / 2;
      break;
    case 2:
      left = (screen.width - self.width) / 2;
      top = (screen.height - self.height) / 2;
      break;
    default:
      break;
  }
  return {RoundHalfEven(left), RoundHalfEven(top)};
}

bool FileExists(const std::string& name) {
  try {
    std::error_code ec;
    [[maybe_unused]] std::uintmax_t size = std::filesystem::file_size(name, ec);
    return !ec;
  } catch (...) {
    return false;
  }
}

int HelpViewer::Apri(const std::string& NFileIstruzioni, const std::string& Titolo,
                     std::int32_t NPosizione, const HelpOwner* NSform) {
  NFileIstruzioni_ = NFileIstruzioni;
  NPosizione_ = NPosizione;
  NSform_ = NSform;
  if (!loaded_) {
    if (int err = host_.Create()) return err;
    loaded_ = true;
    Form_Load();
  }
  host_.SetCaption(" " + Titolo);
  return host_.Show();
}

void HelpViewer::Form_Load() {
  TwipsRect self = host_.OuterBounds();
  TwipsRect owner{};
  if (NSform_ != nullptr) owner = NSform_->OuterBounds();
  TwipsPoint at = HelpPlacement(NPosizione_, {self.width, self.height},
                                NSform_ != nullptr ? &owner : nullptr, host_.ScreenSize());
  host_.Move(at.left, at.top);
}

void HelpViewer::Form_Activate() {
  if (!loaded_ || reporting_) return;
  std::string bytes;
  // A file that has a length but cannot be read is reported like a missing one: the
  // window has nothing to show either way.
  if (FileExists(NFileIstruzioni_) && ReadWholeFile(NFileIstruzioni_, bytes)) {
    host_.ShowDocument(ReadRtf(bytes));
    return;
  }
  // The window must not go on showing an earlier document behind the report.
  host_.ShowDocument(RtfDocument{});
  reporting_ = true;
  model_.prompter().MessageBox("File Not Foud: " + NFileIstruzioni_, kStyleCritical, "-");
  reporting_ = false;
  loaded_ = false;
  host_.Close();
}

void HelpViewer::Form_Resize() {
  if (!loaded_ || host_.Minimized()) return;
  TwipsRect outer = host_.OuterBounds();
  host_.PlaceView(0, 0, std::max(1.0, outer.width - kFrameWidth),
                  std::max(1.0, outer.height - kFrameHeight));
}

void HelpViewer::Form_Unload() {
  loaded_ = false;
}

std::string HelpFilePath(const std::filesystem::path& exeDir) {
  std::string name = "\\HELP.rtf";
  std::replace(name.begin(), name.end(), '\\',
               static_cast<char>(std::filesystem::path::preferred_separator));
  return exeDir.string() + name;
}

void mnuHelp_Click(WindowModel& model, HelpViewer& viewer, const HelpOwner* mainWindow) {
  int err = viewer.Apri(HelpFilePath(model.exeDir), "Help", 2, mainWindow);
  if (err == 0) return;
  err = viewer.Apri("HELP.rtf", "Help", 2, mainWindow);
  if (err == 0) return;
  model.prompter().MessageBox("File Not Found!" + std::to_string(err), kStyleExclamation, "");
}

}  // namespace dulvex
