// The run driver: settings from the command line or the console dialogue,
// then the run sequence over the printout file. Owns every table of the run.
#pragma once

namespace pz {

// The whole program; returns the exit status (0 normal end, 1 stop,
// the failure number of a run-time failure).
int main_program(int argc, char** argv);

}  // namespace pz
