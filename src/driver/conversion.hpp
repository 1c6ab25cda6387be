// The conversion of one printout, the same whether printouts are converted
// one after another or several at once on worker threads.
//
// A printout begins at a header line and its values line, or at an OUTPUT
// AFTER line (see extract/printout_start.hpp); it runs to the next
// printout's beginning or the end of the file. Each printout is announced
// on the console,
//     " Found printout(" n "): " and columns 3-20 of its values line
//                                (or the time of its OUTPUT AFTER line),
// and written to its own plot files when it ends. Inside a printout, lines
// whose first word begins with "elem" may head tables.
#pragma once

#include <memory>
#include <string>

#include "driver/settings.hpp"
#include "extract/printout_data.hpp"
#include "extract/printout_start.hpp"
#include "extract/tables.hpp"
#include "mesh/mesh.hpp"
#include "plot/plot.hpp"

namespace pz {

// Reads on until the scan's current line begins a printout (it may do so
// already) other than the one whose step count is current_steps; false at
// the end of the file. An unknown layout becomes that of the line.
bool skip_to_printout(LineReader& in, ScanLine& line, PrintoutLayout& layout, std::string_view current_steps = {});

// The label of printout `number`, whose first line is the scan's current
// line: in the layout of header lines, from the values line read next
// (false when the file ends there: that printout does not count).
bool read_label(LineReader& in, const ScanLine& line, PrintoutLayout layout, long number, PrintoutLabel& label);

// How a printout's lines ended.
enum class PrintoutEnd {
  header_line,  // at the next printout's first line, now the scan's current line
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

  // Converts printout `number` of a file in `layout`, whose first lines
  // (labelled) have been read: announces it, reads its tables up to the
  // next printout's first line (left in `line`) or the end of the file, and
  // writes its plot files under temporary names, to be committed by the
  // caller.
  std::unique_ptr<PrintoutPlot> printout(LineReader& in, ScanLine& line, PrintoutLayout layout,
                                         const PrintoutLabel& label, long number, PrintoutData& data,
                                         PrintoutEnd& end) const;
};

}  // namespace pz
