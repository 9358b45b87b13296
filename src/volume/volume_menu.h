// The Volume menu (choosing a device by its letter) and "EXIT Program".
#pragma once

#include "core/window_model.h"

namespace dulvex {

// Choosing item k (0 to 17) of the Volume menu: DevicePath becomes "A:" ... "R:", Label58
// shows it, and the boot-sector refresh runs.
void mnuA_Click(WindowModel& model, int index);

// "EXIT Program": ends the program at once.
void mnUsci_Click(WindowModel& model);

void InstallDeviceSelection(WindowModel& model);

}  // namespace dulvex
