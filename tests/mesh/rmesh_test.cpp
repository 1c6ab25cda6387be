// The mesh reader and the location file, on small files in a scratch
// directory.

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>

#include "mesh/mesh.hpp"
#include "support/run.hpp"

namespace pz {
namespace {

// "(a,45x,3e10.4)" and "(2a,40x,f10.0)", numbers written with a point.
std::string elem(const std::string& name, double x = 0, double y = 0, double z = 0) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%-5s%45s%10.3f%10.3f%10.3f\n", name.c_str(), "", x, y, z);
  return buf;
}
std::string conn(const std::string& a, const std::string& b, double area = 1) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%-5s%-5s%40s%10.3f\n", a.c_str(), b.c_str(), "", area);
  return buf;
}
// "(a5,5x,2f20.0)"
std::string loc(const std::string& name, const std::string& x, const std::string& y) {
  return name + "     " + x + std::string(20 - x.size(), ' ') + y + "\n";
}
std::string mesh_file(const std::string& elements, const std::string& connections) {
  return "ELEME\n" + elements + "\nCONNE\n" + connections + "\n";
}

struct MeshRun : ::testing::Test {
  test::ScratchDir dir;
  Mesh mesh;
  int IOPT = 0;
  int run(const std::string& text, std::optional<std::string> locat = std::nullopt, MeshCapacity cap = {}) {
    dir.write("MESH", text);
    if (locat) dir.write("locat", *locat);
    return rmesh(mesh, IOPT, cap, (dir.path() / "MESH").string(), (dir.path() / "locat").string());
  }
  // How a run ends: "ok", the stop message, or "failure N unit U <file name>".
  std::string outcome(const std::string& text, std::optional<std::string> locat = std::nullopt,
                      MeshCapacity cap = {}) {
    try {
      run(text, locat, cap);
    } catch (const Stop& s) {
      return s.message;
    } catch (const Failure& f) {
      return "failure " + std::to_string(f.number) + " unit " + std::to_string(f.unit) + " " +
             std::filesystem::path(f.file).filename().string();
    }
    return "ok";
  }
  std::string names() const {
    std::string s;
    for (int e = 1; e <= mesh.elements; ++e) s.append(mesh.ID[e].data(), 5);
    return s;
  }
};

TEST_F(MeshRun, EachMalformedFileEndsTheRunWithItsMessage) {
  const std::string one = elem("A1  1", 1, 2, 3), zero = mesh_file(elem("A1  1"), "");
  EXPECT_EQ(outcome(""), "Premature EOF on MESH");
  EXPECT_EQ(outcome("Eleme\n"), "no eleme in MESH");
  EXPECT_EQ(outcome("ELEME\n" + one), "Premature EOF on MESH");
  EXPECT_EQ(outcome("ELEME\n" + one + "\n"), "Premature EOF on MESH");
  EXPECT_EQ(outcome("ELEME\n" + one + "\n\nCONNE\n"), "no conne in MESH");
  EXPECT_EQ(outcome("ELEME\n" + one + "\nConne\n\n"), "no conne in MESH");
  EXPECT_EQ(outcome("ELEME\n" + one + "\nCONNE\n" + conn("A1  1", "A1  1")), "Premature EOF on MESH");
  EXPECT_EQ(outcome("eleme ok\n" + one + "\nconne\n\n"), "ok");  // only 5 columns compared
  EXPECT_EQ(outcome(zero, ""), "Premature EOF on locat");
  EXPECT_EQ(outcome(zero, "LOCATE\nA1  1\n"), "Premature EOF on locat");
  EXPECT_EQ(outcome(zero, "Locat\n\n"), "no locat in locat");
  std::filesystem::remove(dir.path() / "locat");
  EXPECT_EQ(outcome(zero), "failure 29 unit 2 locat");
  EXPECT_EQ(outcome("ELEME\nA1  1" + std::string(45, ' ') + "  1.5*2\n\nCONNE\n\n"), "failure 64 unit 1 MESH");
  EXPECT_EQ(outcome("ELEME\n" + one + std::string(50, ' ') + "x\nCONNE\n\n"), "failure 64 unit 1 MESH");
  EXPECT_EQ(outcome(zero, "LOCAT\n" + loc("A1  1", "1..5", "")), "failure 64 unit 2 locat");
}

TEST_F(MeshRun, UnlocatedElementsAreGatheredBehindTheLocatedOnes) {
  const std::string els = elem("a", -999, -999, 5) + elem("b", 1, 2, 0) + elem("c", -999, -999) + elem("d", 3, 0, 0);
  EXPECT_EQ(run(mesh_file(els, "")), 2);
  EXPECT_EQ(names(), "d    b    c    a    ");
  EXPECT_EQ(IOPT, 3);  // z is flat
  EXPECT_EQ(ihash(mesh.index, "a", 4), 4);  // the index follows the moves
  EXPECT_EQ(ihash(mesh.index, "a", mesh.located), 0);
}

