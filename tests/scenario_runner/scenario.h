// The scenario runner: plain-text scripts of user actions and expected states, run against
// a fresh headless main window (grammar in tests/scenarios/README.md).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace dulvex::scenario {

struct Totals {
  int passed = 0;  // expectations met
  int failed = 0;  // expectations missed, refused actions, syntax and run errors
};

// Runs one scenario file against a fresh model; writes one line per failure to `out`.
Totals RunFile(const std::string& file, std::ostream& out);

// Runs every file, then writes "N passed, M failed". Returns the process exit code: 0 when
// nothing failed, 1 otherwise.
int RunFiles(const std::vector<std::string>& files, std::ostream& out);

}  // namespace dulvex::scenario
