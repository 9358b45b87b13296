// The OEM code page of FAT short names, kept in the user's settings (QSettings
// "Dulvex"/"dulvex", key shortNameCodePage).
#pragma once

#include <optional>

#include "base/oem_codepage.h"
#include "core/window_model.h"

namespace dulvex::ui {

// Sets the model's code page: `fromCommandLine` when given (for this run only), else the
// one kept in the settings; and keeps each later choice of File > Short-Name Code Page.
void InstallCodePageSetting(WindowModel& model, std::optional<OemCodePage> fromCommandLine);

}  // namespace dulvex::ui
