// The zone format past the fixed sizes: counts and point numbers widened, records longer than a buffer.
#include <gtest/gtest.h>

#include "plot/fe/fe_format.hpp"
#include "plot/zone/zone_format.hpp"
#include "support/written.hpp"

namespace pz {
namespace {

using test::written;

TEST(ZoneFields, CountsAndPointNumbersWidenAfterABlankOnlyWhenAsked) {
  const auto header = [](std::int64_t points, std::int64_t cells, NumberFields fields) {
    return written([&](OutFile& out) {
      write_cell_zone_header(out, "Zone", points, cells, fields);
      write_point_zone_header(out, points, fields);
    });
  };
  EXPECT_EQ(header(99999, 140000, NumberFields::fixed), "Zone F=FEPOINT I=99999 J=140000\nZone F=POINT I=99999\n");
  EXPECT_EQ(header(99999, 140000, NumberFields::widened),
            "Zone F=FEPOINT I=99999 J= 140000\nZone F=POINT I=99999\n");
  EXPECT_EQ(header(1000868, 7, NumberFields::widened), "Zone F=FEPOINT I= 1000868 J=    7\nZone F=POINT I= 1000868\n");

  Mesh mesh;
  mesh.elements.count = mesh.elements.located = 1;
  mesh.elements.centres = {{}, {1, 2, 3}};
  PlotZones zones;
  Zone& zone = zones.zones.emplace_back(Zone{"Zone", {1}, {}, {}});
  zone.cells.corners = {{}, {1, 99999, 100000, 1000000}, {12345678, 999999, 2, 2147483647}};
  zone.cells.count = 2;
  const auto cells = [&](NumberFields fields) {
    const ZoneTexts texts = lay_out_zones(zones, mesh, 2, fields);
    return std::string(texts[0].cells.begin(), texts[0].cells.end());
  };
  EXPECT_EQ(cells(NumberFields::fixed), "     1 99999100000******\n******999999     2******\n");
  EXPECT_EQ(cells(NumberFields::widened), "     1 99999 100000 1000000\n 12345678 999999     2 2147483647\n");
}

TEST(ZoneFields, PointRecordsLongerThanTheBufferKeepTheirLayout) {
  Mesh mesh;
  mesh.elements.count = mesh.elements.located = 1;
  mesh.elements.centres = {{}, {1, 2, 3}};
  const PlotZones zones = traced_zone(mesh, {});
  constexpr int slots = 80000;  // 80 002 numbers: 1 120 801 characters a record
  PrintoutData data(1, ExtractCapacity::unbounded());
  data.start(Projection::xy, true);
  PrintoutData::SlotBlock& compact = data.blocks[static_cast<std::size_t>(data.add_slots(2, true))];
  PrintoutData::SlotBlock& values = data.blocks[static_cast<std::size_t>(data.add_slots(slots - 2))];
  double half;
  ASSERT_TRUE(read_real_as_written("-0.5", 0, half) && compact_code(half, compact.code_row(1)[1]));
  values.row(1)[96] = 1.5;
  values.row(1)[slots - 3] = 1e-300;

  const std::string zone = written([&](OutFile& out) { write_zone_format(out, data, zones, mesh); });
  const std::string lead = "Variables = X Y\nZone F=POINT I=    1\n  1.000000E+00  2.000000E+00  0.000000E+00 -5.000000E-01";
  ASSERT_TRUE(zone.starts_with(lead)) << zone.substr(0, 200);
  // 100 numbers a line: slot 99 (values[96]) opens the second line.
  EXPECT_EQ(zone.substr(lead.size() + 96 * 14, 16), "\n  1.500000E+00 ");
  EXPECT_EQ(zone.size(), lead.size() - 56 + (slots + 2) * 14 + (slots + 2 + 99) / 100);
  EXPECT_TRUE(zone.ends_with("  0.000000E+00  1.000000-300\n"));

  const ZoneTexts texts = lay_out_zones(zones, mesh, 2);
  const std::string fe = written([&](OutFile& out) { write_fe_format(out, data, zones, texts, "p"); });
  const std::size_t line = fe.find("\n  1.000000E+00  2.000000E+00  0.000000E+00 -5.000000E-01");
  ASSERT_NE(line, std::string::npos) << fe.substr(0, 300);
  EXPECT_EQ(fe.size() - line - 2, (slots + 2) * 14 + 1u);  // one line; the exponent's letter too
  EXPECT_TRUE(fe.ends_with("  0.000000E+00  1.000000E-300\n"));
}

}  // namespace
}  // namespace pz
