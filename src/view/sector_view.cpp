#include "view/sector_view.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "base/codepage.h"
#include "base/numbers.h"
#include "core/form1_design.h"
#include "sectorio/sector_io.h"
#include "view/landmarks.h"

namespace dulvex {

namespace {

constexpr double kCellWidth = 252;
// The text of the cells: black as designed, grey while their bytes are no longer known to
// be the device's.
constexpr Rgb kCellText = MakeRgb(0, 0, 0);
constexpr Rgb kStaleGrey = MakeRgb(150, 150, 150);
constexpr double kCellHeight = 240;

double BoxValue(WindowModel& model) {
  return NumericValue(model.At(kSectorBox).caption);
}

// The readouts of the number in Text21: its hex form and the landmark it names.
void ShowSectorNumber(WindowModel& model) {
  const double value = BoxValue(model);
  model.At(kSectorHex).caption = "0x" + Hex8(value);
  model.At(kLandmarkName).caption = LandmarkName(model.state, ToInt32(value));
}

// Change of Text21, by typing or by code.
void Text21_Change(WindowModel& model) {
  if (model.stepOverride) model.stepOverride(0);
  Control& text21 = model.At(kSectorBox);
  // A key typed keeps the text as it stands, so "2.5", "-5", "1e3" and "&H10" can be typed
  // one key at a time; any other change (a paste, the program) is made canonical at once.
  if (!model.keyTyping(text21)) {
    // Assigning a different text runs this handler again, nested; that run does the whole
    // work and this one goes on with the same text.
    model.SetText(text21, CanonicalText(NumericValue(text21.caption)));
  }
  ShowSectorNumber(model);
  for (int i = 0; i < 512; ++i) {
    model.Label55[i]->back = TextPlainColour;
    model.Label3[i]->back = HexPlainColour;
  }
}

void Command1_Click(WindowModel& model, int index) {
  if (model.stepOverride && model.stepOverride(index == 0 ? -1 : 1)) return;
  Control& text21 = model.At(kSectorBox);
  const double value = BoxValue(model);
  if (index == 0 && value > 0) model.SetText(text21, CanonicalText(value - 1));
  if (index == 1) model.SetText(text21, CanonicalText(value + 1));
  ShowSector(model);
}

void Label3_MouseMove(WindowModel& model, int index) {
  if (index < 0 || index > 511) return;
  model.At(kHoverReadout).caption = model.state.OffsetText[static_cast<std::size_t>(index)];
  int& last = model.state.LastHoverIndex;
  model.state.cursorLeads = false;
  if (index != last) {
    Control& previous = *model.Label3[static_cast<std::size_t>(last)];
    previous.width = kCellWidth;
    previous.height = kCellHeight;
    previous.fontSize = previous.caption == "00" ? 6 : 8;
    previous.bold = false;
  } else {
    Control& cell = *model.Label3[static_cast<std::size_t>(index)];
    cell.width = 290;
    cell.height = 300;
    cell.fontSize = 10;
    cell.bold = true;
  }
  last = index;
}

}  // namespace

void ShowSector(WindowModel& model) {
  model.SetMousePointer(kPointerHourglass);
  const double value = BoxValue(model);
  if (!ToInt32(value)) {
    // Refused before any device is touched, naming the number as the box shows it (a
    // clamped 64-bit number would name another one).
    model.prompter().MessageBox(
        "Read refused: " + OutOfSectorRange("sector number " + CanonicalText(value)) + ".",
        kStyleExclamation, AppTitle());
    model.SetMousePointer(kPointerDefault);
    return;
  }
  const std::int64_t n = ToInt64Clamped(value);
  TransferResult r = ReadSector(model, n, model.state.SectorBuffer);
  if (r.ok()) {
    // Recorded under the number in the box (a negative number reads sector 0), so a later
    // paste can tell that the grid shows the sector the box names, and that the device
    // still holds what the grid shows.
    model.state.lastShown =
        ShownSector{static_cast<std::int32_t>(n), model.state.DevicePath, model.state.SectorBuffer};
    model.state.staleShown.reset();
    model.At(kRowOffset[1]).caption = Hex8(value);
    DisplaySectorDue(model);
    for (const auto& listener : model.onSectorShown) listener();
  }
  model.SetMousePointer(kPointerDefault);
}

void SettleSectorNumber(WindowModel& model) {
  Control& text21 = model.At(kSectorBox);
  const std::string canonical = CanonicalText(NumericValue(text21.caption));
  if (text21.caption != canonical) {
    model.SetText(text21, canonical);  // the change handler shows the readouts
  } else {
    ShowSectorNumber(model);
  }
}

void DisplaySectorDue(WindowModel& model) {
  const SectorBytes& bytes = model.state.SectorBuffer;
  for (std::size_t i = 0; i < 512; ++i) {
    const std::uint8_t b = bytes[i];
    Control& hex = *model.Label3[i];
    hex.fontSize = b == 0 ? 6 : 8;
    hex.caption = HexByte(b);
    hex.fore = kCellText;
    model.Label55[i]->caption = CellCharOfByte(b);
    model.Label55[i]->fore = kCellText;
  }
  // The texts of each offset never change: made once, copied on every display.
  static const auto kOffsetTexts = [] {
    std::array<std::pair<std::string, std::string>, 512> texts;  // tooltip, hover readout
    for (std::size_t i = 0; i < 512; ++i) {
      char hexIndex[8];
      std::snprintf(hexIndex, sizeof hexIndex, "%zX", i);
      texts[i] = {"hex:" + std::string(hexIndex) + " = dec:" + std::to_string(i),
                  "> " + std::to_string(i)};
    }
    return texts;
  }();
  for (std::size_t i = 0; i < 512; ++i) {
    model.Label3[i]->tooltip = kOffsetTexts[i].first;
    model.state.OffsetText[i] = kOffsetTexts[i].second;
  }
}

void MarkGridStale(WindowModel& model, const std::optional<ShownSector>& was) {
  if (!was || model.state.lastShown) return;
  model.state.staleShown = was;
  for (std::size_t i = 0; i < 512; ++i) model.Label3[i]->fore = model.Label55[i]->fore = kStaleGrey;
}

namespace {

// Whether a reply begins as a number does (after blanks, a sign and a point, a digit; or
// "&H" or "&O"), so that its value, 0 or not, is what was meant.
bool LooksNumeric(const std::string& text) {
  std::size_t i = text.find_first_not_of(" \t");
  if (i == std::string::npos) return false;
  if (text[i] == '&')
    return i + 1 < text.size() &&
           (text[i + 1] == 'H' || text[i + 1] == 'h' || text[i + 1] == 'O' || text[i + 1] == 'o');
  if (text[i] == '+' || text[i] == '-') ++i;
  if (i < text.size() && text[i] == '.') ++i;
  return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

}  // namespace

std::optional<double> AskWholeNumber(WindowModel& model, const std::string& prompt,
                                     const std::string& title, double lo, double hi,
                                     const std::string& suggestion) {
  std::string range = prompt;
  range += " (" + CanonicalText(lo) + " to " + CanonicalText(hi) + ").";
  std::string reason;
  std::string reply = suggestion;
  for (;;) {
    std::string asked = range;
    if (!reason.empty()) asked += "\n" + reason;
    reply = model.prompter().InputBox(asked, title, reply);
    if (reply.empty()) return std::nullopt;  // Cancel
    const double value = NumericValue(reply);
    if (!LooksNumeric(reply)) {
      reason = "\"" + reply + "\" is not a number.";
    } else if (value != std::floor(value)) {
      reason = CanonicalText(value) + " is not a whole number.";
    } else if (value < lo) {
      reason = CanonicalText(value) + " is below the first, " + CanonicalText(lo) + ".";
    } else if (value > hi) {
      reason = CanonicalText(value) + " is past the last, " + CanonicalText(hi) + ".";
    } else {
      return value;
    }
  }
}

namespace {

// The sector box and the steps are usable: a volume has been chosen.
bool CanMove(WindowModel& model) {
  return model.Reachable(model.At(kSectorBox));
}

// The last sector of the volume as its boot sector gives it, else the largest the box takes.
double LastSector(const AppState& state) {
  if (state.geometryUsable && state.geometry.TotSec > 0)
    return static_cast<double>(state.geometry.TotSec) - 1;
  return 2147483647;
}

void MoveTo(WindowModel& model, double sector) {
  if (model.stepOverride) model.stepOverride(0);
  model.SetText(model.At(kSectorBox), CanonicalText(sector));
  ShowSector(model);
}

}  // namespace

void InstallSectorView(WindowModel& model) {
  model.OnClick(kPreviousSector, [&model](int) { model.Click(kStepButton[kStepBack]); });
  model.OnClick(kNextSector, [&model](int) { model.Click(kStepButton[kStepForward]); });
  model.OnClick(kFirstSector, [&model](int) {
    if (CanMove(model)) MoveTo(model, 0);
  });
  model.OnClick(kLastSector, [&model](int) {
    if (CanMove(model)) MoveTo(model, LastSector(model.state));
  });
  model.OnClick(kGotoSector, [&model](int) {
    if (!CanMove(model)) return;
    const std::optional<double> sector =
        AskWholeNumber(model, "Go to sector", "Go to Sector", 0, LastSector(model.state),
                       model.At(kSectorBox).caption);
    if (sector) MoveTo(model, *sector);
  });
  model.OnChange(kSectorBox, [&model] { Text21_Change(model); });
  model.OnKey(kSectorBox, [&model](int code) {
    if (code == 13) {
      if (model.stepOverride) model.stepOverride(0);
      SettleSectorNumber(model);
      ShowSector(model);
    }
  });
  model.OnLostFocus(kSectorBox, [&model] { SettleSectorNumber(model); });
  model.OnClick(kStepButton, [&model](int index) { Command1_Click(model, index); });
  model.OnHover(kHexCell, [&model](int index) { Label3_MouseMove(model, index); });
}

}  // namespace dulvex
