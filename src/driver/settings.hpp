// Run settings, from the command line or, when it names no printout file,
// from the console dialogue.
//
//   printzone [-yz|-xz|-xy|-xyz] [-z zonefile] [-w listfile] [-fe] [-vtk] [-plots]
//             [-history elementlist] [-partial] [-o folder] [-m meshfile] [-q]
//             [-j threads] [-large] printoutfile
//   printzone -h | --help
//   printzone --version
//
// Option words are compared exactly; the printout file name must be the
// last argument. The zone file is opened here and stays open for the run;
// the first line of the list file and the names of the history's list are
// read here.
#pragma once

#include <optional>
#include <string>

#include "driver/capacities.hpp"
#include "extract/tables.hpp"
#include "mesh/mesh.hpp"
#include "plot/history/history_format.hpp"
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
  bool plots = false;    // -plots: the zone-format plot files, beside what -fe, -vtk or -history write
  std::optional<HistoryList> history;  // -history: the elements whose history is written
  bool partial = false;  // -partial: the end of the file inside a table ends the printout
  std::string output_folder;                // -o: the plot files go there (made when missing)
  std::string mesh_file = default_mesh_file;  // -m: the mesh (and locat beside it)
  bool quiet = false;  // -q: no catalogue lines, no progress line
  int threads = 0;     // -j: printouts converted at once (0: one per CPU the process may use)
  Capacities capacities;  // -large: unbounded

  // Whether the zone-format plot files are written: asked for, or nothing
  // else is.
  bool zone_files() const { return plots || (!fe && !vtk && !history); }
  // Whether any plot file (of any format) is written: not so for a history alone.
  bool plot_files() const { return zone_files() || fe || vtk; }
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
