#include "driver/settings.hpp"

#include <unistd.h>

#include <cstdio>

#include "records/failure.hpp"

namespace pz {

namespace {

constexpr Routine routine = Routine::main_program;

// An argument or a typed file name, whole but for trailing blanks (a name
// padded by a script, an answer with blanks after it).
std::string argument(std::string_view a) {
  while (!a.empty() && a.back() == ' ') a.remove_suffix(1);
  return std::string(a);
}

// The number of a -j option: 1 to most_threads.
bool thread_count(std::string_view text, int& threads) {
  int n = 0;
  if (text.empty() || text.size() > 3) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    n = 10 * n + (c - '0');
  }
  if (n < 1 || n > most_threads) return false;
  threads = n;
  return true;
}

void read_list(Settings& s, const std::string& name) {
  LineReader list;
  list.open(name, Source{unit::list, name}, routine);
  s.wanted.emplace(list.next_required());
}

// The projection of an option answer: 0 automatic, 1 YZ, 2 XZ, 3 XY, 4 and
// above XYZ.
Projection projection_of(int answer) {
  switch (answer) {
    case 0: return Projection::automatic;
    case 1: return Projection::yz;
    case 2: return Projection::xz;
    case 3: return Projection::xy;
    default: return Projection::xyz;
  }
}

void dialogue(Settings& s) {
  LineReader in(LineReader::console_max_record);
  in.attach(STDIN_FILENO, console_in, routine);
  write_console("Input file name: ");
  // The answer as a C string: it ends at a NUL byte, if any.
  const std::string_view answer = in.next_required();
  s.printout_file = argument(answer.substr(0, answer.find('\0')));
  write_console(" \nMESH is: \n1)  YZ \n2) X Z \n3) XY  \n4) XYZ \nEnter option: ");
  s.projection = projection_of(read_option_answer(in.next_required(), console_in, routine));
  write_console(" \n");
}

constexpr std::string_view usage = R"(Usage: printzone [-yz | -xz | -xy | -xyz] [-z zonefile] [-w listfile] [-fe]
                 [-vtk] [-plots] [-history elementlist] [-partial] [-o folder]
                 [-m meshfile] [-q] [-j threads] [-large] printoutfile
       printzone -h | --help
       printzone --version

Writes one plot file per printout of a simulator's printout file. Options,
compared exactly, stand before the printout file name, in any order:
  -yz, -xz, -xy  plot in that plane, cells traced from the mesh connections
  -xyz           three-dimensional points, no cells; with -vtk or -fe, the
                 mesh's boxes as volumes (hexahedra of eight element centres)
                 (none of these: the plane across the smallest extent)
  -z zonefile    take the cells and zones from the zone file
  -w listfile    extract only the table columns named on its first line
  -fe            write the zone format's finite-element form (run.out.1.dat),
                 which VTK, ParaView and meshio read, instead of the plot files
                 (points in no cell or box are not shown in it: use -vtk)
  -vtk           write VTK files instead of zone-format plot files (with -fe,
                 both); each point also carries its element's place in MESH
  -history elementlist
                 write the history of the elements the file lists, one name
                 a line, to run.out.history.csv: a row per printout and
                 element with all its values; alone, no plot file is written
  -plots         write the zone-format plot files too (beside -fe, -vtk or
                 -history, which otherwise replace them)
  -partial       a printout file that ends inside a table (a run still going,
                 a cut file): write that printout from the rows read, with a
                 warning, instead of ending with failure 24 (a last line cut
                 short, without its line end, is left out)
  -o folder      write the plot files into that folder (created when missing)
                 instead of beside the printout file
  -m meshfile    read the mesh from that file instead of MESH in the working
                 directory, and locat, when needed, from the same folder; a
                 simulator input file gives the mesh of its ELEME and CONNE
                 blocks
  -q             leave out the " Found printout" lines and the progress line
  -j threads     convert that many printouts at once (default: one per CPU
                 the program may use; -j 1 converts one after another); the
                 output is the same
  -large         a model past the fixed sizes: more than 99 999 elements,
                 1 199 999 connections or 140 000 cells, more than 120 values
                 per element, 20 columns per table or 600 characters of
                 names; the tables grow with the input, and the plot files'
                 counts and point numbers take the columns they need
  -h, --help     print this help and end
  --version      print the version and end
Without a printout file name the program asks for it and for the plane.

Files read: MESH (in the working directory, or the -m file), locat (beside
it, when every coordinate in the mesh is zero), the printout file, and the
zone and list files named above.

Files written, named after the printout file with its name lower-cased
(run.out for Run.Out), beside it or in the -o folder:
  run.out.1, run.out.2, ...  one zone-format plot file per printout; with -fe:
  run.out.1.dat, ...         one finite-element zone file per printout; with -vtk:
  run.out.1.vtu, ...         one VTK unstructured grid per printout; with -z,
                             run.out.1.vtm, a block per zone (run.out.1_1.vtu)
  run.out.pvd                with -vtk, the time series of them all
  run.out.history.csv        with -history, the listed elements' values

While a printout file over 50 MB is read, a progress line is redrawn on
standard error when it is a terminal.

Exit status: 0 normal end; 1 a stop (its message on standard error); a
run-time failure ends with its number: 9 permission denied, 24 end of file
during read, 29 file not found, 30 open failure, 38 error during write,
39 error during read, 64 input conversion error.
)";

}  // namespace

