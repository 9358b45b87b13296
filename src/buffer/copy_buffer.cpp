// The copy buffer board: copying positions of the sector grid into it, emptying it, and
// showing it.
#include "buffer/buffer.h"
#include "core/form1_design.h"

namespace dulvex {

namespace {

// Entry i takes the captions of position i, the text cell's marked colour and the colour
// the grid's hex cell has now (an analysis colour included).
void CopyPosition(WindowModel& model, std::size_t i) {
  model.LabelB55[i]->caption = model.Label55[i]->caption;
  model.LabelB55[i]->back = TextMarkedColour;
  model.LabelB3[i]->caption = model.Label3[i]->caption;
  model.LabelB3[i]->back = model.Label3[i]->back;
}

}  // namespace

void Command2_Click(WindowModel& model) {
  model.At(kBufferPanel).visible = true;
  // Entries of unselected positions keep what they hold, so repeated copies accumulate.
  for (std::size_t i = 0; i < 512; ++i) {
    if (model.Label55[i]->back == TextMarkedColour) CopyPosition(model, i);
  }
}

void Command9_Click(WindowModel& model) {
  model.At(kBufferPanel).visible = true;
  for (std::size_t i = 0; i < 512; ++i) {
    model.Label55[i]->back = TextMarkedColour;
    model.Label3[i]->back = HexMarkedColour;
    CopyPosition(model, i);
  }
}

void Command8_Click(WindowModel& model) {
  // The bold marks of edited entries stay, as does the panel.
  for (std::size_t i = 0; i < 512; ++i) {
    model.LabelB3[i]->caption = "--";
    model.LabelB3[i]->back = BoardHexEmptyColour;
    model.LabelB55[i]->caption = "-";
    model.LabelB55[i]->back = BoardTextEmptyColour;
  }
}

void mnuCopyB_Click(WindowModel& model) {
  model.At(kVolumePanel).visible = false;
  model.At(kBufferPanel).visible = true;
}

}  // namespace dulvex
