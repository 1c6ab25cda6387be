#include "plot/zone/zone_format.hpp"

#include <string>
#include <vector>

#include "plot/plot_file.hpp"
#include "plot/zone/zone_records.hpp"
#include "records/failure.hpp"
#include "records/layouts.hpp"

namespace pz {

namespace {

// "Variables = " and the coordinate letters, then the arrays' names.
void write_header(OutFile& out, const PrintoutData& data) {
  const std::string_view letters = coordinate_letters(data.projection);
  out.put("Variables =");
  for (char c : letters) {
    out.put(' ');
    out.put(data.upper_case_letters ? static_cast<char>(c - 'a' + 'A') : c);
  }
  for (int i = 0; i < data.array_count; ++i) {
    const ValueArray& a = data.arrays[static_cast<std::size_t>(i)];
    if (!a.is_vector()) {
      out.put(' ');
      out.put(a.view());
      continue;
    }
    for (int k = 0; k < a.components; ++k) {
      out.put(' ');
      out.put(a.view());
      out.put(letters[static_cast<std::size_t>(k)]);
    }
  }
  out.newline();
}

}  // namespace

ZoneTexts lay_out_zones(const PlotZones& zones, const Mesh& mesh, int coordinate_count, NumberFields fields) {
  ZoneTexts texts(zones.zones.size());
  for (std::size_t z = 0; z < texts.size(); ++z) {
    const Zone& zone = zones.zones[z];
    ZoneText& text = texts[z];
    text.coordinates.resize(zone.elements.size() * static_cast<std::size_t>(coordinate_count * e14_width));
    char* p = text.coordinates.data();
    for (const int element : zone.elements) {
      const auto& x = mesh.elements.centres[static_cast<std::size_t>(element)];
      p = write_e14_6_run(p, x.data(), coordinate_count);
    }
    const bool widened = fields == NumberFields::widened;
    text.cells.resize(static_cast<std::size_t>(zone.cells.count) * (widened ? cell_record_room : cell_record_width));
    char* q = text.cells.data();
    for (int c = 1; c <= zone.cells.count; ++c)
      q = write_cell_record(q, zone.cells.corners[static_cast<std::size_t>(c)], fields);
    text.cells.resize(static_cast<std::size_t>(q - text.cells.data()));
    if (widened) text.cells.shrink_to_fit();
    text.boxes.resize(zone.boxes.corners.size() * (widened ? box_record_room : box_record_width));
    char* r = text.boxes.data();
    for (const auto& box : zone.boxes.corners) r = write_box_record(r, box, fields);
    text.boxes.resize(static_cast<std::size_t>(r - text.boxes.data()));
  }
  return texts;
}

namespace {

// The numbers of a point record: the coordinates, then every value slot.
int point_values(const PrintoutData& data) {
  int values = data.coordinate_count;
  for (int b = 0; b < data.block_count; ++b) values += data.blocks[static_cast<std::size_t>(b)].width;
  return values;
}

// Point records longer than the file's buffer (tens of thousands of values
// a point, which only a model past the fixed capacities has), number by
// number.
[[gnu::cold, gnu::noinline]] void write_long_points(OutFile& out, const PrintoutData& data, const Zone& zone,
                                                    const ZoneText& text) {
  const std::size_t point_width = static_cast<std::size_t>(data.coordinate_count * e14_width);
  for (std::size_t p = 0; p < zone.elements.size(); ++p) {
    out.put(std::string_view(text.coordinates.data() + p * point_width, point_width));
    int on_line = data.coordinate_count;
    const int element = zone.elements[p];
    for (int b = 0; b < data.block_count; ++b) {
      const PrintoutData::SlotBlock& block = data.blocks[static_cast<std::size_t>(b)];
      for (int k = 0; k < block.width; ++k) {
        if (on_line == RealRecord::per_record) {
          out.newline();
          on_line = 0;
        }
        out.commit_to(write_e14_6(out.reserve(e14_width), block.value(element, k)));
        ++on_line;
      }
    }
    out.newline();
  }
}

// The point records in point order: coordinates, then every value slot.
// Every record of a plot has the same length.
void write_points(OutFile& out, const PrintoutData& data, const Zone& zone, const ZoneText& text) {
  const std::size_t point_width = static_cast<std::size_t>(data.coordinate_count * e14_width);
  const int values = point_values(data);
  if (RealRecord::length(values) > OutFile::block) return write_long_points(out, data, zone, text);
  for (std::size_t p = 0; p < zone.elements.size(); ++p) {
    RealRecord record(out, values);
    record.add_laid_out(std::string_view(text.coordinates.data() + p * point_width, point_width),
                        data.coordinate_count);
    const int element = zone.elements[p];
    for (int b = 0; b < data.block_count; ++b) {
      const PrintoutData::SlotBlock& block = data.blocks[static_cast<std::size_t>(b)];
      if (block.compact) record.add_all(block.code_row(element), block.width);
      else record.add_all(block.row(element), block.width);
    }
    record.end();
  }
}

// The point records of every point, then the cell records in cell order.
void write_zone_body(OutFile& out, const PrintoutData& data, const Zone& zone, const ZoneText& text) {
  out.expect(zone.elements.size() * RealRecord::length(point_values(data)) + text.cells.size());
  write_points(out, data, zone, text);
  out.put(std::string_view(text.cells.data(), text.cells.size()));
}

void write_zone_header(OutFile& out, const PlotZones& zones, const Zone& zone, NumberFields fields) {
  if (!zones.from_zone_file && zone.cells.count == 0) write_point_zone_header(out, zone.point_count(), fields);
  else write_cell_zone_header(out, zone.title, zone.point_count(), zone.cells.count, fields);
}

void write_plot(OutFile& out, const PrintoutData& data, const PlotZones& zones, const ZoneTexts& texts,
                NumberFields fields) {
  write_header(out, data);
  for (std::size_t z = 0; z < zones.zones.size(); ++z) {
    write_zone_header(out, zones, zones.zones[z], fields);
    write_zone_body(out, data, zones.zones[z], texts[z]);
  }
}

class ZoneFormatWriter : public PlotWriter {
 public:
  ZoneFormatWriter(const ZoneTexts& texts, NumberFields fields) : texts_(texts), fields_(fields) {}

  std::unique_ptr<PrintoutPlot> begin(const std::string& plot_name) const override {
    return one_file_plot(plot_name, [&texts = texts_, fields = fields_](OutFile& out, const PrintoutData& data,
                                                                      const PlotZones& zones) {
      write_plot(out, data, zones, texts, fields);
    });
  }

 private:
  const ZoneTexts& texts_;
  NumberFields fields_;
};

}  // namespace

void write_zone_format(OutFile& out, const PrintoutData& data, const PlotZones& zones, const Mesh& mesh) {
  write_plot(out, data, zones, lay_out_zones(zones, mesh, data.coordinate_count), NumberFields::fixed);
}

std::unique_ptr<PlotWriter> make_zone_format_writer(const ZoneTexts& texts, NumberFields fields) {
  return std::make_unique<ZoneFormatWriter>(texts, fields);
}

}  // namespace pz
