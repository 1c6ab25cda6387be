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

#include <memory>
#include <string>

#include "driver/settings.hpp"
#include "extract/printout_data.hpp"
#include "extract/tables.hpp"
#include "mesh/mesh.hpp"
#include "plot/plot.hpp"

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

  // Converts printout `number`, whose header and values lines have been
  // read: announces it, reads its tables up to the next header line (left
  // in `line`) or the end of the file, and writes its plot files under
  // temporary names, to be committed by the caller.
  std::unique_ptr<PrintoutPlot> printout(LineReader& in, ScanLine& line, const Line& values_line, long number,
                                         PrintoutData& data, PrintoutEnd& end) const;
};

}  // namespace pz
