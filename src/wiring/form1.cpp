#include "wiring/form1.h"

#include "base/version.h"
#include "buffer/buffer.h"
#include "commands/check_command.h"
#include "commands/find_command.h"
#include "commands/open_commands.h"
#include "commands/status_line.h"
#include "commands/write_commands.h"
#include "core/form1_design.h"
#include "direntry/dir_panel.h"
#include "fattools/fat_tools.h"
#include "view/byte_values.h"
#include "view/sector_view.h"
#include "volume/volume_commands.h"
#include "volume/volume_menu.h"
#include "volume/volume_panel_design.h"

namespace dulvex {

void BuildForm1(WindowModel& model, const Form1Shell& shell) {
  // Every control first, then the handlers of the controls.
  AddForm1Design(model);
  AddVolumePanelDesign(model);
  AddDirPanelDesign(model);
  model.At(kForm).caption = VersionCaption(AppVersion());
  Caselle(model);
  Caselle_Board(model);
  InstallDeviceSelection(model);
  InstallSectorView(model);
  InstallBuffer(model, shell.clipboard);
  InstallVolume(model);
  InstallDirEntry(model);
  InstallFatTools(model);
  drives::InstallDrives(model, shell.drives);
  InstallWriteJournal(model);
  InstallCheckVolume(model);
  search::InstallSearch(model, shell.findAsker, shell.bulkOpener);
  InstallStatusLine(model);
  InstallInspector(model);
}

}  // namespace dulvex