bool wants_help(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argument(argv[i]);
    if (a == "-h" || a == "--help") return true;
  }
  return false;
}

bool wants_version(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (argument(argv[i]) == "--version") return true;
  }
  return false;
}

void print_usage() { write_console(usage); }

void print_version() { write_console("printzone " PRINTZONE_VERSION "\n"); }

void take_settings(Settings& s, int argc, char** argv) {
  const int last = argc - 1;
  for (int i = 1; i <= last; ++i) {
    const std::string arg = argument(argv[i]);
    if (arg.empty() || arg[0] != '-') {
      if (i < last)
        stop("too many arguments", "'" + argument(argv[i + 1]) + "' stands after the printout file name '" + arg +
                                       "'; the printout file name comes last");
      s.printout_file = arg;
      return;  // the printout file name: no dialogue
    }
    if (arg == "-yz") s.projection = Projection::yz;
    else if (arg == "-xz") s.projection = Projection::xz;
    else if (arg == "-xy") s.projection = Projection::xy;
    else if (arg == "-xyz") s.projection = Projection::xyz;
    else if (arg == "-fe") s.fe = true;
    else if (arg == "-vtk") s.vtk = true;
    else if (arg == "-plots") s.plots = true;
    else if (arg == "-partial") s.partial = true;
    else if (arg == "-q") s.quiet = true;
    else if (arg == "-large") s.capacities = Capacities::unbounded();
    else if (arg == "-z" && i < last) {
      s.use_zone_file = true;
      const std::string name = argument(argv[++i]);
      s.zone_file.open(name, Source{unit::zone, name}, routine);
    } else if (arg == "-w" && i < last) {
      read_list(s, argument(argv[++i]));
    } else if (arg == "-history" && i < last) {
      s.history = read_history_list(argument(argv[++i]));
    } else if (arg == "-o" && i < last) {
      s.output_folder = argument(argv[++i]);
    } else if (arg == "-m" && i < last) {
      s.mesh_file = argument(argv[++i]);
    } else if (arg == "-j" && i < last && thread_count(argument(argv[i + 1]), s.threads)) {
      ++i;
    } else if (arg == "-j") {
      stop("unknown argument", "'-j' needs a number of threads from 1 to " + std::to_string(most_threads) +
                                   " after it; try 'printzone --help'");
    } else if (arg == "-z" || arg == "-w" || arg == "-history" || arg == "-o" || arg == "-m") {
      stop("unknown argument", "'" + arg + "' needs a file name after it; try 'printzone --help'");
    } else {
      stop("unknown argument", "'" + arg + "' is not an option; try 'printzone --help'");
    }
  }
  dialogue(s);
}

}  // namespace pz
