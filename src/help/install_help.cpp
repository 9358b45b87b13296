#include "help/install_help.h"

namespace dulvex {

void InstallHelp(WindowModel& model, HelpViewer& viewer, AboutHost& about,
                 const HelpOwner* mainWindow) {
  model.OnClick("mnuHelp",
                [&model, &viewer, mainWindow](int) { mnuHelp_Click(model, viewer, mainWindow); });
  model.OnClick("mnuAbout", [&about](int) { mnuAbout_Click(about, AppVersion()); });
}

}  // namespace dulvex
