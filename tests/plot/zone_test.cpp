// A zone-format plot written in halves on two threads is the plot written
// in one go.
#include <gtest/gtest.h>

#include <vector>

#include "plot/plot.hpp"
#include "plot/zone/zone_format.hpp"
#include "support/run.hpp"

namespace pz {
namespace {

TEST(ZoneFormat, HalvesGiveThePlotWrittenInOneGo) {
  // A row of n elements, n - 1 cells between them (corners repeated), one
  // element-table column and a vector of a connection-table column.
  constexpr int n = 20000;
  Mesh mesh;
  mesh.elements.count = mesh.elements.located = n;
  mesh.elements.centres.resize(n + 1);
  PlotZones zones;
  Zone& zone = zones.zones.emplace_back();
  zone.title = "Zone";
  zone.cells.corners.resize(n);
  for (int e = 1; e <= n; ++e) {
    mesh.elements.centres[e] = {e * 0.5, 1.0 / e, 0.0};
    zone.elements.push_back(e);
    if (e < n) zone.cells.corners[++zone.cells.count] = {e, e + 1, e + 1, e};
  }
  const ZoneTexts texts = lay_out_zones(zones, mesh, 2);
  PrintoutData data(n);
  data.start(Projection::xy, true);
  ASSERT_TRUE(data.add_array("P", 1, 1));
  ASSERT_TRUE(data.add_array("FLOH", 2, 2));
  PrintoutData::SlotBlock& scalars = data.blocks[static_cast<std::size_t>(data.add_slots(1))];
  PrintoutData::SlotBlock& vectors = data.blocks[static_cast<std::size_t>(data.add_slots(2))];
  for (int e = 1; e <= n; ++e) {
    scalars.row(e)[0] = 1e5 + e;
    vectors.row(e)[0] = -e / 3.0;
    vectors.row(e)[1] = e * 1e-7;
  }
  const std::unique_ptr<PlotWriter> writer = make_zone_format_writer(texts);
  test::ScratchDir dir;
  const auto plot = [&](const std::string& name, bool halves) {
    const std::unique_ptr<PrintoutPlot> p = writer->begin((dir.path() / name).string());
    p->write(data, zones, mesh, halves);
    p->commit();
    return dir.read(name);
  };
  const std::string whole = plot("whole", false);
  const std::string head = "Variables = X Y P FLOHx FLOHy\nZone F=FEPOINT I=20000 J=19999\n";
  ASSERT_TRUE(whole.starts_with(head));
  ASSERT_EQ(whole.size(), head.size() + n * (5 * 14 + 1) + (n - 1) * 25);
  EXPECT_EQ(plot("halves", true), whole);
}

}  // namespace
}  // namespace pz
