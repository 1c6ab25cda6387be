// A zone-format plot whose first points are written ahead, while the
// printout's last table is read, is the plot written in one go: whatever
// batches the points come ready in, in halves or not, and when what was
// written ahead is dropped.
#include <gtest/gtest.h>

#include <vector>

#include "plot/plot.hpp"
#include "plot/zone/zone_format.hpp"
#include "support/run.hpp"

namespace pz {
namespace {

// Points ready in the batches given, then no more.
struct Batches final : PointsReady {
  std::vector<std::size_t> ends;
  std::size_t next = 0;
  std::size_t ready_beyond(std::size_t written) override {
    EXPECT_TRUE(next == 0 || written == ends[next - 1]);
    return next < ends.size() ? ends[next++] : written;
  }
};

TEST(ZoneFormat, PointsWrittenAheadThenTheRestGiveThePlotWrittenInOneGo) {
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
  const auto plot = [&](const std::string& name, const std::vector<std::size_t>& batches, bool drop, bool halves) {
    const std::unique_ptr<PrintoutPlot> p = writer->begin((dir.path() / name).string());
    Batches ready;
    ready.ends = batches;
    EXPECT_EQ(p->write_ahead(data, zones, ready), !batches.empty()) << name;
    if (drop) p->drop_ahead();
    p->write(data, zones, mesh, halves);
    p->commit();
    return dir.read(name);
  };
  const std::string whole = plot("whole", {}, false, false);
  const std::string head = "Variables = X Y P FLOHx FLOHy\nZone F=FEPOINT I=20000 J=19999\n";
  ASSERT_TRUE(whole.starts_with(head));
  ASSERT_EQ(whole.size(), head.size() + n * (5 * 14 + 1) + (n - 1) * 25);
  EXPECT_EQ(plot("halves", {}, false, true), whole);
  for (const bool halves : {false, true}) {
    EXPECT_EQ(plot("one", {1}, false, halves), whole);
    EXPECT_EQ(plot("uneven", {3, 4096, 4097, 9999}, false, halves), whole);
    EXPECT_EQ(plot("all", {n / 2, n}, false, halves), whole);
    EXPECT_EQ(plot("dropped", {5000, 12000}, true, halves), whole);
  }
  // A plot of two zones is not written ahead.
  zones.zones.push_back(zones.zones[0]);
  const std::unique_ptr<PrintoutPlot> two = writer->begin((dir.path() / "two").string());
  Batches ready;
  ready.ends = {10};
  EXPECT_FALSE(two->write_ahead(data, zones, ready));
}

}  // namespace
}  // namespace pz
