// Editing the copy buffer board: a click unmarks a filled entry, or marks the entry and asks
// for a byte (hex cell) or for a text laid into consecutive entries (text cell).
#include <string>

#include "base/codepage.h"
#include "buffer/buffer.h"
#include "core/form1_design.h"

namespace dulvex {

namespace {

constexpr std::uint32_t kHexSaturation = 0x10000;

bool IsEntry(int index) {
  return index >= 0 && index <= 511;
}

// Marks entry i as filled and, when `edited`, bold as holding an edited value.
void MarkEntry(WindowModel& model, std::size_t i, bool edited) {
  model.LabelB3[i]->back = HexMarkedColour;
  model.LabelB55[i]->back = TextMarkedColour;
  model.LabelB3[i]->bold = edited;
  model.LabelB55[i]->bold = edited;
}

// The first step of both clicks: a filled entry (hex cell marked) is unmarked and the click
// ends (returns true); any other entry is marked bold before anything is asked.
bool UnmarkOrMark(WindowModel& model, std::size_t i) {
  if (model.LabelB3[i]->back == HexMarkedColour) {
    model.LabelB3[i]->back = BoardHexEmptyColour;
    model.LabelB55[i]->back = BoardTextEmptyColour;
    model.LabelB3[i]->bold = false;
    model.LabelB55[i]->bold = false;
    return true;
  }
  MarkEntry(model, i, true);
  return false;
}

void EndCancelledEdit(WindowModel& model, std::size_t i) {
  model.LabelB3[i]->bold = false;
  model.LabelB55[i]->bold = false;
}

// The text caption of a character: the character itself; NUL is shown by its symbol so a
// caption never holds an invisible terminator.
std::string CaptionOfChar(char32_t c) {
  return c == 0 ? std::string(kNulPlaceholder) : EncodeUtf8(c);
}

}  // namespace

std::uint32_t LeadingHexValue(std::string_view text) {
  std::uint32_t value = 0;
  for (char ch : text) {
    int digit;
    if (ch >= '0' && ch <= '9') {
      digit = ch - '0';
    } else if (ch >= 'A' && ch <= 'F') {
      digit = ch - 'A' + 10;
    } else if (ch >= 'a' && ch <= 'f') {
      digit = ch - 'a' + 10;
    } else {
      break;
    }
    value = value * 16 + static_cast<std::uint32_t>(digit);
    if (value >= kHexSaturation) return kHexSaturation;
  }
  return value;
}

std::optional<std::uint8_t> TypedByte(std::string_view text) {
  const std::uint32_t v = LeadingHexValue(text);
  if (v > 255) return std::nullopt;
  return static_cast<std::uint8_t>(v);
}

void EnterByte(WindowModel& model, std::size_t index, std::uint8_t b) {
  MarkEntry(model, index, true);
  model.LabelB3[index]->caption = HexByte(b);
  model.LabelB55[index]->caption = VisibleCharOfByte(b);
}

void LabelB3_Click(WindowModel& model, int index) {
  if (!IsEntry(index)) return;
  const auto i = static_cast<std::size_t>(index);
  if (UnmarkOrMark(model, i)) return;
  for (;;) {
    // The default is the entry's current caption: "--" for one that never held a value.
    const std::string answer =
        model.prompter().InputBox("INSERT A NEW HEX VALUE (00-FF)", "", model.LabelB3[i]->caption);
    if (answer.empty()) {
      EndCancelledEdit(model, i);
      return;
    }
    const std::optional<std::uint8_t> b = TypedByte(answer);
    if (!b) continue;  // the box comes back until a byte or a cancel
    EnterByte(model, i, *b);
    return;
  }
}

void LabelB55_Click(WindowModel& model, int index) {
  if (!IsEntry(index)) return;
  const auto i = static_cast<std::size_t>(index);
  if (UnmarkOrMark(model, i)) return;
  const std::string answer = model.prompter().InputBox(
      "INSERT A NEW TEXT STARTING FROM LOCATION:" + std::to_string(index), "", "-");
  if (answer.empty()) {
    EndCancelledEdit(model, i);
    return;
  }
  // One entry per character from the clicked one on; what passes entry 511 is dropped.
  std::size_t d = i;
  for (char32_t c : DecodeUtf8(answer)) {
    if (d > 511) break;
    model.LabelB55[d]->caption = CaptionOfChar(c);
    model.LabelB3[d]->caption = HexByte(ByteOfChar(c));
    MarkEntry(model, d, true);
    ++d;
  }
}

}  // namespace dulvex
