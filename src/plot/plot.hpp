// Plot output: the points and cells of a plot, the same for every
// printout, and the interface of the plot file formats, each in a folder of
// its own (zone/ the zone format, fe/ its finite-element form, vtk/ VTK's
// XML formats, history/ a table of chosen elements over all printouts).
//
// A plot has one zone of points and cells traced from the mesh, or, with a
// zone file, one zone per group of cells listed in it. The zone file lists
// cells by the names of their four corners in columns 2-6, 8-12, 14-18 and
// 20-24; a line whose first word is "zone" (any case) ends the current zone
// and titles the next one with its whole text:
//
//    A1  1 A1  2 A2  2 A2  1          a cell
//   Zone T="upper row"                the title of the cells that follow
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cells/cells.hpp"
#include "extract/printout_data.hpp"
#include "mesh/mesh.hpp"
#include "records/files.hpp"

namespace pz {

// A zone: its points, each an element, and the cells that join them, by
// point number (from 1). Three-dimensional points may have boxes among
// them instead, which the VTK files and the finite-element form show as
// volumes (the zone format's plot files show the points alone).
struct Zone {
  std::string title;          // "Zone" for the zone of traced cells
  std::vector<int> elements;  // elements[p - 1]: the element of point p
  Cells cells;
  Boxes boxes;  // corners and the points in no box, by point number
  int point_count() const { return static_cast<int>(elements.size()); }
};

// The title of a zone alone, as the VTK files name its block: the text
// after the first word that begins with "T=" (any case), with the blanks
// around it trimmed, and where that text begins with a double quote, the
// text between that quote and the next one (or the end): "lower row" from
// 'Zone T="lower row"'. A title without such a word, or where the text
// comes out empty ('Zone T=""'), is taken whole ("zone last", "Zone").
std::string_view zone_title_name(std::string_view title);

struct PlotZones {
  bool from_zone_file = false;
  std::vector<Zone> zones;  // with a zone file: its zones that have points
  // With a zone file: the console messages about its names that are not
  // located elements, repeated with every printout's plot.
  std::string messages;
};

// The zone of every located element, point i being element i, with the
// cells traced from the mesh (none for three-dimensional points) and the
// boxes found in it (only for three-dimensional points, and only where a
// format shows them).
PlotZones traced_zone(const Mesh& mesh, Cells cells, Boxes boxes = {});

// Reads the zone file, once for the run: every cell line whose four corners
// are located elements, grouped into zones; zones without points are left
// out. A corner that is not a located element drops its line and gives the
// message " Unknown element "NAME " in zone file", kept in messages. More
// cells in a zone than cell_limit stop the run.
PlotZones read_zone_file(LineReader& zone_file, const Mesh& mesh, int cell_limit = cell_capacity);

// One printout's plot files, written under temporary names: a file not
// committed is removed when the object goes.
class PrintoutPlot {
 public:
  virtual ~PrintoutPlot() = default;
  // Writes and closes the files.
  virtual void write(const PrintoutData& data, const PlotZones& zones, const Mesh& mesh) = 0;
  // Moves the files into place.
  virtual void commit() = 0;

  std::string listed_name;  // the file a collection lists the printout by
  double time = 0;          // the printout's time, once written
};

// A plot file format. For each printout: begin() when it starts, the
// plot's write() when it ends, then commit(). Printouts may be begun and
// written on several threads at once; they are committed one at a time, in
// printout order.
class PlotWriter {
 public:
  virtual ~PlotWriter() = default;
  // Creates the printout's file, so that a file that cannot be written
  // ends the run before the printout's tables are read.
  virtual std::unique_ptr<PrintoutPlot> begin(const std::string& plot_name) const = 0;
  // Moves the printout's files into place (and lists them).
  virtual void commit(PrintoutPlot& plot) { plot.commit(); }
};

}  // namespace pz
