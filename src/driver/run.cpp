// The run sequence: settings, the mesh (and the cells) once, the zones of
// the plot, then one pass through the printout file, printout after
// printout, or with -j several printouts at once (see parallel.hpp).
#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>

#include <sched.h>

#include "cells/cells.hpp"
#include "driver/conversion.hpp"
#include "driver/driver.hpp"
#include "driver/parallel.hpp"
#include "driver/progress.hpp"
#include "driver/settings.hpp"
#include "extract/tables.hpp"
#include "mesh/mesh.hpp"
#include "plot/fe/fe_format.hpp"
#include "plot/history/history_format.hpp"
#include "plot/plot.hpp"
#include "plot/plot_file.hpp"
#include "plot/vtk/vtk_format.hpp"
#include "plot/vtk/xml.hpp"
#include "plot/writer_list.hpp"
#include "plot/zone/zone_format.hpp"
#include "records/failure.hpp"

namespace pz {

namespace {

struct Run {
  Settings settings;
  Mesh mesh;
  PlotZones zones;
  ZoneTexts texts;  // of the zone format and its finite-element form, laid out once for the run
  std::unique_ptr<PrintoutData> data;
  std::unique_ptr<PlotWriter> writer;
  std::optional<Conversion> conversion;

  void prepare_plot(Projection asked);
  // Converts the printouts; returns how many there were.
  long printouts(int threads);
};

long Run::printouts(int threads) {
  const std::string base_name = plot_base_name(settings.printout_file, settings.output_folder);
  // (an unknown name in the history's list stops the run before any file is made)
  std::vector<HistoryElement> history;
  if (settings.history) history = history_elements(*settings.history, mesh);
  std::vector<std::unique_ptr<PlotWriter>> formats;
  if (settings.zone_files()) formats.push_back(make_zone_format_writer(texts, settings.capacities.zone_fields));
  if (settings.fe) formats.push_back(make_fe_writer(texts, file_name_part(settings.printout_file)));
  if (settings.vtk) formats.push_back(make_vtk_writer(base_name, settings.use_zone_file));
  if (settings.history) formats.push_back(make_history_writer(base_name, std::move(history)));
  writer = make_writer_list(std::move(formats));
  conversion.emplace(Conversion{settings,
                                mesh,
                                zones,
                                *writer,
                                TableSettings{settings.projection, settings.wanted ? &*settings.wanted : nullptr,
                                              settings.partial},
                                base_name});
  std::error_code no_size;
  const std::uint64_t bytes = std::filesystem::file_size(settings.printout_file, no_size);
  std::optional<Progress> progress;
  if (!settings.quiet && !no_size && Progress::wanted(bytes)) progress.emplace(bytes);
  LineReader in;
  in.open(settings.printout_file, Source{unit::printout, settings.printout_file}, Routine::main_program);
  if (threads > 1) {
    if (const std::unique_ptr<ParallelPrintouts> parallel = begin_in_parallel(*conversion, in, threads))
      return parallel->commit_all(*writer, progress);
  }
  if (progress) in.watch(&*progress);

  // One printout after another, on this thread.
  ScanLine line;
  PrintoutLayout layout = PrintoutLayout::unknown;
  PrintoutLabel label;
  long number = 0;
  for (;;) {
    // After a table left out, the rest of its printout is passed over here.
    if (!skip_to_printout(in, line, layout, label.steps)) break;
    if (!read_label(in, line, layout, number + 1, label)) break;  // a header line ending the file starts no printout
    ++number;
    if (progress) progress->printout_started(number);
    PrintoutEnd end;
    const std::unique_ptr<PrintoutPlot> plot = conversion->printout(in, line, layout, label, number, *data, end);
    writer->commit(*plot);
    if (end == PrintoutEnd::end_of_file) break;
  }
  return number;
}

// The number of CPUs this process may run on (its affinity mask, which a
// container or taskset narrows), at most the -j limit; 1 where the system
// does not tell.
int usable_cpus() {
  for (int cpus = CPU_SETSIZE; cpus <= 1 << 16; cpus *= 2) {
    cpu_set_t* set = CPU_ALLOC(cpus);
    if (set == nullptr) return 1;
    const std::size_t size = CPU_ALLOC_SIZE(cpus);
    const bool told = ::sched_getaffinity(0, size, set) == 0;
    const int count = told ? CPU_COUNT_S(size, set) : 0;
    CPU_FREE(set);
    if (told) return std::clamp(count, 1, most_threads);
    if (errno != EINVAL) return 1;  // (EINVAL: a mask of more CPUs than this one)
  }
  return 1;
}

// The number of distinct places of the located elements' centres in the
// plotted plane (their first two coordinates).
int distinct_places(const Elements& elements) {
  std::vector<std::array<double, 2>> places;
  places.reserve(static_cast<std::size_t>(elements.located));
  for (int i = 1; i <= elements.located; ++i) places.push_back({elements.centres[i][0], elements.centres[i][1]});
  std::sort(places.begin(), places.end());
  return static_cast<int>(std::unique(places.begin(), places.end()) - places.begin());
}

// Warns of a plane the user chose in which the mesh shows badly (no cell
// traced, or elements on top of one another) when it is not the plane
// across the mesh's smallest extent: a row or a column of elements has no
// cell in any plane, a stack of layers overlaps in its own.
void warn_of_empty_view(Projection plane, const Mesh& mesh, const Cells& traced) {
  const Elements& elements = mesh.elements;
  if (elements.located == 0 || plane == mesh.flattest_plane) return;
  const std::string in_plane =
      std::string("in the ") + (plane == Projection::yz ? "YZ" : plane == Projection::xz ? "XZ" : "XY") + " plane";
  if (traced.count == 0)
    warn(in_plane + " no cell can be traced from the mesh connections: the plot files hold points alone");
  const int places = distinct_places(elements);
  if (places < elements.located) {
    warn(in_plane + " the " + std::to_string(elements.located) + " elements fall on " + std::to_string(places) +
         " places: try another plane, or none for the plane across the smallest extent");
  }
}

// A printout file in which no printout begins converts to nothing: most
// likely not the file meant, or one of a layout not read.
void warn_of_no_printout(const std::string& file) {
  warn("no printout found in " + file +
       ": a printout begins at a header line, whose first words are \"TOTAL TIME\" (in any case, after "
       "column 1), followed by its values line, or at a line \"OUTPUT AFTER n TIME STEPS t SECONDS\"");
}

// The -o folder, with its parents, when missing.
void make_output_folder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    fail(failure_for_open_error(error.value(), false), Source{unit::plot, folder}, Routine::main_program,
         file_error(folder, error.value()) + "; the plot files' folder (-o) cannot be made");
  }
}

