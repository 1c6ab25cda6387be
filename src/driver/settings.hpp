// Run settings, from the command line or, when it names no printout file,
// from the console dialogue.
//
//   printzone [-yz|-xz|-xy|-xyz] [-z zonefile] [-w listfile] [-fe] [-vtk] [-partial]
//             [-o folder] [-m meshfile] [-q] [-j threads] [-large] printoutfile
//   printzone -h | --help
//   printzone --version
//
// Option words are compared exactly; the printout file name must be the
// last argument. The zone file is opened here and stays open for the run;
// the first line of the list file is read here.
#pragma once

#include <optional>
#include <string>

#include "driver/capacities.hpp"
#include "extract/tables.hpp"
#include "mesh/mesh.hpp"
#include "records/files.hpp"

namespace pz {

// The most printouts -j converts at once.
inline constexpr int most_threads = 256;

struct Settings {
  std::string printout_file;  // trailing blanks cut
  Projection projection = Projection::automatic;
  bool use_zone_file = false;
  LineReader zone_file;                // open when use_zone_file
  std::optional<WantedList> wanted;    // -w: only the columns it names
  bool fe = false;       // -fe: the zone format's finite-element form instead of its plot files
  bool vtk = false;      // -vtk: VTK files and a collection instead of zone-format plot files
  bool partial = false;  // -partial: the end of the file inside a table ends the printout
  std::string output_folder;                // -o: the plot files go there (made when missing)
  std::string mesh_file = default_mesh_file;  // -m: the mesh (and locat beside it)
  bool quiet = false;  // -q: no catalogue lines, no progress line
  int threads = 0;     // -j: printouts converted at once (0: one per CPU the process may use)
  Capacities capacities;  // -large: unbounded
};

// Whether an argument is -h or --help: the run then only prints the usage.
bool wants_help(int argc, char** argv);
// Whether an argument is --version: the run then only prints the version.
bool wants_version(int argc, char** argv);
// The usage, on standard output.
void print_usage();
// "printzone <version>", on standard output.
void print_version();

// Takes the settings from the arguments (argv[1..argc-1]) and, when no
// printout file name is among them, from the console dialogue.
void take_settings(Settings& settings, int argc, char** argv);

}  // namespace pz
