// Plot files: the zone format that plotting tools read.
//
//   Variables = X Y P T SG                         header: coordinates, then one name per slot
//   Zone F=FEPOINT I=  400 J=  361                 a zone of points and cells
//     1.000000E+00  2.000000E+00  1.013250E+05 ... one point record per point: coordinates, values
//        1     2    22    21                       one cell record per cell: four point numbers
//
// Without cells the zone header is "Zone F=POINT I=" and the count. With a
// zone file there is one zone per group of cells listed in it, each headed
// by its title, with its own point numbering.
//
// The zone file lists cells by the names of their four corners in columns
// 2-6, 8-12, 14-18 and 20-24; a line whose first word is "zone" (any case)
// ends the current zone and titles the next one with its whole text.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "cells/cells.hpp"
#include "extract/values.hpp"
#include "mesh/mesh.hpp"
#include "records/files.hpp"

namespace pz {

// The points of a zone: ZO[p] is the element of point p (1..NPTS), ZN[e]
// the point number of element e in the zone, 0 when it is not in it.
struct Points {
  std::vector<int> ZO, ZN;
  int NPTS = 0;
  // Every located element 1..n is a point, point i being element i.
  void identity(int n);
};

// Writes a printout's plot without a zone file: the header line and one
// zone holding every point and every traced cell.
void write_plot(OutFile& out, const Values& values, const Mesh& mesh, const Points& points, const Cells& cells);

// Writes a zone's point records (coordinates, then slots 1..NVAL) in point
// order and its cell records in cell order.
void write_zone_body(OutFile& out, const Values& values, const Mesh& mesh, const Points& points, const Cells& cells);

// Writes a printout's plot with a zone file: the header line, then one zone
// for each group of cells of the zone file (read again from its start),
// skipping zones without points. Corner names that are not located
// elements are reported on standard output and drop their line.
void write_zone_plot(OutFile& out, LineReader& zone_file, const Values& values, const Mesh& mesh, Points& points,
                     Cells& cells);

// Builds the zones of the zone file (read again from its start) one after
// the other into points and cells, and calls zone(title) for each zone that
// has points, while they hold it. Corner names that are not located
// elements are reported on standard output and drop their line.
void for_each_zone(LineReader& zone_file, const Mesh& mesh, Points& points, Cells& cells,
                   const std::function<void(std::string_view title)>& zone);

}  // namespace pz
