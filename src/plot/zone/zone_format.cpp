#include "plot/zone/zone_format.hpp"

#include <optional>

#include "plot/plot_file.hpp"
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

// Point records in point order (coordinates, then every value slot), then
// cell records in cell order.
void write_zone_body(OutFile& out, const PrintoutData& data, const Mesh& mesh, const Zone& zone) {
  RealRecord record(out);
  for (const int element : zone.elements) {
    const auto e = static_cast<std::size_t>(element);
    const auto& x = mesh.elements.centres[e];
    for (int i = 0; i < data.coordinate_count; ++i) record.add(x[static_cast<std::size_t>(i)]);
    const double* values = data.values_of(element);
    for (int j = 0; j < data.slot_count; ++j) record.add(values[j]);
    record.end();
  }
  for (int c = 1; c <= zone.cells.count; ++c) write_cell_record(out, zone.cells.corners[static_cast<std::size_t>(c)]);
}

// One plot file per printout.
class ZoneFormatPlot : public PrintoutPlot {
 public:
  explicit ZoneFormatPlot(const std::string& plot_name) : file_(plot_name) {}

  void write(const PrintoutData& data, const PlotZones& zones, const Mesh& mesh) override {
    time = data.time;
    write_zone_format(file_.out(), data, zones, mesh);
    finished_.emplace(file_.finish());
  }

  void commit() override { finished_->commit(); }

 private:
  PlotFile file_;
  std::optional<FinishedFile> finished_;
};

class ZoneFormatWriter : public PlotWriter {
 public:
  std::unique_ptr<PrintoutPlot> begin(const std::string& plot_name) const override {
    return std::make_unique<ZoneFormatPlot>(plot_name);
  }
};

}  // namespace

void write_zone_format(OutFile& out, const PrintoutData& data, const PlotZones& zones, const Mesh& mesh) {
  write_header(out, data);
  for (const Zone& zone : zones.zones) {
    if (!zones.from_zone_file && zone.cells.count == 0) write_point_zone_header(out, zone.point_count());
    else write_cell_zone_header(out, zone.title, zone.point_count(), zone.cells.count);
    write_zone_body(out, data, mesh, zone);
  }
}

std::unique_ptr<PlotWriter> make_zone_format_writer() { return std::make_unique<ZoneFormatWriter>(); }

}  // namespace pz
