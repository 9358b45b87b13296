#include "help/install_help.h"

namespace dulvex {

void InstallHelp(WindowModel& model, HelpViewer& viewer, AboutHost& about,
                 const HelpOwner* mainWindow) {
  model.OnClick(kHelpMenu,
                [&model, &viewer, mainWindow](int) { mnuHelp_Click(model, viewer, mainWindow); });
  model.OnClick(kAboutMenu, [&about](int) { mnuAbout_Click(about, AppVersion()); });
}

}  // namespace dulvex
