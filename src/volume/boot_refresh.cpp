#include "volume/boot_refresh.h"

#include "sectorio/sector_io.h"
#include "view/sector_view.h"
#include "volume/boot_sector.h"

namespace dulvex {

namespace {

void EnableNavigation(WindowModel& model, bool enabled) {
  model.At(kStepButton[0]).enabled = enabled;
  model.At(kStepButton[1]).enabled = enabled;
  model.At(kSectorBox).enabled = enabled;
}

// The failure tail: the device cannot be read.
void RefreshFailed(WindowModel& model) {
  model.prompter().MessageBox("TRY TO SET ANOTHER DEVICE/VOLUME.", kStyleExclamation, AppTitle());
  EnableNavigation(model, false);
  model.At(kDeviceName).caption = "-";
}

}  // namespace

void EnableGeometryTools(WindowModel& model) {
  for (ControlId tool : kGeometryTools) model.At(tool).enabled = model.state.geometryUsable;
}

void Command3_Click(WindowModel& model) {
  ++model.state.refreshes;
  // The grid shows no sector of the device until this refresh shows one: a paste must not
  // take the bytes of another medium that was behind the letter before. Should no sector be
  // shown, the grid shows its old bytes greyed.
  const std::optional<ShownSector> was =
      model.state.lastShown ? model.state.lastShown : model.state.staleShown;
  model.state.lastShown.reset();
  if (!Leggi_MBR(model).ok()) {
    model.state.geometryUsable = false;
    EnableGeometryTools(model);
    RefreshFailed(model);
    SettleSectorNumber(model);
    MarkGridStale(model, was);
    return;
  }
  const BootSectorReading reading =
      ReadBootSector(model.state.BootSectorBuffer, model.state.geometry);
  model.state.geometry = reading.geometry;
  model.state.geometryUsable = reading.outcome == BootSectorOutcome::Complete;
  for (const PanelText& t : reading.texts) model.At(t.box).caption = t.text;
  for (const PanelText& t : reading.tooltips) model.At(t.box).tooltip = t.text;
  EnableGeometryTools(model);
  EnableNavigation(model, true);
  model.At(kToolsMenu).enabled = true;
  if (!model.state.geometryUsable) {
    model.prompter().MessageBox("Not a FAT volume this program can analyse: " + reading.refusal +
                                    ". Its sectors can be shown; the tools that need the FAT "
                                    "layout stay off.",
                                kStyleExclamation, AppTitle());
  }
  SettleSectorNumber(model);
  ShowSector(model);
  MarkGridStale(model, was);
}

}  // namespace dulvex
