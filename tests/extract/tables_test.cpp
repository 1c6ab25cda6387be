// Table reading where real printouts put names and values, beyond the golden cases of tests/run.
#include "extract/tables.hpp"

#include <bit>
#include <random>

#include "records/failure.hpp"
#include "records/number_reading.hpp"
#include "support/run.hpp"

namespace pz {
namespace {

using test::lines;

// A printout's tables over a mesh of elements at x = 1, 2, ... (and, given a rise, at y and z of 0 to 2
// and 0 to 1 rises), each connection's area 2.
struct Tables {
  test::ScratchDir dir;
  Mesh mesh;
  PrintoutData data;
  std::vector<TableOutcome> outcomes;

  Tables(const std::vector<std::string>& names, const std::vector<std::pair<std::string, std::string>>& pairs,
         const std::string& printout, TableSettings settings = {}, double rise = 0) {
    std::vector<std::string> elements, connections;
    for (std::size_t i = 0; i < names.size(); ++i)
      elements.push_back(test::element(names[i], double(i + 1), rise * double(i % 3), rise * double(i % 2)));
    for (const auto& [a, b] : pairs) connections.push_back(test::connection(a, b, 2));
    dir.write("MESH", test::mesh_file(elements, connections));
    dir.write("p.out", printout);
    Projection projection = Projection::xy;
    try {
      read_mesh(mesh, projection, {}, (dir.path() / "MESH").string(), (dir.path() / "locat").string());
    } catch (const RunEnd& end) {
      ADD_FAILURE() << "the mesh reading ends: " << end.report();
    }
    data = PrintoutData(mesh.elements.located);
    data.number = 1;
    data.start(settings.projection, true);
    LineReader in;
    in.open((dir.path() / "p.out").string(), Source{unit::printout, "p.out"}, Routine::main_program);
    ScanLine line;
    try {
      for (std::string_view record; in.next(record);) {
        line.assign(record);
        if (!line.is_heading()) continue;
        if (const TableOutcome o = read_table(in, line, settings, mesh, data); o != TableOutcome::not_a_table)
          outcomes.push_back(o);
      }
    } catch (const RunEnd& end) {
      ADD_FAILURE() << "the run ends: " << end.report();
    }
  }
  std::vector<std::string> names(bool whole = false) const {
    std::vector<std::string> n;
    for (int a = 0; a < data.array_count; ++a) n.emplace_back(whole ? data.arrays[a].whole_name() : data.arrays[a].view());
    return n;
  }
  // Slot j (from 1) of element e (from 1).
  double slot(int e, int j) const {
    const PrintoutData::SlotBlock& b = data.block_of(j);
    return binary_value(b.value(e, j - b.first_slot - 1));
  }
};

const std::string at_signs = " @@@@@@@@@@@@@@@@@@@@";

TEST(ColumnsFromValues, EachValueIsAColumnNamedByTheTextOverIt) {
  // The first row without its last value: the heading's names stand.
  const Tables trailing({"A1  1"}, {},
                        lines({" ELEM.  INDEX          P           T          SG          SW",
                               " A1  1     1 0.10000E+01 0.20000E+01 0.30000E+01", at_signs}));
  EXPECT_EQ(trailing.names(), (std::vector<std::string>{"P", "T", "SG", "SW"}));
  EXPECT_EQ(trailing.slot(1, 3), 3.0);

  // More words than a heading may name: the row's values decide.
  std::string heading = " ELEM.  INDEX", row = " A1  1     1";
  for (int k = 1; k <= 11; ++k) {
    heading += "     Val  x" + std::to_string(k % 10);
    row += "  " + std::to_string(k % 10) + ".0000E+00";
  }
  const Tables many({"A1  1"}, {}, lines({heading, row, at_signs}));
  ASSERT_EQ(many.names().size(), 11u);
  EXPECT_EQ(many.names(true)[10], "Val  x1");
  EXPECT_EQ(many.slot(1, 11), 1.0);
}

TEST(NamesMoved, EachNameIsSoughtUpToTwoColumnsEitherWay) {
  // Names moved left and right; then a row readable only as a pair the mesh does not join.
  const std::vector<std::string> names = {"A11 1", "A11 2", "B   1", "B   2"};
  const Tables t(names, {{"A11 1", "A11 2"}},
                 lines({"       ELEM1  ELEM2    INDEX   FLOH", "      B   1     B   2        1  1.0E+00",
                        "      A11 1     A11 2        2  8.0E+00", at_signs}));
  EXPECT_EQ(t.slot(1, 1), -2.0);  // 8 over area 2, halved, from A11 2 towards A11 1
  EXPECT_EQ(t.slot(3, 1), 0.0);
}

TEST(LetterLines, OnlyTheirLayoutEndsTablesAtThemAndReadsElem1Twice) {
  const std::string letters = " " + std::string(40, 'C');
  const std::string text = lines({" ELEM.  INDEX  P", " A1  1     1  1.0", letters, " A1  1     1  2.0", at_signs,
                                  "  ELEM1   ELEM1  INDEX    FLOH", "  A1  2   A1  1      1   8.0", letters});
  const std::vector<std::string> names = {"A1  1", "A1  2"};
  const Tables plain(names, {{"A1  2", "A1  1"}}, text);
  EXPECT_EQ(plain.slot(1, 1), 2.0);  // the letter line passed over
  EXPECT_EQ(plain.outcomes.size(), 1u);
  const Tables layout(names, {{"A1  2", "A1  1"}}, text, TableSettings{.letter_lines = true});
  EXPECT_EQ(layout.slot(1, 1), 1.0);
  ASSERT_EQ(layout.outcomes.size(), 2u);
  EXPECT_EQ(layout.outcomes[1], TableOutcome::read);
  EXPECT_EQ(layout.slot(1, 2), 2.0);  // x of the vector from A1  1 towards A1  2
}

// Connection rows of the shape (" -0.250000E+01") are added with no test
// of the sums: they give the sums that the same decimals out of the shape
// ("  -2.5000000") give, bit for bit, flows over the area and velocities
// alone, in the plane and in space, and past a column the list leaves out.
TEST(ConnectionSums, RowsOfTheShapeAddAsTheSameValuesOutOfIt) {
  const std::vector<std::string> names = {"A1  1", "A1  2", "A1  3", "A1  4"};
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"A1  1", "A1  2"}, {"A1  1", "A1  4"}, {"A1  2", "A1  3"}, {"A1  3", "A1  4"}};
  std::mt19937_64 rng(17);
  std::string shaped, plain;
  for (int n = 0; n < 400; ++n) {
    shaped += " " + pairs[n % 4].first + " " + pairs[n % 4].second + "     1";
    plain += " " + pairs[n % 4].first + " " + pairs[n % 4].second + "     1";
    for (int k = 0; k < 3; ++k) {
      const std::string digits = std::to_string(rng() % 9'000'000 + 1'000'000), sign = rng() % 2 ? "-" : " ";
      const std::size_t exponent = rng() % 6;
      shaped += " " + sign + digits[0] + "." + digits.substr(1) + "E+0" + std::to_string(exponent);
      const std::string decimal = sign + digits.substr(0, exponent + 1) + "." + digits.substr(exponent + 1);
      plain += std::string(14 - decimal.size(), ' ') + decimal;
    }
    shaped += "\n";
    plain += "\n";
  }
  const std::string heading = " ELEM1 ELEM2 INDEX          FLOH      VEL(GAS)          FLOF\n";
  const WantedList list("floh vel(gas)");
  for (const Projection projection : {Projection::xy, Projection::xyz})
    for (const WantedList* wanted : {static_cast<const WantedList*>(nullptr), &list}) {
      const TableSettings settings{.projection = projection, .wanted = wanted};
      const Tables fast(names, pairs, heading + shaped + at_signs + "\n", settings, 0.7);
      const Tables slow(names, pairs, heading + plain + at_signs + "\n", settings, 0.7);
      ASSERT_EQ(fast.data.slot_count, (wanted ? 2 : 3) * (projection == Projection::xy ? 2 : 3));
      for (int e = 1; e <= 4; ++e)
        for (int j = 1; j <= fast.data.slot_count; ++j)
          ASSERT_EQ(std::bit_cast<std::uint64_t>(fast.slot(e, j)), std::bit_cast<std::uint64_t>(slow.slot(e, j)))
              << e << " " << j;
    }
}

}  // namespace
}  // namespace pz
