#include "plot/fe/fe_format.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <unordered_set>

#include "plot/plot_file.hpp"
#include "plot/vtk/vtk_format.hpp"
#include "records/layouts.hpp"
#include "records/number_writing.hpp"

namespace pz {

namespace {

// Whether VTK's reader or meshio would take a variable of this name for a
// coordinate (and then lose the values around it).
bool read_as_coordinate(std::string_view name) {
  constexpr std::string_view coordinates[] = {"X", "Y", "Z", "x", "y", "z", "I", "J", "K",
                                              "CoordinateX", "CoordinateY", "CoordinateZ"};
  if (std::find(std::begin(coordinates), std::end(coordinates), name) != std::end(coordinates)) return true;
  const auto is_ascii_alnum = [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  };
  return name.size() >= 3 && (name[0] == 'Z' || name[0] == 'z' || name[0] == 'K') && !is_ascii_alnum(name[1]);
}

// A name with what meshio would split it at, or end it at, made "_".
std::string plain_name(std::string_view name) {
  std::string plain(name);
  for (char& c : plain) {
    const auto u = static_cast<unsigned char>(c);
    if (c == ' ' || c == ',' || c == '=' || c == '"' || u < 0x20 || u == 0x7f) c = '_';
  }
  return plain;
}

// A title between double quotes: its own double quotes become single ones.
void put_quoted(OutFile& out, std::string_view text) {
  out.put('"');
  for (char c : text) out.put(c == '"' ? '\'' : c);
  out.put('"');
}

// The planes' coordinates, by the fields of the zone format's point
// record: X Y Z, where -1 stands for the coordinate across the plane (0).
struct CoordinateColumns {
  int count;
  std::array<int, 3> field;
};
CoordinateColumns coordinate_columns(Projection projection) {
  switch (projection) {
    case Projection::yz: return {3, {-1, 0, 1}};
    case Projection::xz: return {3, {0, -1, 1}};
    case Projection::xy: return {2, {0, 1, 0}};
    default: return {3, {0, 1, 2}};
  }
}

void write_header(OutFile& out, const PrintoutData& data, std::string_view printout_name) {
  out.put("TITLE = ");
  put_quoted(out, std::string(printout_name) + ", printout " + std::to_string(data.number));
  out.put("\nVARIABLES =");
  for (const std::string& name : unique_fe_names(data)) {
    out.put(' ');
    put_quoted(out, name);
  }
  out.newline();
}

void write_zone_header(OutFile& out, const PrintoutData& data, const PlotZones& zones, const Zone& zone) {
  std::string title;
  if (zones.from_zone_file) {
    title = zone_title_name(zone.title);
    title += ", ";
  }
  title += "t=" + number_text(data.time);
  out.put("ZONE T=");
  put_quoted(out, title);
  char* p = out.reserve(64);
  if (zone.cells.count == 0 && zone.boxes.corners.empty()) {
    std::memcpy(p, ", I=", 4);
    p = write_integer(p + 4, zone.point_count(), integer_length(zone.point_count()));
    out.commit_to(p);
    out.put(", DATAPACKING=POINT\n");
    return;
  }
  // Cells, or where a zone has none, its boxes as bricks.
  const bool bricks = zone.cells.count == 0;
  const auto elements = bricks ? static_cast<std::int64_t>(zone.boxes.corners.size()) : zone.cells.count;
  std::memcpy(p, ", N=", 4);
  p = write_integer(p + 4, zone.point_count(), integer_length(zone.point_count()));
  std::memcpy(p, ", E=", 4);
  p = write_integer(p + 4, elements, integer_length(elements));
  out.commit_to(p);
  out.put(bricks ? ", DATAPACKING=POINT, ZONETYPE=FEBRICK\n" : ", DATAPACKING=POINT, ZONETYPE=FEQUADRILATERAL\n");
}

// A point's line longer than the file's buffer (tens of thousands of
// values, which only a model past the fixed capacities has), field by field.
[[gnu::cold, gnu::noinline]] void write_long_point(OutFile& out, const PrintoutData& data,
                                                   const CoordinateColumns& columns, const char* fields, int element) {
  for (int c = 0; c < columns.count; ++c) {
    const int f = columns.field[static_cast<std::size_t>(c)];
    char* at = out.reserve(lettered_width);
    std::memcpy(at, f < 0 ? "  0.000000E+00" : fields + f * e14_width, e14_width);
    out.commit_to(add_exponent_letter(at));
  }
  for (int b = 0; b < data.block_count; ++b) {
    const PrintoutData::SlotBlock& block = data.blocks[static_cast<std::size_t>(b)];
    for (int k = 0; k < block.width; ++k) {
      const double value = block.value(element, k);
      out.commit_to(write_e14_6_lettered_run(out.reserve(lettered_width), &value, 1));
    }
  }
  out.newline();
}

// A line per point, in point order: its coordinates (from the zone
// format's fields), then every value slot.
void write_points(OutFile& out, const PrintoutData& data, const Zone& zone, const ZoneText& text) {
  const CoordinateColumns columns = coordinate_columns(data.projection);
  const std::size_t point_width = static_cast<std::size_t>(data.coordinate_count * e14_width);
  const std::size_t line_room = static_cast<std::size_t>(columns.count + data.slot_count) * lettered_width + 1;
  for (std::size_t p = 0; p < zone.elements.size(); ++p) {
    if (line_room > OutFile::block) {
      write_long_point(out, data, columns, text.coordinates.data() + p * point_width, zone.elements[p]);
      continue;
    }
    char* at = out.reserve(line_room);
    const char* fields = text.coordinates.data() + p * point_width;
    for (int c = 0; c < columns.count; ++c) {
      const int f = columns.field[static_cast<std::size_t>(c)];
      std::memcpy(at, f < 0 ? "  0.000000E+00" : fields + f * e14_width, e14_width);
      at = add_exponent_letter(at);
    }
    const int element = zone.elements[p];
    for (int b = 0; b < data.block_count; ++b) {
      const PrintoutData::SlotBlock& block = data.blocks[static_cast<std::size_t>(b)];
      // (a compact value's exponent has two digits)
      at = block.compact ? write_compact_e14_6_run(at, block.code_row(element), block.width)
                         : write_e14_6_lettered_run(at, block.row(element), block.width);
    }
    *at++ = '\n';
    out.commit_to(at);
  }
}

class FeFormatWriter : public PlotWriter {
 public:
  FeFormatWriter(const ZoneTexts& texts, std::string printout_name)
      : texts_(texts), printout_name_(std::move(printout_name)) {}

