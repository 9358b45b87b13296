// The scenario surface of the real program window (tests/scenarios/README.md, "The real
// window"). Needs a QApplication.
#pragma once

#include "scenario_runner/surface.h"

namespace dulvex::scenario {

std::unique_ptr<Surface> MakeWindowSurface();

}  // namespace dulvex::scenario
