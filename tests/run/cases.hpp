// Small hand-made inputs for whole runs: mesh records in their fixed
// columns, and the 2 x 2 grid most tests use.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "support/run.hpp"

namespace pz::test {

// An element record: name in columns 1-5, coordinates in 51-60, 61-70, 71-80.
inline std::string element(const std::string& name, double x, double y, double z = 0) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%-5.5s%45s%10.4f%10.4f%10.4f", name.c_str(), "", x, y, z);
  return buf;
}

// A connection record: names in columns 1-5 and 6-10, area in 51-60.
inline std::string connection(const std::string& a, const std::string& b, double area = 1) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%-5.5s%-5.5s%40s%10.4f", a.c_str(), b.c_str(), "", area);
  return buf;
}

inline std::string mesh_file(const std::vector<std::string>& elements, const std::vector<std::string>& connections) {
  std::string s = "ELEME\n";
  for (auto& e : elements) s += e + "\n";
  s += "\nCONNE\n";
  for (auto& c : connections) s += c + "\n";
  s += "+++\n";
  return s;
}

// Four elements at the corners of the unit square, numbered row by row:
// 1 A1  1 (0,0), 2 A1  2 (1,0), 3 A2  1 (0,1), 4 A2  2 (1,1), with z = 5,
// and the four sides: one cell (1, 2, 4, 3) in the XY plane.
inline std::string square_mesh() {
  return mesh_file({element("A1  1", 0, 0, 5), element("A1  2", 1, 0, 5), element("A2  1", 0, 1, 5),
                    element("A2  2", 1, 1, 5)},
                   {connection("A1  1", "A1  2", 2), connection("A1  1", "A2  1", 2),
                    connection("A1  2", "A2  2", 2), connection("A2  1", "A2  2", 2)});
}

inline constexpr const char* terminator = " @@@@@@@@@@@@@@@@@@@@";

}  // namespace pz::test