  std::unique_ptr<PrintoutPlot> begin(const std::string& plot_name) const override {
    return one_file_plot(plot_name + ".dat", [&texts = texts_, &name = printout_name_](
                                                 OutFile& out, const PrintoutData& data, const PlotZones& zones) {
      write_fe_format(out, data, zones, texts, name);
    });
  }

 private:
  const ZoneTexts& texts_;
  std::string printout_name_;
};

}  // namespace

std::vector<std::string> unique_fe_names(const PrintoutData& data) {
  std::vector<std::string> names;
  names.reserve(static_cast<std::size_t>(3 + data.slot_count));
  std::unordered_set<std::string> taken;
  const auto add = [&](std::string base) {
    if (read_as_coordinate(base + "_2")) base.insert(base.begin(), '_');
    std::string name = base;
    for (int k = 2; taken.count(name) != 0 || read_as_coordinate(name); ++k) name = base + "_" + std::to_string(k);
    taken.insert(name);
    names.push_back(std::move(name));
  };
  for (const char* coordinate : {"X", "Y", "Z"}) {
    if (names.size() == static_cast<std::size_t>(coordinate_columns(data.projection).count)) break;
    taken.insert(coordinate);
    names.emplace_back(coordinate);
  }
  for (const std::string& name : value_names(data)) add(plain_name(name));
  return names;
}

void write_fe_format(OutFile& out, const PrintoutData& data, const PlotZones& zones, const ZoneTexts& texts,
                     std::string_view printout_name) {
  write_header(out, data, printout_name);
  for (std::size_t z = 0; z < zones.zones.size(); ++z) {
    const Zone& zone = zones.zones[z];
    write_zone_header(out, data, zones, zone);
    write_points(out, data, zone, texts[z]);
    out.put(std::string_view(texts[z].cells.data(), texts[z].cells.size()));
    out.put(std::string_view(texts[z].boxes.data(), texts[z].boxes.size()));
  }
}

std::unique_ptr<PlotWriter> make_fe_writer(const ZoneTexts& texts, std::string printout_name) {
  return std::make_unique<FeFormatWriter>(texts, std::move(printout_name));
}

}  // namespace pz
