// The zone format that plotting tools read, one plot file per printout:
//
//   Variables = X Y P T SG FGASx FGASy       the coordinates, then a name per value
//   Zone F=FEPOINT I=  400 J=  361           a zone of points and cells
//     1.000000E+00  2.000000E+00  1.013250E+05 ...  a point record per point
//        1     2    22    21                 a cell record per cell: four point numbers
//
// The coordinate letters take the case of the printout's first table
// heading; an element-table column is named once, a connection-table
// column once per plotted coordinate with the coordinate's letter
// appended. Without cells the zone header is "Zone F=POINT I=" and the
// point count; with a zone file each zone is headed by its title and holds
// its own points.
#pragma once

#include <memory>

#include "plot/plot.hpp"

namespace pz {

// The writer of a run: the coordinates of the points (in coordinate_count
// coordinates, the run's projection) and the cell records, the same in
// every plot file, are laid out once when it is made.
std::unique_ptr<PlotWriter> make_zone_format_writer(const PlotZones& zones, const Mesh& mesh, int coordinate_count);

// Writes a printout's plot in the zone format to out.
void write_zone_format(OutFile& out, const PrintoutData& data, const PlotZones& zones, const Mesh& mesh);

}  // namespace pz
