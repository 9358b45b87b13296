// Selection of byte positions of the sector grid, and the grid's cell cursor. The state of a
// position is the pair of background colours of its hex and text cells.
#include <algorithm>

#include "buffer/buffer.h"
#include "core/form1_design.h"
#include "core/shortcuts.h"

namespace dulvex {

namespace {

bool IsPosition(int index) {
  return index >= 0 && index <= 511;
}

void SetPosition(WindowModel& model, std::size_t i, bool selected) {
  model.Label3[i]->back = selected ? HexMarkedColour : HexPlainColour;
  model.Label55[i]->back = selected ? TextMarkedColour : TextPlainColour;
}

// A click on a cell puts the cursor there; Shift moves start again from it.
void PutCursor(WindowModel& model, int index) {
  model.state.cursor = index;
  model.state.cursorAnchor = -1;
  model.state.cursorLeads = true;
}

// The selection becomes the run from `a` to `b` (either way round): positions selected outside
// it are made plain, those inside selected.
void SelectRun(WindowModel& model, int a, int b) {
  const auto first = static_cast<std::size_t>(std::min(a, b));
  const auto last = static_cast<std::size_t>(std::max(a, b));
  for (std::size_t i = 0; i < 512; ++i) {
    const bool inside = i >= first && i <= last;
    if (inside || model.Label55[i]->back == TextMarkedColour) SetPosition(model, i, inside);
  }
}

}  // namespace

bool MoveCursor(WindowModel& model, std::string_view keys) {
  const std::optional<CursorKey> key = CursorKeyOf(keys);
  if (!key) return false;
  AppState& s = model.state;
  const int from = std::clamp(s.cursor, 0, 511);
  int to = from;
  switch (key->move) {
    case CursorMove::Left:
      to = std::max(from - 1, 0);
      break;
    case CursorMove::Right:
      to = std::min(from + 1, 511);
      break;
    case CursorMove::Up:
      to = from >= 16 ? from - 16 : from;
      break;
    case CursorMove::Down:
      to = from + 16 <= 511 ? from + 16 : from;
      break;
    case CursorMove::RowStart:
      to = from - from % 16;
      break;
    case CursorMove::RowEnd:
      to = from - from % 16 + 15;
      break;
  }
  if (key->extend) {
    if (s.cursorAnchor < 0) s.cursorAnchor = from;
    SelectRun(model, s.cursorAnchor, to);
  } else {
    s.cursorAnchor = -1;
  }
  s.cursor = to;
  s.cursorLeads = true;
  return true;
}

void Label3_Click(WindowModel& model, int index) {
  if (!IsPosition(index)) return;
  PutCursor(model, index);
  const auto i = static_cast<std::size_t>(index);
  // Any colour but the plain one (marked, or painted by the directory analysis) unselects.
  SetPosition(model, i, model.Label3[i]->back == HexPlainColour);
}

void Label55_Click(WindowModel& model, int index) {
  if (!IsPosition(index)) return;
  PutCursor(model, index);
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
