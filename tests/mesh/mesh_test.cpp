// The mesh reader's results on small files, and element and connection lookups.
#include <gtest/gtest.h>

#include "mesh/mesh.hpp"
#include "support/run.hpp"

namespace pz {
namespace {

using test::connection, test::element, test::mesh_file;

struct MeshRun : ::testing::Test {
  test::ScratchDir dir;
  Mesh mesh;
  Projection projection = Projection::automatic;
  const Elements& elements = mesh.elements;
  int run(const std::vector<std::string>& element_records, const std::vector<std::string>& connection_records = {}) {
    dir.write("MESH", mesh_file(element_records, connection_records));
    return read_mesh(mesh, projection, {}, (dir.path() / "MESH").string(), (dir.path() / "locat").string());
  }
  std::string names() const {
    std::string s;
    for (int e = 1; e <= elements.count; ++e) s.append(elements.names[e].data(), 5);
    return s;
  }
};

TEST_F(MeshRun, UnlocatedElementsAreGatheredBehindTheLocatedOnes) {
  EXPECT_EQ(run({element("a", -999, -999, 5), element("b", 1, 2), element("c", -999, -999), element("d", 3, 0)}), 2);
  EXPECT_EQ(names(), "d    b    c    a    ");
  EXPECT_EQ(find_element(mesh.name_index, "a", 4), 4);  // the index follows the moves
  EXPECT_EQ(find_element(mesh.name_index, "a", elements.located), 0);
}

// A guess is taken only where the index would find the same element.
TEST_F(MeshRun, AGuessedElementIsTheOneTheIndexFinds) {
  run({element("A1  1", 1, 0), element("A1 01", 2, 0), element("B", 3, 0), element("A0B01", 4, 0),
       element("C", -999, -999)});
  for (int guess : {0, 1, 2, 3, 4, 9})  // "A1 01" reads as "A1  1": element 1 is found for both
    EXPECT_EQ(find_element_from(mesh, "A1 01", elements.located, guess), 1) << guess;
  // Only the fourth character's "0" is a blank; case counts; names are cut to 5 characters.
  for (auto [name, found] : {std::pair{"A0B 1", 4}, {"A B 1", 0}, {"a0b01", 0}, {"b", 0}, {"B    extra", 3}})
    EXPECT_EQ(find_element(mesh.name_index, name, elements.located), found) << name;
  EXPECT_EQ(find_element_from(mesh, "B", elements.located, 3), 3);
  EXPECT_EQ(find_element_from(mesh, "C", elements.located, 5), 0);  // above the bound
  EXPECT_EQ(find_element_from(mesh, "C", elements.count, 5), 5);
}

TEST_F(MeshRun, PlaneChoiceAndRearrangement) {
  using enum Projection;
  const struct { Projection asked; double x, y, z; Projection chosen; std::array<double, 3> after; } cases[] = {
      {automatic, 2, 2, 3, xz, {1, 3, 3}}, {automatic, 1, 2, 3, yz, {2, 3, 3}},  // dx = dy < dz; dx smallest
      {automatic, 3, 3, 3, xy, {1, 2, 3}},                                        // all equal
      {yz, 9, 9, 0, yz, {2, 3, 3}}, {xz, 9, 9, 0, xz, {1, 3, 3}}, {xyz, 9, 9, 0, xyz, {1, 2, 3}}};  // as asked
  for (const auto& c : cases) {
    projection = c.asked;
    run({element("o", 0, 0, 0), element("p", c.x, c.y, c.z), element("q", 1, 2, 3)});
    EXPECT_TRUE(projection == c.chosen && elements.centres[3] == c.after) << c.x << c.y << c.z;
  }
  projection = automatic;  // the box is that of the elements, not of the origin
  run({element("m", 50, 1, 7), element("n", 51, 9, 10)});
  EXPECT_EQ(projection, yz);
}

TEST_F(MeshRun, ConnectionsAreNumberedAndLinkedNewestFirst) {
  run({element("A1  1", 1, 0), element("A1  2", 2, 0), element("A1  3", -999, -999), element("A1  4", 4, 0)},
      {connection("A1 01", "A1  2", 10), connection("A1  1", "nope "), connection("A1  2", "A1  3"),
       connection("A1  4", "A1  4"), connection("A1  4", "A1  1", 40), connection("+++AB", "A1  1"), "+++  ",
       connection("A1  1", "A1  2")});
  using P = std::array<int, 2>;
  const Connections& c = mesh.connections;
  ASSERT_EQ(c.count, 6);
  ASSERT_EQ(names(), "A1  1A1  2A1  4A1  3");
  // Unresolved (2, 6: "+++AB" is a name), an unlocated end (3), one element
  // at both ends (4): stored or not, never linked.
  EXPECT_EQ(c.ends, (std::vector<P>{{0, 0}, {1, 2}, {0, 0}, {2, 4}, {3, 3}, {3, 1}, {0, 0}}));
  EXPECT_EQ(c.next_connection, (std::vector<P>{{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 1}, {0, 0}}));
  EXPECT_EQ(elements.first_connection, (std::vector<int>{0, 5, 1, 5, 0}));
  EXPECT_EQ(c.areas, (std::vector<double>{0, 10, 1, 1, 1, 40, 1}));
  // A long block, read in batches, keeps the record order.
  std::vector<std::string> chain, links;
  for (int i = 1; i <= 100; ++i) chain.push_back(element("E" + std::to_string(i + 100), i, 0));
  for (int k = 1; k <= 99; ++k) links.push_back(connection(chain[k - 1], k % 7 ? chain[k] : "none"));
  run(chain, links);
  ASSERT_EQ(c.count, 99);
  for (int k = 1; k <= 99; ++k) EXPECT_EQ(c.ends[k], (P{k % 7 ? k : 0, k % 7 ? k + 1 : 0})) << k;
  for (int j = 1; j <= 100; ++j) EXPECT_EQ(elements.first_connection[j], j <= 99 && j % 7 ? j : j - 1) << j;
}

// A connection is found by its ends in that order, the last record of a
// pair listed twice, by a walk of short lists and by the index when an
// element heads a list longer than the walk's limit.
TEST_F(MeshRun, ConnectionsAreFoundByTheirEnds) {
  for (int spokes : {3, ConnectionIndex::longest_walk + 1}) {
    std::vector<std::string> els{element("HUB 0", 0, 0)}, links;
    for (int i = 1; i <= spokes; ++i) {
      const std::string name = "S" + std::to_string(1000 + i);
      els.push_back(element(name, i, 1));
      links.push_back(connection("HUB 0", name));
    }
    links.push_back(connection("HUB 0", "S1002"));  // record spokes + 1: the same pair again
    run(els, links);
    EXPECT_EQ(mesh.connection_index.slots.empty(), spokes <= ConnectionIndex::longest_walk);
    const int hub = find_element(mesh.name_index, "HUB 0", elements.located);
    for (int i = 1; i <= spokes; ++i) {
      const int spoke = find_element(mesh.name_index, "S" + std::to_string(1000 + i), elements.located);
      EXPECT_EQ(find_connection(mesh, hub, spoke), i == 2 ? spokes + 1 : i) << spokes << " " << i;
      EXPECT_EQ(find_connection(mesh, spoke, hub), 0);
      // A guess, right, repeated later (record 2), wrong or none, changes nothing.
      for (int guess : {i, i + 1, 0, spokes + 2})
        EXPECT_EQ(find_connection_from(mesh, hub, spoke, guess), i == 2 ? spokes + 1 : i) << i << " " << guess;
      EXPECT_EQ(find_connection_from(mesh, spoke, hub, i), 0);
    }
  }
}

// A simulator input file: its ELEME and CONNE blocks wherever they stand; a failure names its own line.
TEST_F(MeshRun, AnInputFileGivesTheMeshOfItsBlocks) {
  const auto outcome = [&](const std::string& text) {
    dir.write("MESH", text);
    try {
      read_mesh(mesh, projection, {}, (dir.path() / "MESH").string(), (dir.path() / "locat").string());
    } catch (const Stop& s) {
      return s.message + " | " + s.context;
    } catch (const Failure& f) {
      return f.first_line() + " | " + f.context;
    }
    std::string tables = names();
    for (int e = 1; e <= elements.count; ++e) tables += " " + std::to_string(elements.centres[e][0]);
    for (int k = 1; k <= mesh.connections.count; ++k)
      tables += " " + std::to_string(mesh.connections.ends[k][0]) + "-" + std::to_string(mesh.connections.ends[k][1]);
    return tables;
  };
  const std::string eleme = "ELEME----1----*----2\n" + element("A1  1", 1, 0) + "\n" + element("A1  2", 2, 0) + "\n" +
                            element("A1  3", 3, 5) + "\n\n";
  const std::string conne = "CONNE\n" + connection("A1  1", "A1  2", 2) + "\n" + connection("A1  2", "A1  3", 3) +
                            "\n" + connection("A1  3", "nope ") + "\n+++\n";
  const std::string title = "Eleme and conne of a test\n", rocks = "ROCKS\nSAND     2 2650.\n\n",
                    param = "PARAM\n 2 100\n", end = "ENDCY\nELEME after the end is not read\n";
  const std::string expected = outcome(mesh_file({element("A1  1", 1, 0), element("A1  2", 2, 0), element("A1  3", 3, 5)},
                                                 {connection("A1  1", "A1  2", 2), connection("A1  2", "A1  3", 3),
                                                  connection("A1  3", "nope ")}));
  EXPECT_EQ(expected.substr(0, 15), "A1  1A1  2A1  3");
  EXPECT_EQ(outcome(title + rocks + eleme + param + conne + end), expected);
  EXPECT_EQ(outcome(title + conne + rocks + "eleme" + eleme.substr(5) + end), expected);  // CONNE first
  // A bad area in a CONNE block read after the ELEME block that follows it.
  std::string bad = conne;
  bad.replace(bad.find("    2.0000"), 10, "    2.0x  ");
  EXPECT_EQ(outcome(title + rocks + bad + eleme),
            "forrtl: severe (64): input conversion error, unit 1, file " + (dir.path() / "MESH").string() +
                " | line 6, columns 51-60: \"    2.0x  \" is not a number");
}

TEST_F(MeshRun, LocationFileIsReadOnlyForAMeshWithoutCoordinates) {
  // "(a5,5x,2f20.0)"; the last record of a name wins, those after the end are not read.
  const auto at = [](const char* name, std::string x, const char* y) {
    return name + ("     " + x.append(20 - x.size(), ' ')) + y + "\n";
  };
  dir.write("locat", "locat\n" + at("AB001", "1.5-3", "125") + at("zzzzz", "1", "2") + at("AB0 2", "7", "8") +
                         at("AB0 2", "-2.5d1", "4") + "\n" + at("AB0 3", "1", "1"));
  EXPECT_EQ(run({element("AB0 1", 0, 0), element("AB0 2", 0, 0), element("AB0 3", 0, 0)}), 2);
  EXPECT_EQ(elements.centres,
            (std::vector<std::array<double, 3>>{{0, 0, 0}, {0.0015, 125, 0}, {-25, 4, 0}, {-999, -999, 0}}));
  dir.write("locat", "not read");
  EXPECT_EQ(run({element("a", 0, 0), element("b", 0, 0, 1e-3)}), 2);
}

}  // namespace
}  // namespace pz
