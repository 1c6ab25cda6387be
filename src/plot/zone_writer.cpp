#include "plot/plot.hpp"

#include "records/layouts.hpp"

namespace pz {

void Points::identity(int n) {
  ZO.assign(static_cast<std::size_t>(n) + 1, 0);
  ZN.assign(static_cast<std::size_t>(n) + 1, 0);
  for (int i = 1; i <= n; ++i) ZO[static_cast<std::size_t>(i)] = ZN[static_cast<std::size_t>(i)] = i;
  NPTS = n;
}

namespace {
void write_header(OutFile& out, const Values& values) {
  out.put(values.header());
  out.newline();
}
}  // namespace

// Point records in point order, then cell records in cell order.
void write_zone_body(OutFile& out, const Values& values, const Mesh& mesh, const Points& points, const Cells& cells) {
  RealRecord record(out);
  for (int p = 1; p <= points.NPTS; ++p) {
    const auto e = static_cast<std::size_t>(points.ZO[static_cast<std::size_t>(p)]);
    const auto& x = mesh.X[e];
    for (int i = 0; i < values.NCOORD; ++i) record.add(x[static_cast<std::size_t>(i)]);
    for (int j = 1; j <= values.NVAL; ++j) record.add(values.slot(j)[e]);
    record.end();
  }
  for (int c = 1; c <= cells.NCELL; ++c) write_cell_record(out, cells.CAT[static_cast<std::size_t>(c)]);
}

void write_plot(OutFile& out, const Values& values, const Mesh& mesh, const Points& points, const Cells& cells) {
  write_header(out, values);
  if (cells.NCELL == 0) write_point_zone_header(out, points.NPTS);
  else write_cell_zone_header(out, "Zone", points.NPTS, cells.NCELL);
  write_zone_body(out, values, mesh, points, cells);
}

}  // namespace pz
