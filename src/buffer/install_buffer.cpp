// The event handlers of selection, copy buffer, editing and paste.
#include "buffer/buffer.h"

namespace dulvex {

void InstallBuffer(WindowModel& model) {
  model.OnClick(kHexCell, [&model](int index) { Label3_Click(model, index); });
  model.OnClick(kTextCell, [&model](int index) { Label55_Click(model, index); });
  model.OnClick(kResetSelection, [&model](int) { ResetSelection(model); });
  model.OnClick(kCopySelection, [&model](int) { Command2_Click(model); });
  model.OnClick(kCopySector, [&model](int) { Command9_Click(model); });
  model.OnClick(kResetBuffer, [&model](int) { Command8_Click(model); });
  model.OnClick(kCopyBufferMenu, [&model](int) { mnuCopyB_Click(model); });
  model.OnClick(kBoardHexCell, [&model](int index) { LabelB3_Click(model, index); });
  model.OnClick(kBoardTextCell, [&model](int index) { LabelB55_Click(model, index); });
  model.OnClick(kPasteSelection, [&model](int) { Command5_Click(model); });
  model.OnClick(kPasteWithOffset, [&model](int) { Command10_Click(model); });
}

}  // namespace dulvex
