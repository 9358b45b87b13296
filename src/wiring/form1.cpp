#include "wiring/form1.h"

#include "base/version.h"
#include "buffer/buffer.h"
#include "commands/find_command.h"
#include "commands/open_commands.h"
#include "commands/write_commands.h"
#include "core/form1_design.h"
#include "direntry/dir_panel.h"
#include "fattools/fat_tools.h"
#include "view/sector_view.h"
#include "volume/volume_commands.h"
#include "volume/volume_menu.h"

namespace dulvex {

void BuildForm1(WindowModel& model) {
  AddForm1Design(model);
  model.At("Form1").caption = VersionCaption(AppVersion());
  Caselle(model);
  Caselle_Board(model);
  InstallDeviceSelection(model);
  InstallSectorView(model);
  InstallBuffer(model);
  InstallVolume(model);
  InstallDirEntry(model);
  InstallFatTools(model);
  drives::InstallDrives(model);
  InstallWriteJournal(model);
  search::InstallSearch(model);
}

}  // namespace dulvex
