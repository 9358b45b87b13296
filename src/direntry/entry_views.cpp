#include "direntry/entry_views.h"

#include "core/form1_design.h"

namespace dulvex {

namespace {

// Sets bytes first..last of a colour table to one colour.
void Fill(EntryColours& colours, int first, int last, Rgb colour) {
  for (int k = first; k <= last; ++k) colours[static_cast<std::size_t>(k)] = colour;
}

EntryColours MakeShortColours() {
  EntryColours c{};  // bytes 0-7 (name part) and 12 (reserved) stay unpainted
  Fill(c, 8, 10, kExtColour);
  Fill(c, 11, 11, kAttrColour);
  Fill(c, 13, 13, kFineTimeColour);
  Fill(c, 14, 15, kTimeColour);
  Fill(c, 16, 17, kDateColour);
  Fill(c, 18, 19, kNameColour);
  Fill(c, 20, 21, kClusterHighColour);
  Fill(c, 22, 23, kTimeColour);
  Fill(c, 24, 25, kDateColour);
  Fill(c, 26, 27, kClusterLowColour);
  Fill(c, 28, 31, kAttrColour);
  return c;
}

EntryColours MakeLongColours() {
  EntryColours c{};
  Fill(c, 0, 0, kAttrColour);
  Fill(c, 1, 10, kNameColour);
  Fill(c, 11, 11, kAttrColour);
  Fill(c, 12, 12, HexPlainColour);
  Fill(c, 13, 13, kFineTimeColour);
  Fill(c, 14, 25, kNameColour);
  Fill(c, 26, 27, kClusterLowColour);
  Fill(c, 28, 31, kNameColour);
  return c;
}

void Paint(WindowModel& model, std::int16_t offset, const EntryColours& colours) {
  if (offset < 0 || offset > 512 - 32) return;
  for (std::size_t k = 0; k < 32; ++k) {
    if (!colours[k]) continue;
    Control* cell = model.Label3[static_cast<std::size_t>(offset) + k];
    if (cell != nullptr) cell->back = *colours[k];
  }
}

}  // namespace

const EntryColours& ShortEntryColours() {
  static const EntryColours colours = MakeShortColours();
  return colours;
}

const EntryColours& LongEntryColours() {
  static const EntryColours colours = MakeLongColours();
  return colours;
}

void ShortEntryView(WindowModel& model, std::int16_t offset) {
  Paint(model, offset, ShortEntryColours());
}

void LongEntryView(WindowModel& model, std::int16_t offset) {
  Paint(model, offset, LongEntryColours());
}

}  // namespace dulvex
