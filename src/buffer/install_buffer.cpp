// The event handlers of selection, copy buffer, editing and paste.
#include "buffer/buffer.h"

namespace dulvex {

void InstallBuffer(WindowModel& model, Clipboard* clipboard) {
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
  model.OnGridKey([&model](std::string_view keys) { return MoveCursor(model, keys); });
  const auto noClipboard = [&model] {
    model.prompter().MessageBox("There is no clipboard to use here.", kStyleExclamation, "");
  };
  model.OnClick(kCopyHex, [&model, clipboard, noClipboard](int) {
    clipboard ? CopySelection(model, *clipboard, true) : noClipboard();
  });
  model.OnClick(kCopyText, [&model, clipboard, noClipboard](int) {
    clipboard ? CopySelection(model, *clipboard, false) : noClipboard();
  });
  model.OnClick(kPasteClipboard, [&model, clipboard, noClipboard](int) {
    clipboard ? PasteFromClipboard(model, *clipboard) : noClipboard();
  });
}

}  // namespace dulvex