TEST_F(MeshRun, PlaneChoiceAndRearrangement) {
  struct Case { int option; double x, y, z; int chosen; std::array<double, 3> after; };
  for (const Case& c : {Case{0, 2, 2, 3, 2, {1, 3, 3}},   // dx = dy < dz: XZ
                        Case{0, 1, 2, 3, 1, {2, 3, 3}},   // dx smallest: YZ
                        Case{0, 3, 3, 3, 3, {1, 2, 3}},   // all equal: XY
                        Case{1, 9, 9, 0, 1, {2, 3, 3}},
                        Case{2, 9, 9, 0, 2, {1, 3, 3}},
                        Case{4, 9, 9, 0, 4, {1, 2, 3}}}) {
    IOPT = c.option;
    run(mesh_file(elem("o", 0, 0, 0) + elem("p", c.x, c.y, c.z) + elem("q", 1, 2, 3), ""));
    EXPECT_EQ(IOPT, c.chosen) << c.x << c.y << c.z;
    EXPECT_EQ(mesh.X[3], c.after) << c.option;
  }
  IOPT = 0;  // the box is that of the elements, not of the origin
  run(mesh_file(elem("m", 50, 1, 7) + elem("n", 51, 9, 10), ""));
  EXPECT_EQ(IOPT, 1);
}

TEST_F(MeshRun, ConnectionsAreNumberedAndLinkedNewestFirst) {
  const std::string els = elem("A1  1", 1) + elem("A1  2", 2) + elem("A1  3", -999, -999) + elem("A1  4", 4);
  const std::string cons = conn("A1 01", "A1  2", 10) + conn("A1  1", "nope ") + conn("A1  2", "A1  3") +
                           conn("A1  4", "A1  4") + conn("A1  4", "A1  1", 40) + conn("+++AB", "A1  1") +
                           "+++  \n" + conn("A1  1", "A1  2");
  run(mesh_file(els, cons));
  ASSERT_EQ(mesh.connections, 6);
  ASSERT_EQ(names(), "A1  1A1  2A1  4A1  3");
  using P = std::array<int, 2>;
  // Unresolved (2, 6: "+++AB" is a name), an unlocated end (3), one element
  // at both ends (4): stored or not, never linked.
  EXPECT_EQ(mesh.E, (std::vector<P>{{0, 0}, {1, 2}, {0, 0}, {2, 4}, {3, 3}, {3, 1}, {0, 0}}));
  EXPECT_EQ(mesh.CC, (std::vector<P>{{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 1}, {0, 0}}));
  EXPECT_EQ(mesh.EC, (std::vector<int>{0, 5, 1, 5, 0}));
  EXPECT_EQ(mesh.A[5], 40);

  // A long block, read in batches, keeps the record order.
  auto name_of = [](int i) { return i > 100 ? std::string("none") : (std::string(1, 'E') += std::to_string(i + 100)); };
  std::string chain, links;
  for (int i = 1; i <= 100; ++i) chain += elem(name_of(i), i);
  for (int k = 1; k <= 99; ++k) links += conn(name_of(k), name_of(k % 7 ? k + 1 : 999));
  run(mesh_file(chain, links));
  ASSERT_EQ(mesh.connections, 99);
  for (int k = 1; k <= 99; ++k) EXPECT_EQ(mesh.E[k], (P{k % 7 ? k : 0, k % 7 ? k + 1 : 0})) << k;
  for (int j = 1; j <= 100; ++j) EXPECT_EQ(mesh.EC[j], j <= 99 && j % 7 ? j : j - 1) << j;
  EXPECT_EQ(outcome(mesh_file(chain, links), std::nullopt, {101, 99, 256}),
            "too many connections in MESH (at most 98)");
}

TEST_F(MeshRun, LocationFileIsReadOnlyForAMeshWithoutCoordinates) {
  const std::string els = elem("AB0 1") + elem("AB0 2") + elem("AB0 3");
  const std::string locat = "locat\n" + loc("AB001", "1.5-3", "125") + loc("zzzzz", "1", "2") +
                            loc("AB0 2", "7", "8") + loc("AB0 2", "-2.5d1", "4") + "\n" + loc("AB0 3", "1", "1");
  EXPECT_EQ(run(mesh_file(els, ""), locat), 2);
  EXPECT_EQ(mesh.X[1], (std::array<double, 3>{0.0015, 125, 0}));
  EXPECT_EQ(mesh.X[2], (std::array<double, 3>{-25, 4, 0}));
  EXPECT_EQ(mesh.X[3], (std::array<double, 3>{-999, -999, 0}));

  dir.write("locat", "not read");
  EXPECT_EQ(run(mesh_file(elem("a") + elem("b", 0, 0, 1e-3), "")), 2);

  // An empty element block still reads the location file and needs CONNE;
  // with nothing located the plane is XY.
  IOPT = 0;
  EXPECT_EQ(run(mesh_file("", conn("a", "b")), "LOCAT\nA         1 1\n\n"), 0);
  EXPECT_EQ(IOPT, 3);
  EXPECT_EQ(mesh.connections, 1);
}

TEST_F(MeshRun, CapacitiesLimitDataRecordsNotTerminators) {
  const std::string three = elem("a", 1) + elem("b", 2) + elem("c", 3), two = conn("a", "b") + conn("b", "c");
  const MeshCapacity cap{4, 3, 256};
  EXPECT_EQ(outcome(mesh_file(three, two), std::nullopt, cap), "ok");
  EXPECT_EQ(outcome(mesh_file(three + elem("d", 4), two), std::nullopt, cap), "too many elements in MESH (at most 3)");
  EXPECT_EQ(outcome(mesh_file(three, two + conn("x", "y")), std::nullopt, cap),
            "too many connections in MESH (at most 2)");
}

}  // namespace
}  // namespace pz
