// Run settings, from the command line or, when it names no printout file,
// from the console dialogue.
//
//   printzone [-yz|-xz|-xy|-xyz] [-z zonefile] [-w listfile] [-vtk] [-partial] printoutfile
//   printzone -h | --help
//
// Option words are compared exactly; the printout file name must be the
// last argument. The zone file is opened here and stays open for the run;
// the first line of the list file is read into WANT here.
#pragma once

#include <string>

#include "records/files.hpp"
#include "records/layouts.hpp"

namespace pz {

struct Settings {
  std::string FILE;  // printout file name (trailing blanks cut)
  int IOPT = 0;      // 0 automatic, 1 YZ, 2 XZ, 3 XY, 4 and above XYZ
  int IZONE = 0;     // 1 when a zone file is used
  std::string zone_name;
  LineReader zone_file;
  Text<600> WANT;    // a blank, then the list line in lower case
  int LWANT = 0;     // last non-blank column of WANT; 0 without a list
  bool vtk = false;  // -vtk: VTK files and a collection instead of zone-format plot files
  bool partial = false;  // -partial: the end of the file inside a table ends the printout
};

// Whether an argument is -h or --help: the run then only prints the usage.
bool wants_help(int argc, char** argv);
// The usage, on standard output.
void print_usage();

// Takes the settings from the arguments (argv[1..argc-1]) and, when no
// printout file name is among them, from the console dialogue.
void take_settings(Settings& settings, int argc, char** argv);

}  // namespace pz
