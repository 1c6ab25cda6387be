// The run driver: settings from the command line or the console dialogue,
// then the run sequence over the printout file. Owns every table of the run.
#pragma once

#include "driver/capacities.hpp"

namespace pz {

// The whole program; returns the exit status (0 normal end, 1 stop,
// the failure number of a run-time failure). Without -large the tables
// have the fixed capacities given (smaller ones for tests).
int main_program(int argc, char** argv, const Capacities& fixed = {});

}  // namespace pz
