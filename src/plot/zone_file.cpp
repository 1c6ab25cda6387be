#include <numeric>
#include <string>

#include "extract/inspect.hpp"
#include "plot/plot.hpp"
#include "records/failure.hpp"
#include "records/layouts.hpp"

namespace pz {

namespace {

constexpr int corner_columns[4] = {2, 8, 14, 20};

// The zone being read: its points and cells, and the point number of each
// element in it (0 when it is not).
class ZoneBuilder {
 public:
  ZoneBuilder(int located, int capacity) : capacity_(capacity), point_of_(static_cast<std::size_t>(located) + 1, 0) {}

  // Adds a cell of four elements; false when the zone is full.
  bool add_cell(const std::array<int, 4>& elements) {
    if (zone_.cells.count == capacity_) return false;
    std::array<int, 4> corners;
    for (int i = 0; i < 4; ++i) {
      int& point = point_of_[static_cast<std::size_t>(elements[i])];
      if (point == 0) {
        zone_.elements.push_back(elements[i]);
        point = zone_.point_count();
      }
      corners[static_cast<std::size_t>(i)] = point;
    }
    auto& list = zone_.cells.corners;
    if (list.empty()) list.emplace_back();  // cells count from 1
    list.push_back(corners);
    ++zone_.cells.count;
    return true;
  }

  // Ends the zone under its title: kept when it has points.
  void finish(const std::string& title, std::vector<Zone>& zones) {
    for (int e : zone_.elements) point_of_[static_cast<std::size_t>(e)] = 0;
    if (zone_.point_count() > 0) {
      zone_.title = title;
      zones.push_back(std::move(zone_));
    }
    zone_ = Zone{};
  }

 private:
  int capacity_;  // cells per zone
  Zone zone_;
  std::vector<int> point_of_;
};

}  // namespace

std::string_view zone_title_name(std::string_view title) {
  std::size_t equals = 0;
  for (;; ++equals) {
    equals = title.find('=', equals);
    if (equals == std::string_view::npos) return title;
    const bool word_start = equals == 1 || (equals > 1 && title[equals - 2] == ' ');
    if (word_start && lower_case(title[equals - 1]) == 't') break;
  }
  std::string_view name = title.substr(equals + 1);
  const std::size_t first = name.find_first_not_of(' ');
  name = first == std::string_view::npos ? std::string_view() : name.substr(first, name.find_last_not_of(' ') + 1 - first);
  if (name.starts_with('"')) name = name.substr(1, name.find('"', 1) - 1);
  return name.empty() ? title : name;
}

PlotZones traced_zone(const Mesh& mesh, Cells cells, Boxes boxes) {
  PlotZones plot;
  Zone zone;
  zone.title = "Zone";
  zone.elements.resize(static_cast<std::size_t>(mesh.elements.located));
  std::iota(zone.elements.begin(), zone.elements.end(), 1);
  zone.cells = std::move(cells);
  zone.boxes = std::move(boxes);
  plot.zones.push_back(std::move(zone));
  return plot;
}

PlotZones read_zone_file(LineReader& zone_file, const Mesh& mesh, int cell_limit) {
  PlotZones plot;
  plot.from_zone_file = true;
  ZoneBuilder zone(mesh.elements.located, cell_limit);
  std::string title = "Zone";  // of the cells before the first title line
  Line line, lower;
  std::string_view record;
  while (zone_file.next(record)) {
    line.assign(record);
    const Positions pos = inspect(line.view(), lower.write_all(), line_width);
    if (lower.cols(pos.first, pos.first + 4) == "zone ") {
      zone.finish(title, plot.zones);
      title.assign(line.cols(pos.first, pos.last));
      continue;
    }
    std::array<int, 4> elements;
    bool known = true;
    for (int i = 0; i < 4 && known; ++i) {
      const auto name = line.cols(corner_columns[i], corner_columns[i] + 4);
      elements[i] = find_element(mesh.name_index, name, mesh.elements.located);
      if (elements[i] == 0) {
        plot.messages += " Unknown element \"" + std::string(name) + "\" in zone file\n";
        known = false;
      }
    }
    if (known && !zone.add_cell(elements))
      stop("too many cells in a zone of the zone file (at most " + std::to_string(cell_limit) + ")",
           zone_file.where() + ": start another zone (a line beginning \"Zone\") before it");
  }
  zone.finish(title, plot.zones);
  return plot;
}

}  // namespace pz
