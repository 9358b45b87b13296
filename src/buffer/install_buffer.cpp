// The event handlers of selection, copy buffer, editing and paste.
#include "buffer/buffer.h"

namespace dulvex {

void InstallBuffer(WindowModel& model) {
  model.OnClick("Label3", [&model](int index) { Label3_Click(model, index); });
  model.OnClick("Label55", [&model](int index) { Label55_Click(model, index); });
  model.OnClick("Command7", [&model](int) { ResetSelection(model); });
  model.OnClick("Command2", [&model](int) { Command2_Click(model); });
  model.OnClick("Command9", [&model](int) { Command9_Click(model); });
  model.OnClick("Command8", [&model](int) { Command8_Click(model); });
  model.OnClick("mnuCopyB", [&model](int) { mnuCopyB_Click(model); });
  model.OnClick("LabelB3", [&model](int index) { LabelB3_Click(model, index); });
  model.OnClick("LabelB55", [&model](int index) { LabelB55_Click(model, index); });
  model.OnClick("Command5", [&model](int) { Command5_Click(model); });
  model.OnClick("Command10", [&model](int) { Command10_Click(model); });
}

}  // namespace dulvex
