// dulvex_scenario FILE.scn...: runs scenario files against the headless main window.
#include <iostream>

#include "scenario_runner/scenario.h"

int main(int argc, char** argv) {
  if (argc < 2) return std::cerr << "usage: dulvex_scenario FILE.scn...\n", 2;
  return dulvex::scenario::RunFiles(std::vector<std::string>(argv + 1, argv + argc), std::cout);
}
