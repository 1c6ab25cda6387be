// The zone format in its finite-element form, which general readers of the
// format open (VTK's reader, and so ParaView and VisIt, and meshio): one
// file per printout, run.out.12.dat for printout 12.
//
//   TITLE = "run.out, printout 12"
//   VARIABLES = "X" "Y" "P" "XAIR(L)" "FGAS_x" "FGAS_y"
//   ZONE T="t=86400", N=400, E=361, DATAPACKING=POINT, ZONETYPE=FEQUADRILATERAL
//     1.000000E+00  2.000000E+00  1.013250E+05 ...   a line per point
//        1     2    22    21                          a line per cell
//
// The points, their values and the cells are those of the zone format's
// plot file; numbers always have their exponent's letter ("1.010000E-105",
// 15 columns), and a point stands on one line however many values it has.
// A cell with a repeated corner keeps it (a triangle repeats a corner, as
// the form has it).
//
// Coordinates: X Y for the XY plane, X Y Z for the others, the coordinate
// across a YZ or XZ plane being 0, so that readers place the points in the
// mesh's own frame (and meshio, which needs X and Y, reads every plane).
// The values are named as the VTK files name their arrays, a vector's
// components by its name, "_" and the coordinate's letter ("FGAS_y",
// "FGAS_z" in the YZ plane). A blank, comma, equals sign, double quote or
// control character in a name, at which meshio would split it, is "_";
// a name that repeats an earlier one, or that a reader would take for a
// coordinate, is made free as unique_fe_names says.
//
// A zone is titled by the printout's time, "t=86400"; with a zone file by
// the zone's name as the VTK files name its block, a comma and the time
// ("lower row, t=86400"). Three-dimensional points with boxes among them
// make a zone of bricks, a line of eight point numbers per box (the points
// in no box stand in it without a cell):
//
//   ZONE T="t=86400", N=99452, E=93150, DATAPACKING=POINT, ZONETYPE=FEBRICK
//       1    47    48     2  2117  2163  2164  2118
//
// A zone without cells or boxes (three-dimensional points, a plane in which
// no cell was traced) is an ordered zone of points alone,
// "ZONE T="t=86400", I=400, DATAPACKING=POINT", which those readers do not
// open: the VTK files (-vtk) show such points.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "plot/plot.hpp"
#include "plot/zone/zone_format.hpp"

namespace pz {

// The variables of a printout: the coordinates, then a name per value slot.
// A name is taken as it comes where it is free: not an earlier name, nor
// one that VTK's reader takes for a coordinate (X, Y, Z, x, y, z, I, J, K,
// CoordinateX, CoordinateY, CoordinateZ, or Z, z or K followed by a mark
// and more: "K_x", "Z(m)") or meshio does (x, y, z). Otherwise it gets the
// first suffix "_2", "_3", ... that makes it free, after a leading "_"
// where no suffix could ("_K_x" for "K_x", "_K" for "K").
std::vector<std::string> unique_fe_names(const PrintoutData& data);

// The writer of a run's files, titled by the printout file's name proper.
// Their cell lines are the zone format's, laid out in texts, read only when
// a printout's plot is written (so they may be laid out after it is made).
std::unique_ptr<PlotWriter> make_fe_writer(const ZoneTexts& texts, std::string printout_name);

// Writes a printout's plot in the form to out, the zones' cells as laid out
// in texts.
void write_fe_format(OutFile& out, const PrintoutData& data, const PlotZones& zones, const ZoneTexts& texts,
                     std::string_view printout_name);

}  // namespace pz
