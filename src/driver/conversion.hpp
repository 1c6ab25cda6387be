// The conversion of one printout, the same whether printouts are converted
// one after another or several at once on worker threads.
//
// A printout begins at a header line, whose first non-blank characters are
// "total time" (any case, column 1 not counted), and the values line right
// after it; it runs to the next header line or the end of the file. Each
// printout is announced on the console,
//     " Found printout(" n "): " and columns 3-20 of its values line,
// and written to its own plot files when it ends. Inside a printout, lines
// whose first word begins with "elem" may head tables.
#pragma once

#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "driver/settings.hpp"
#include "extract/printout_data.hpp"
#include "extract/tables.hpp"
#include "mesh/mesh.hpp"
#include "plot/plot.hpp"
#include "records/cpu_sharing.hpp"

namespace pz {

// Reads on until the scan's current line is a header line (it may be one
// already); false at the end of the file.
bool skip_to_header_line(LineReader& in, ScanLine& line);

// How a printout's lines ended.
enum class PrintoutEnd {
  header_line,  // at the next printout's header line, now the scan's current line
  end_of_file,
  skip_rest,    // at a table left out: the rest of the printout is passed over
};

// What the conversion of every printout reads: the settings, the mesh, the
// zones and the plot format.
struct Conversion {
  const Settings& settings;
  const Mesh& mesh;
  const PlotZones& zones;
  const PlotWriter& writer;
  TableSettings tables;
  std::string base_name;
  // Valid when the first printouts begin while the mesh's connections are
  // still being read: a printout's element tables may be read meanwhile, its
  // other tables only once the mesh is read; and the zones are prepared from
  // then on (plot_ready, valid once the mesh is read).
  std::shared_future<void> mesh_read;
  // Valid when the zones and what the writer lays out once are still being
  // prepared beside the first printouts: a printout's tables may be read
  // meanwhile, its plot written only once they are ready.
  const std::shared_future<void>* plot_ready = nullptr;
  // Told when a printout is about to wait for the mesh (its core would
  // idle), where one is set.
  struct MeshWait {
    virtual void begins() = 0;

   protected:
    ~MeshWait() = default;
  };
  MeshWait* mesh_wait = nullptr;

  // Waits until the mesh is read; its failure or stop ends the printout
  // here (the run ends with it, and the printout is dropped).
  void await_mesh() const {
    if (!mesh_read.valid()) return;
    if (mesh_wait != nullptr && mesh_read.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
      mesh_wait->begins();
    await_handing_over(mesh_read);
  }
  // Waits until the zones and the writer's texts are ready; the failure or
  // stop that ended their preparation comes out here.
  void await_plot() const {
    await_mesh();
    if (plot_ready != nullptr && plot_ready->valid()) await_handing_over(*plot_ready);
  }

  // Converts printout `number`, whose header and values lines have been
  // read: announces it, reads its tables up to the next header line (left
  // in `line`) or the end of the file, and writes its plot files under
  // temporary names, to be committed by the caller.
  std::unique_ptr<PrintoutPlot> printout(LineReader& in, ScanLine& line, const Line& values_line, long number,
                                         PrintoutData& data, PrintoutEnd& end) const;
};

}  // namespace pz
