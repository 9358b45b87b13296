#include "volume/boot_refresh.h"

#include "app/sector_io.h"
#include "view/sector_view.h"

namespace dulvex {

namespace {

void EnableNavigation(WindowModel& model, bool enabled) {
  model.At("Command1", 0).enabled = enabled;
  model.At("Command1", 1).enabled = enabled;
  model.At("Text21").enabled = enabled;
}

// The failure tail: the device or its boot sector cannot be used.
void RefreshFailed(WindowModel& model) {
  model.prompter().MessageBox("TRY TO SET ANOTHER DEVICE/VOLUME.", kStyleExclamation, AppTitle());
  EnableNavigation(model, false);
  model.At("Label58").caption = "-";
}

}  // namespace

void Command3_Click(WindowModel& model) {
  if (!Leggi_MBR(model)) {
    RefreshFailed(model);
    return;
  }
  EnableNavigation(model, true);
  model.At("mnuTolls").enabled = true;
  ShowSector(model);
}

}  // namespace dulvex