void Run::prepare_plot(Projection asked) {
  if (!settings.plot_files()) {
    // A history alone: the zone of every element, no cell.
    zones = traced_zone(mesh, Cells{});
    return;
  }
  if (settings.use_zone_file) {
    zones = read_zone_file(settings.zone_file, mesh, settings.capacities.cells);
  } else {
    const Elements& e = mesh.elements;
    const Connections& c = mesh.connections;
    const ConnectionGraph graph{e.centres, e.first_connection, c.ends, c.next_connection, e.located};
    Cells traced;
    Boxes boxes;
    if (is_planar(settings.projection)) {
      trace_cells(traced, graph, settings.capacities.cells);
      if (asked != Projection::automatic) warn_of_empty_view(asked, mesh, traced);
    } else if (settings.vtk || settings.fe) {
      // (the zone format's plot files of three-dimensional points have no cells)
      boxes = find_boxes(graph);
    }
    zones = traced_zone(mesh, std::move(traced), std::move(boxes));
  }
  if (settings.fe || settings.zone_files())
    texts = lay_out_zones(zones, mesh, coordinate_count(settings.projection), settings.capacities.zone_fields);
}

}  // namespace

int main_program(int argc, char** argv, const Capacities& fixed) {
  try {
    if (wants_help(argc, argv)) {
      print_usage();
      return 0;
    }
    if (wants_version(argc, argv)) {
      print_version();
      return 0;
    }
    remove_temporaries_on_signals();
    auto run = std::make_unique<Run>();
    Settings& settings = run->settings;
    settings.capacities = fixed;
    take_settings(settings, argc, argv);
    // The collection of VTK files names them in XML.
    if (settings.vtk && !xml_can_hold(settings.printout_file))
      stop("the printout file name is not UTF-8 text without control characters, as -vtk needs",
           "rename the printout file, or write zone-format plot files (without -vtk)");
    if (!settings.output_folder.empty()) make_output_folder(settings.output_folder);
    const int threads = settings.threads > 0 ? settings.threads : usable_cpus();
    const Projection asked = settings.projection;
    read_mesh(run->mesh, settings.projection, settings.capacities.mesh, settings.mesh_file,
              location_file_beside(settings.mesh_file));
    run->prepare_plot(asked);
    run->data = std::make_unique<PrintoutData>(run->mesh.elements.located, settings.capacities.printout);
    if (run->printouts(threads) == 0) warn_of_no_printout(settings.printout_file);
    flush_console();
    return 0;
  } catch (const RunEnd& end) {
    return end.report();
  } catch (const std::bad_alloc&) {
    return Stop("out of memory").report();
  }
}

}  // namespace pz
