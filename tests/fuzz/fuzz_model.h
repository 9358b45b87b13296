// The main-window model the fuzz targets share: built once, as at start-up, with a scripted
// prompter that answers every box.
#pragma once

#include "wiring/form1.h"
#include "app/scripted_prompter.h"
#include "app/window_model.h"

inline dulvex::WindowModel& FuzzModel() {
  static dulvex::ScriptedPrompter prompter;
  static dulvex::WindowModel* model = [] {
    auto* m = new dulvex::WindowModel(prompter);
    dulvex::BuildForm1(*m);
    return m;
  }();
  return *model;
}
