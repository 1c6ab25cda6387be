// What reading -fe files back cannot single out: clashing or split names, not-a-number, three-digit
// exponents, compact values, an ordered zone after a zone of cells
// (bricks are read back by tests/vtk/check_volumes.py).
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "plot/fe/fe_format.hpp"
#include "support/written.hpp"

namespace pz {
namespace {

TEST(FeNames, FreeOfEachOtherOfTheCoordinatesAndOfWhatReadersSplitAt) {
  PrintoutData data;
  data.start(Projection::yz, true);
  const std::tuple<const char*, int, std::string> arrays[] = {
      {"X", 1, ""}, {"PermM", 1, "Perm Mod"}, {"Perm_", 1, "Perm_Mod"}, {"K", 2, ""}, {"K", 1, ""},
      {"a", 1, "a,b=c\"d\te"}, {"z", 1, ""}, {"FGAS", 2, ""}, {"FGAS_", 1, "FGAS_y"}, {"Z(m)", 1, "Z(m)"}};
  for (int slot = 1; const auto& [name, components, whole] : arrays)
    ASSERT_TRUE(data.add_array(name, std::exchange(slot, slot + components), components, whole));
  EXPECT_EQ(unique_fe_names(data),
            (std::vector<std::string>{"X", "Y", "Z", "X_2", "Perm_Mod", "Perm_Mod_2", "_K_y", "_K_z", "_K_2",
                                      "a_b_c_d_e", "_z", "FGAS_y", "FGAS_z", "FGAS_y_2", "_Z(m)"}));
  data.start(Projection::xy, false);
  EXPECT_EQ(unique_fe_names(data), (std::vector<std::string>{"X", "Y"}));
}

TEST(FeFormat, NumbersLetteredAPointALineCellsAsTheZoneFormatsAndOrderedPoints) {
  Mesh mesh;
  mesh.elements.count = mesh.elements.located = 3;
  mesh.elements.centres = {{}, {1.5, -2, 0}, {1e-120, 4, 0}, {7, 8, 0}};
  PlotZones zones;
  zones.from_zone_file = true;
  Zone& cells = zones.zones.emplace_back();
  cells.title = "Zone T=\"lower row\"";
  cells.elements = {2, 1, 3};
  cells.cells.corners = {{}, {1, 2, 3, 3}};
  cells.cells.count = 1;
  zones.zones.push_back(Zone{"zone \"points\" alone", {3}, {}, {}});
  const ZoneTexts texts = lay_out_zones(zones, mesh, 2);
  PrintoutData data(3);
  data.number = 7;
  data.time = 8.64e6;
  data.start(Projection::yz, true);
  ASSERT_TRUE(data.add_array("P", 1, 1) && data.add_array("FLOH", 2, 2));
  PrintoutData::SlotBlock& scalars = data.blocks[static_cast<std::size_t>(data.add_slots(1, true))];
  PrintoutData::SlotBlock& vectors = data.blocks[static_cast<std::size_t>(data.add_slots(2))];
  ASSERT_TRUE(scalars.compact);
  for (int e = 1; e <= 3; ++e) {
    double as_written;
    ASSERT_TRUE(read_real_as_written(e == 2 ? "-0.0" : std::to_string(e) + ".0E+05", 0, as_written));
    ASSERT_TRUE(compact_code(as_written, scalars.code_row(e)[0]));
    vectors.row(e)[0] = e == 1 ? std::nan("") : -1.01e-105 * e;
    vectors.row(e)[1] = e == 3 ? -INFINITY : 1e100;
  }
  EXPECT_EQ(test::written([&](OutFile& out) { write_fe_format(out, data, zones, texts, "Run.Out"); }),
            test::lines({"TITLE = \"Run.Out, printout 7\"", R"(VARIABLES = "X" "Y" "Z" "P" "FLOH_y" "FLOH_z")",
                         "ZONE T=\"lower row, t=8640000\", N=3, E=1, DATAPACKING=POINT, ZONETYPE=FEQUADRILATERAL",
                         "  0.000000E+00  1.000000E-120  4.000000E+00  0.000000E+00 -2.020000E-105  1.000000E+100",
                         "  0.000000E+00  1.500000E+00 -2.000000E+00  1.000000E+05           nan  1.000000E+100",
                         "  0.000000E+00  7.000000E+00  8.000000E+00  3.000000E+05 -3.030000E-105          -inf",
                         "     1     2     3     3",
                         "ZONE T=\"zone 'points' alone, t=8640000\", I=1, DATAPACKING=POINT",
                         "  0.000000E+00  7.000000E+00  8.000000E+00  3.000000E+05 -3.030000E-105          -inf"}));
  data.projection = Projection::xz;  // the same fields across the XZ plane: Y the zero column
  EXPECT_TRUE(test::written([&](OutFile& out) { write_fe_format(out, data, zones, texts, "Run.Out"); })
                  .ends_with("\n  7.000000E+00  0.000000E+00  8.000000E+00  3.000000E+05 -3.030000E-105          -inf\n"));
}

}  // namespace
}  // namespace pz
