// The run sequence: settings, the mesh (and the cells) once, then one pass
// through the printout file.
//
// A printout begins at a header line, whose first non-blank characters are
// "total time" (any case, column 1 not counted), and the values line right
// after it; it runs to the next header line or the end of the file. Each
// printout is announced on the console,
//     " Found printout(" n "): " and columns 3-20 of its values line,
// and written to its own plot file when it ends. Inside a printout, lines
// whose first word begins with "elem" may head tables. With -vtk, the plot
// files are VTK files, listed in the run's collection file as they are done.
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <optional>

#include "cells/cells.hpp"
#include "driver/driver.hpp"
#include "driver/plot_file.hpp"
#include "driver/settings.hpp"
#include "driver/vtk_series.hpp"
#include "extract/tables.hpp"
#include "mesh/mesh.hpp"
#include "plot/plot.hpp"
#include "records/failure.hpp"

namespace pz {

namespace {

void catalogue(long n, std::string_view text) {
  std::string line = " Found printout(" + std::to_string(n) + "): ";
  line.append(text);
  line.push_back('\n');
  write_console(line, "printzone");
}

// Reads the next printout-file line into the scan's current line.
bool next_line(LineReader& in, ScanLine& line) {
  std::string_view record;
  if (!in.next(record)) return false;
  line.assign(record);
  return true;
}

struct Run {
  Settings settings;
  Mesh mesh;
  Cells cells;
  Points points;
  Values values;

  void printouts();
};

void Run::printouts() {
  LineReader in;
  in.open(settings.FILE, Source{unit::printout, settings.FILE}, "printzone");
  const TableSettings table_settings{settings.IOPT, settings.WANT.view(), settings.LWANT, settings.partial};

  std::optional<VtkSeries> series;
  if (settings.vtk) series.emplace(settings.FILE);

  ScanLine line;
  Line values_line;
  long NPRNT = 0;
  for (;;) {
    while (!line.is_header()) {
      if (!next_line(in, line)) return;
    }
    std::string_view record;
    if (!in.next(record)) return;  // a header line ending the file starts no printout
    values_line.assign(record);
    ++NPRNT;
    catalogue(NPRNT, values_line.cols(3, 20));
    const std::string plot_name = plot_file_name(settings.FILE, NPRNT);
    const std::string file = series ? VtkSeries::file_name(plot_name, settings.IZONE != 0) : plot_name;
    PlotFile plot(file);

    values.NVAL = 0;
    values.start_header(settings.IOPT, true);
    bool at_end = false;
    for (;;) {
      if (!next_line(in, line)) {
        at_end = true;
        break;
      }
      if (line.is_header()) break;
      if (!line.is_heading()) continue;
      const TableOutcome outcome = read_table(in, line, NPRNT, table_settings, mesh, values);
      // After an overflow the rest of the printout is skipped by the scan; a
      // header line that ended a table is the scan's current line.
      if (outcome == TableOutcome::overflow || outcome == TableOutcome::header) break;
      if (outcome == TableOutcome::end_of_file) {
        at_end = true;
        break;
      }
    }

    const double time = series ? printout_time(values_line.view(), NPRNT) : 0;
    if (series) {
      series->write(plot, plot_name, time, settings.IZONE != 0 ? &settings.zone_file : nullptr, values, mesh, points,
                    cells);
    } else if (settings.IZONE != 0) {
      write_zone_plot(plot.out(), settings.zone_file, values, mesh, points, cells);
    } else {
      write_plot(plot.out(), values, mesh, points, cells);
    }
    flush_console("printzone");
    plot.commit();
    if (series) series->add(file, time);
    if (at_end) return;
  }
}

}  // namespace

int main_program(int argc, char** argv) {
  try {
    if (wants_help(argc, argv)) {
      print_usage();
      return 0;
    }
    auto run = std::make_unique<Run>();
    take_settings(run->settings, argc, argv);
    rmesh(run->mesh, run->settings.IOPT);
    Mesh& mesh = run->mesh;
    run->points.identity(mesh.located);
    if (run->settings.IOPT < 4 && run->settings.IZONE == 0) {
      catalog(run->cells, mesh.X, mesh.EC, mesh.E, mesh.CC, mesh.located);
    }
    run->values = Values(mesh.located);
    run->printouts();
    flush_console("printzone");
    return 0;
  } catch (const Stop& s) {
    return report(s);
  } catch (const Failure& f) {
    return report(f);
  } catch (const std::bad_alloc&) {
    return report(Stop{"out of memory"});
  }
}

}  // namespace pz
