#include "volume/boot_refresh.h"

#include "app/sector_io.h"
#include "view/sector_view.h"
#include "volume/boot_sector.h"

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
  ++model.state.refreshes;
  if (!Leggi_MBR(model)) {
    RefreshFailed(model);
    return;
  }
  BootSectorReading reading = ReadBootSector(model.state.BootSectorBuffer, model.state.geometry);
  model.state.geometry = reading.geometry;
  for (const PanelText& t : reading.texts) model.At(t.name, t.index).caption = t.text;

  switch (reading.outcome) {
    case BootSectorOutcome::Implausible:
      model.prompter().MessageBox("SOME INVALID DATA READ.", kStyleExclamation, AppTitle());
      RefreshFailed(model);
      return;
    case BootSectorOutcome::OutOfRange:
      // The panel shows the volume truthfully, but its sectors cannot be reached.
      model.prompter().MessageBox("Volume refused: " + reading.problem +
                                      " is out of range (sector numbers go from -2147483647 to "
                                      "2147483647).",
                                  kStyleExclamation, AppTitle());
      RefreshFailed(model);
      return;
    case BootSectorOutcome::Complete:
      break;
  }
  EnableNavigation(model, true);
  model.At("mnuTolls").enabled = true;
  ShowSector(model);
}

}  // namespace dulvex
