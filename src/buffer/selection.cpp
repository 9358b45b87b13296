// Selection of byte positions of the sector grid. The state of a position is the pair of
// background colours of its hex and text cells.
#include "buffer/buffer.h"
#include "core/form1_design.h"

namespace dulvex {

namespace {

bool IsPosition(int index) {
  return index >= 0 && index <= 511;
}

void SetPosition(WindowModel& model, std::size_t i, bool selected) {
  model.Label3[i]->back = selected ? HexMarkedColour : HexPlainColour;
  model.Label55[i]->back = selected ? TextMarkedColour : TextPlainColour;
}

}  // namespace

void Label3_Click(WindowModel& model, int index) {
  if (!IsPosition(index)) return;
  const auto i = static_cast<std::size_t>(index);
  // Any colour but the plain one (marked, or painted by the directory analysis) unselects.
  SetPosition(model, i, model.Label3[i]->back == HexPlainColour);
}

void Label55_Click(WindowModel& model, int index) {
  if (!IsPosition(index)) return;
  const auto i = static_cast<std::size_t>(index);
  SetPosition(model, i, model.Label55[i]->back == TextPlainColour);
}

void ResetSelection(WindowModel& model) {
  for (std::size_t i = 0; i < 512; ++i) {
    model.Label55[i]->back = TextPlainColour;
    model.Label3[i]->back = HexPlainColour;
  }
}

}  // namespace dulvex
