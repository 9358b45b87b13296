#include "volume/volume_menu.h"

#include "volume/boot_refresh.h"

namespace dulvex {

void mnuA_Click(WindowModel& model, int index) {
  if (index >= 0 && index <= 17) {
    model.state.DevicePath = std::string(1, static_cast<char>('A' + index)) + ":";
  }
  model.At(kDeviceName).caption = model.state.DevicePath;
  Command3_Click(model);
}

void mnUsci_Click(WindowModel& model) {
  model.quitRequested = true;
  if (model.quit) model.quit();
}

void InstallDeviceSelection(WindowModel& model) {
  model.OnClick(kVolumeLetter, [&model](int index) { mnuA_Click(model, index); });
  model.OnClick(kExit, [&model](int) { mnUsci_Click(model); });
  model.OnClick(kRefreshBoot, [&model](int) { Command3_Click(model); });
}

}  // namespace dulvex
