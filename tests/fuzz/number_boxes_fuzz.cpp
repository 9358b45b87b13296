// libFuzzer: -max_len=256 -dict=numbers.dict
// Typed numbers and texts through the window: the sector box Text21 (keys, paste, leaving
// it, Enter, "<" and ">"), the answer to Go to Cluster, the answer to the paste offset and
// the two board edits.
// Byte 0 chooses the path, bytes 1 and 2 (a, b) give cells or the volume's numbers, and the
// rest are the typed texts, each ended by a byte 0. The message boxes answer No, so nothing
// is written.
#include <string>

#include "base/codepage.h"
#include "buffer/buffer.h"
#include "core/form1_design.h"
#include "fuzz_model.h"
#include "volume/boot_refresh.h"

namespace {

// Up to eight answers for the boxes that come back until the answer is right.
void QueueAnswers(FuzzWindow& w, InputReader& in) {
  for (int n = 0; n < 8 && !in.AtEnd(); ++n) w.prompter.inputAnswers.push_back(in.Text());
}

void SectorBox(FuzzWindow& w, InputReader& in, int, int, int) {
  dulvex::WindowModel& model = w.model;
  dulvex::Control& box = model.At("Text21");
  // Enabled as after a volume was chosen.
  box.enabled = model.At("Command1", 0).enabled = model.At("Command1", 1).enabled = true;
  for (int step = 0; step < 4 && !in.AtEnd(); ++step) {
    // Typed key by key a half-typed text stays until the focus leaves; a paste is settled
    // at once.
    if (step % 2 == 1) {
      Check(model.TypeKey(box, in.Text()));
      CheckSectorBox(model, false);
      Check(model.LostFocus("Text21"));
    } else {
      Check(model.Type(box, in.Text()));
    }
    CheckSectorBox(model);
    Check(model.Key("Text21", 13) && model.Click("Command1", 1));  // Enter, then ">"
    CheckSectorBox(model);
    Check(model.Click("Command1", 0));  // "<"
    CheckSectorBox(model);
  }
}

void GoToCluster(FuzzWindow& w, InputReader& in, int a, int b, int) {
  dulvex::WindowModel& model = w.model;
  dulvex::VolumeGeometry& g = model.state.geometry;
  g.BPB_SecPerClus = a;
  g.CountofClusters = std::int64_t{b - 16} * 4096;  // none (0 or less) below b = 17
  g.Cluster0Sector = std::int64_t{b - 128} * 1000;
  QueueAnswers(w, in);
  model.state.geometryUsable = true;  // as after the refresh of a FAT volume
  model.At("mnuTolls").enabled = true;
  dulvex::EnableGeometryTools(model);
  Check(model.Click("mnuGoto_Cluster"));
  CheckSectorBox(model);
}

// A sector shown (so a paste may land on it), a run of filled board entries, and offsets.
void PasteOffset(FuzzWindow& w, InputReader& in, int a, int b, int) {
  dulvex::WindowModel& model = w.model;
  const std::size_t first = static_cast<std::size_t>(a % 64 * 8), count = b % 64 + 1u;
  for (std::size_t i = first; i < first + count && i < 512; ++i) {
    model.LabelB3[i]->back = dulvex::HexMarkedColour;
    model.LabelB55[i]->back = dulvex::TextMarkedColour;
    model.LabelB3[i]->caption = dulvex::HexByte(static_cast<std::uint8_t>(i));
  }
  model.SetText(model.At("Text21"), "5");
  model.state.lastShown = dulvex::ShownSector{5, model.state.DevicePath};
  QueueAnswers(w, in);
  const std::size_t answers = w.prompter.inputAnswers.size();
  Check(model.Click("Command10"));
  const auto& shown = w.prompter.shown;
  // The offset box comes back until an offset from 0 to 511 or a cancel; then one question.
  Check(!shown.empty() && shown.size() <= answers + 2);
  for (std::size_t k = 0; k + 1 < shown.size(); ++k) Check(shown[k].input);
}

// A board cell edited by its hex cell (path 3: a byte) or its text cell (a text from there on).
void BoardEdit(FuzzWindow& w, InputReader& in, int a, int b, int path) {
  const bool text = path == 4;
  dulvex::WindowModel& model = w.model;
  const int index = (a << 8 | b) % 512;
  const std::string answer = in.Text();
  w.prompter.inputAnswers.push_back(answer);
  Check(model.Click(text ? "LabelB55" : "LabelB3", index));
  if (answer.empty()) return;
  std::size_t d = static_cast<std::size_t>(index);
  if (!text) {
    const std::uint32_t v = dulvex::LeadingHexValue(answer);
    if (v <= 255) Check(model.LabelB3[d]->caption == dulvex::HexByte(static_cast<std::uint8_t>(v)));
    return;
  }
  for (char32_t c : dulvex::DecodeUtf8(answer)) {
    if (d > 511) break;
    Check(model.LabelB3[d]->caption == dulvex::HexByte(dulvex::ByteOfChar(c)));
    Check(model.LabelB55[d]->back == dulvex::TextMarkedColour);
    Check(!model.LabelB55[d]->caption.empty());
    ++d;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzWindow& w = dulvex::fuzz::Window();
  const dulvex::WindowModel& model = w.Fresh();
  InputReader in(data, size);
  using Path = void (*)(FuzzWindow&, InputReader&, int a, int b, int path);
  constexpr Path kPaths[] = {SectorBox, GoToCluster, PasteOffset, BoardEdit, BoardEdit};
  const int path = in.Byte() % 5, a = in.Byte(), b = in.Byte();
  kPaths[path](w, in, a, b, path);
  // Whatever was typed, every board entry shows a byte or the empty "--".
  for (const dulvex::Control* cell : model.LabelB3) {
    Check(cell->caption == "--" || dulvex::HexByte(static_cast<std::uint8_t>(
                                       dulvex::LeadingHexValue(cell->caption))) == cell->caption);
  }
  return 0;
}
