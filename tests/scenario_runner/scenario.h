// The scenario runner: plain-text scripts of user actions and expected states, each run
// against a fresh headless main window (grammar in tests/scenarios/README.md).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "scenario_runner/surface.h"

namespace dulvex::scenario {

// Runs every file on a fresh surface each (from `surface`; the model alone when none is
// given), writing one line per failure and then "N passed, M failed". Returns the exit code:
// 0 when nothing failed, 1 otherwise.
int RunFiles(const std::vector<std::string>& files, std::ostream& out,
             const SurfaceFactory& surface = nullptr);

}  // namespace dulvex::scenario
