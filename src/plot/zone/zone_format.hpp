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
#include <vector>

#include "plot/plot.hpp"
#include "plot/zone/zone_records.hpp"

namespace pz {

// What every plot file of a run holds the same, whatever the printout,
// laid out once for the run: per zone, each point's coordinate fields and
// the cell records.
struct ZoneText {
  std::vector<char> coordinates;  // the fields of point p from (p - 1) * coordinate_count * e14_width
  std::vector<char> cells;        // the cell records, one a line
  std::vector<char> boxes;        // the box records (only the finite-element form has them), one a line
};
using ZoneTexts = std::vector<ZoneText>;

// Lays out the texts of the zones, in coordinate_count coordinates (the
// run's projection), the point numbers of the cells in `fields`.
ZoneTexts lay_out_zones(const PlotZones& zones, const Mesh& mesh, int coordinate_count,
                        NumberFields fields = NumberFields::fixed);

// The writer of a run, whose plot files hold the texts laid out, and the
// counts of the zone headers in `fields`. It reads the texts only when a
// printout's plot is written, so they may be laid out after it is made
// (and before any plot is written).
std::unique_ptr<PlotWriter> make_zone_format_writer(const ZoneTexts& texts, NumberFields fields = NumberFields::fixed);

// Writes a printout's plot in the zone format to out.
void write_zone_format(OutFile& out, const PrintoutData& data, const PlotZones& zones, const Mesh& mesh);

}  // namespace pz
