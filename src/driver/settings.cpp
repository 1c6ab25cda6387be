#include "driver/settings.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "extract/inspect.hpp"
#include "records/failure.hpp"

namespace pz {

namespace {

constexpr std::string_view routine = "printzone";
constexpr std::size_t name_length = 240;

// An argument as the 240-column text FILE holds it, trailing blanks cut.
std::string argument(const char* arg) {
  std::string_view a(arg);
  a = a.substr(0, name_length);
  while (!a.empty() && a.back() == ' ') a.remove_suffix(1);
  return std::string(a);
}

void console(std::string_view text) { write_console(text, routine); }

void read_list(Settings& s, const std::string& name) {
  LineReader list;
  list.open(name, Source{unit::list, name}, routine);
  std::string_view first = list.next_required();
  s.WANT.c[0] = ' ';
  Text<599> line;
  line.assign(first);
  std::memcpy(s.WANT.c + 1, line.c, line.size);
  const Positions p = inspect(s.WANT.view(), s.WANT.c, s.WANT.size);
  s.LWANT = p.ILAST;
}

void dialogue(Settings& s) {
  LineReader in;
  in.attach(STDIN_FILENO, console_in, routine);
  console("Input file name: ");
  s.FILE = argument(std::string(in.next_required()).c_str());
  console(" \nMESH is: \n1)  YZ \n2) X Z \n3) XY  \n4) XYZ \nEnter option: ");
  s.IOPT = read_option_answer(in.next_required(), console_in, routine);
  console(" \n");
}

constexpr std::string_view usage = R"(Usage: printzone [-yz | -xz | -xy | -xyz] [-z zonefile] [-w listfile] [-vtk]
                 [-partial] printoutfile
       printzone -h | --help

Writes one plot file per printout of a simulator's printout file. Options,
compared exactly, stand before the printout file name, in any order:
  -yz, -xz, -xy  plot in that plane, cells traced from the mesh connections
  -xyz           three-dimensional points, no cells
                 (none of these: the plane across the smallest extent)
  -z zonefile    take the cells and zones from the zone file
  -w listfile    extract only the table columns named on its first line
  -vtk           write VTK files instead of zone-format plot files
  -partial       a printout file that ends inside a table (a run still going,
                 a cut file): write that printout from the rows read, with a
                 warning, instead of ending with failure 24
  -h, --help     print this help and end
Without a printout file name the program asks for it and for the plane.

Files read: MESH (in the working directory), locat (when every coordinate in
MESH is zero), the printout file, and the zone and list files named above.

Files written, named after the printout file with its name lower-cased
(run.out for Run.Out):
  run.out.1, run.out.2, ...  one zone-format plot file per printout; with -vtk:
  run.out.1.vtu, ...         one VTK unstructured grid per printout; with -z,
                             run.out.1.vtm, a block per zone (run.out.1_1.vtu)
  run.out.pvd                with -vtk, the time series of them all

Exit status: 0 normal end; 1 a stop (its message on standard error); a
run-time failure ends with its number: 9 permission denied, 24 end of file
during read, 29 file not found, 30 open failure, 38 error during write,
64 input conversion error.
)";

}  // namespace

bool wants_help(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argument(argv[i]);
    if (a == "-h" || a == "--help") return true;
  }
  return false;
}

void print_usage() { console(usage); }

void take_settings(Settings& s, int argc, char** argv) {
  const int N = argc - 1;
  for (int i = 1; i <= N; ++i) {
    s.FILE = argument(argv[i]);
    if (s.FILE.empty() || s.FILE[0] != '-') {
      if (i < N) stop("too many arguments");
      return;  // the printout file name: no dialogue
    }
    if (s.FILE == "-yz") s.IOPT = 1;
    else if (s.FILE == "-xz") s.IOPT = 2;
    else if (s.FILE == "-xy") s.IOPT = 3;
    else if (s.FILE == "-xyz") s.IOPT = 4;
    else if (s.FILE == "-vtk") s.vtk = true;
    else if (s.FILE == "-partial") s.partial = true;
    else if (s.FILE == "-z" && i < N) {
      s.IZONE = 1;
      s.FILE = argument(argv[++i]);
      s.zone_name = s.FILE;
      s.zone_file.open(s.zone_name, Source{unit::zone, s.zone_name}, routine);
    } else if (s.FILE == "-w" && i < N) {
      s.FILE = argument(argv[++i]);
      read_list(s, s.FILE);
    } else {
      stop("unknown argument");
    }
  }
  dialogue(s);
}

}  // namespace pz
