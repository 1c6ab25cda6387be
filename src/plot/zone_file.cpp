#include <cstdio>
#include <cstring>
#include <string>

#include "extract/inspect.hpp"
#include "plot/plot.hpp"
#include "records/failure.hpp"
#include "records/layouts.hpp"

namespace pz {

namespace {

constexpr int corner_columns[4] = {2, 8, 14, 20};

// Empties the zone's lists; only the elements the last zone used have a
// point number to clear.
void start_zone(Points& points, Cells& cells) {
  for (int p = 1; p <= points.NPTS; ++p) {
    auto& e = points.ZO[static_cast<std::size_t>(p)];
    points.ZN[static_cast<std::size_t>(e)] = 0;
    e = 0;
  }
  points.NPTS = 0;
  cells.NCELL = 0;
}

void unknown_element(std::string_view name) {
  std::string message = " Unknown element \"";
  message.append(name);
  message.append("\" in zone file\n");
  write_console(message, "printzone", false);
}

// Adds the cell of a zone-file line; false (after the message) when one of
// its corners is not a located element.
bool add_cell(const Line& line, const Mesh& mesh, Points& points, Cells& cells) {
  int element[4];
  for (int i = 0; i < 4; ++i) {
    const auto name = line.cols(static_cast<std::size_t>(corner_columns[i]),
                                static_cast<std::size_t>(corner_columns[i] + 4));
    element[i] = ihash(mesh.index, name, mesh.located);
    if (element[i] == 0) {
      unknown_element(name);
      return false;
    }
  }
  if (cells.NCELL == cell_capacity) {
    stop("too many cells in a zone of the zone file (at most " + std::to_string(cell_capacity) + ")");
  }
  std::array<int, 4> corners;
  for (int i = 0; i < 4; ++i) {
    auto& point = points.ZN[static_cast<std::size_t>(element[i])];
    if (point == 0) {
      point = ++points.NPTS;
      points.ZO[static_cast<std::size_t>(point)] = element[i];
    }
    corners[static_cast<std::size_t>(i)] = point;
  }
  ++cells.NCELL;
  if (cells.CAT.size() <= static_cast<std::size_t>(cells.NCELL)) cells.CAT.resize(cells.CAT.size() * 2 + 2);
  cells.CAT[static_cast<std::size_t>(cells.NCELL)] = corners;
  return true;
}

}  // namespace

void write_zone_plot(OutFile& out, LineReader& zone_file, const Values& values, const Mesh& mesh, Points& points,
                     Cells& cells) {
  out.put(values.header());
  out.newline();
  for_each_zone(zone_file, mesh, points, cells, [&](std::string_view title) {
    write_cell_zone_header(out, title, points.NPTS, cells.NCELL);
    write_zone_body(out, values, mesh, points, cells);
  });
}

void for_each_zone(LineReader& zone_file, const Mesh& mesh, Points& points, Cells& cells,
                   const std::function<void(std::string_view title)>& zone) {
  if (points.ZN.size() < static_cast<std::size_t>(mesh.located) + 1) points.identity(mesh.located);
  start_zone(points, cells);

  std::string title = "Zone";
  zone_file.rewind();
  Line line;
  char lower[Line::size + 8];
  std::string_view record;
  bool more = true;
  while (more) {
    // Cells up to the next title line or the end of the file.
    bool titled = false;
    Positions pos;
    while ((more = zone_file.next(record))) {
      line.assign(record);
      pos = inspect(line.view(), lower, Line::size);
      std::memset(lower + Line::size, ' ', 8);
      if (std::string_view(lower + pos.IFIRST - 1, 5) == "zone ") {
        titled = true;
        break;
      }
      add_cell(line, mesh, points, cells);
    }
    if (points.NPTS > 0) zone(title);
    start_zone(points, cells);
    if (titled) title.assign(line.cols(static_cast<std::size_t>(pos.IFIRST), static_cast<std::size_t>(pos.ILAST)));
  }
}

}  // namespace pz
