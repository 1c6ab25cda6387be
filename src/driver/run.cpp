// The run sequence: settings, the mesh (and the cells) once, then one pass
// through the printout file, printout after printout, or with -j several
// printouts at once (see parallel.hpp).
#include <algorithm>
#include <array>
#include <filesystem>
#include <future>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <system_error>
#include <thread>

#include "cells/cells.hpp"
#include "driver/conversion.hpp"
#include "driver/driver.hpp"
#include "driver/parallel.hpp"
#include "driver/progress.hpp"
#include "driver/settings.hpp"
#include "extract/tables.hpp"
#include "mesh/mesh.hpp"
#include "plot/plot.hpp"
#include "plot/plot_file.hpp"
#include "plot/vtk/vtk_format.hpp"
#include "plot/vtk/xml.hpp"
#include "plot/zone/zone_format.hpp"
#include "records/cpu_sharing.hpp"
#include "records/failure.hpp"

namespace pz {

namespace {

struct Run {
  Settings settings;
  Mesh mesh;
  PlotZones zones;
  ZoneTexts texts;  // of the zone format, laid out once for the run
  std::unique_ptr<PrintoutData> data;
  std::unique_ptr<PlotWriter> writer;
  std::optional<Conversion> conversion;
  // Valid while the zones are prepared on a thread of their own
  // (preparing, last, so that it is joined before the rest goes), which
  // tells through `prepared` that they are ready or why they are not.
  std::promise<void> prepared;
  std::shared_future<void> plot_ready;
  HelperThread preparing;

  void prepare_plot(Projection asked);
  void printouts(int threads, EarlyScan* early, ParallelPrintouts* begun);

 private:
  void make_conversion(std::shared_future<void> mesh_read = {});
  void convert_printouts(int threads, EarlyScan* early, ParallelPrintouts* begun);
};

// The plot writer and what every printout's conversion reads.
void Run::make_conversion(std::shared_future<void> mesh_read) {
  const std::string base_name = plot_base_name(settings.printout_file, settings.output_folder);
  writer = settings.vtk ? make_vtk_writer(base_name, settings.use_zone_file) : make_zone_format_writer(texts);
  conversion.emplace(Conversion{settings,
                                mesh,
                                zones,
                                *writer,
                                TableSettings{settings.projection, settings.wanted ? &*settings.wanted : nullptr,
                                              settings.partial},
                                base_name,
                                std::move(mesh_read),
                                &plot_ready});
}

void Run::printouts(int threads, EarlyScan* early, ParallelPrintouts* begun) {
  try {
    convert_printouts(threads, early, begun);
  } catch (...) {
    // A failure or stop in preparing the zones comes first, as in a run
    // that prepares them before it opens the printout file.
    if (plot_ready.valid()) plot_ready.get();
    throw;
  }
}

void Run::convert_printouts(int threads, EarlyScan* early, ParallelPrintouts* begun) {
  std::error_code no_size;
  const std::uint64_t bytes = std::filesystem::file_size(settings.printout_file, no_size);
  std::optional<Progress> progress;
  if (!settings.quiet && !no_size && Progress::wanted(bytes)) progress.emplace(bytes);
  if (begun != nullptr) {
    begun->commit_all(*writer, progress);
    return;
  }
  LineReader opened;
  LineReader* scanned = early != nullptr ? early->finish() : nullptr;
  LineReader& in = scanned != nullptr ? *scanned : opened;
  if (scanned == nullptr)
    opened.open(settings.printout_file, Source{unit::printout, settings.printout_file}, Routine::main_program);
  if (!conversion) make_conversion();
  if (threads > 1) {
    const std::span<const PrintoutStart> found =
        scanned != nullptr ? early->found() : std::span<const PrintoutStart>();
    if (const std::unique_ptr<ParallelPrintouts> parallel =
            begin_in_parallel(*conversion, in, threads, found, scanned != nullptr && early->found_all())) {
      parallel->commit_all(*writer, progress);
      return;
    }
    if (scanned != nullptr) in.rewind();  // read line by line, from the start
  }
  if (progress) in.watch(&*progress);
  conversion->await_plot();

  ScanLine line;
  Line values_line;
  long number = 0;
  for (;;) {
    // After a table left out, the rest of its printout is passed over here.
    if (!skip_to_header_line(in, line)) return;
    std::string_view record;
    if (!in.next(record)) return;  // a header line ending the file starts no printout
    values_line.assign(record);
    ++number;
    if (progress) progress->printout_started(number);
    PrintoutEnd end;
    const std::unique_ptr<PrintoutPlot> plot = conversion->printout(in, line, values_line, number, *data, end);
    writer->commit(*plot);
    if (end == PrintoutEnd::end_of_file) return;
  }
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
  if (settings.use_zone_file) {
    zones = read_zone_file(settings.zone_file, mesh);
  } else {
    Cells traced;
    if (is_planar(settings.projection)) {
      const Elements& e = mesh.elements;
      const Connections& c = mesh.connections;
      trace_cells(traced, ConnectionGraph{e.centres, e.first_connection, c.ends, c.next_connection, e.located});
      if (asked != Projection::automatic) warn_of_empty_view(asked, mesh, traced);
    }
    zones = traced_zone(mesh, std::move(traced));
  }
  if (!settings.vtk) texts = lay_out_zones(zones, mesh, coordinate_count(settings.projection));
}

}  // namespace

int main_program(int argc, char** argv) {
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
    take_settings(settings, argc, argv);
    // The collection of VTK files names them in XML.
    if (settings.vtk && !xml_can_hold(settings.printout_file))
      stop("the printout file name is not UTF-8 text without control characters, as -vtk needs",
           "rename the printout file, or write zone-format plot files (without -vtk)");
    if (!settings.output_folder.empty()) make_output_folder(settings.output_folder);
    const int threads = settings.threads > 0
                            ? settings.threads
                            : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // With threads, the first printouts are looked for while the mesh is
    // read, and the zones are prepared while their tables are read.
    std::optional<EarlyScan> early;
    if (threads > 1) early.emplace(settings.printout_file, printouts_in_flight(threads));
    const Projection asked = settings.projection;
    std::unique_ptr<ParallelPrintouts> begun;
    // (after begun: a failure before the mesh is read breaks the promise,
    // which ends the printouts begun, before their workers are waited for)
    std::promise<void> mesh_read;
    read_mesh(run->mesh, settings.projection, {}, settings.mesh_file, location_file_beside(settings.mesh_file));
    try {
      if (threads > 1) {
        run->plot_ready = run->prepared.get_future().share();
        run->preparing = HelperThread(sharing_cpus([&run = *run, asked] {
          try {
            run.prepare_plot(asked);
            run.prepared.set_value();
          } catch (...) {
            run.prepared.set_exception(std::current_exception());
          }
        }));
      }
    } catch (const std::system_error&) {
      run->plot_ready = {};  // no thread to be had: prepared here, first
    }
    if (!run->plot_ready.valid()) run->prepare_plot(asked);
    mesh_read.set_value();
    run->data = std::make_unique<PrintoutData>(run->mesh.elements.located);
    run->printouts(threads, early ? &*early : nullptr, begun.get());
    flush_console();
    return 0;
  } catch (const RunEnd& end) {
    return end.report();
  } catch (const std::bad_alloc&) {
    return Stop("out of memory").report();
  }
}

}  // namespace pz
