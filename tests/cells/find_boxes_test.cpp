// The box finder on block grids, a fault, elements tied to a whole grid, and rings that are no boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <set>

#include "cells/cells.hpp"

namespace {

using Point = std::array<double, 3>;
using Conns = std::vector<std::pair<int, int>>;

struct Mesh {
  std::vector<Point> points;  // element e at points[e - 1]
  Conns conns;
  int add(Point p) {
    points.push_back(p);
    return static_cast<int>(points.size());
  }
};

// Connections linked at the head of both ends' lists, as the mesh reader links them.
pz::Boxes find(const Mesh& m, int most_neighbours = pz::most_box_neighbours) {
  std::vector<Point> centres{{}};
  centres.insert(centres.end(), m.points.begin(), m.points.end());
  std::vector<int> first(m.points.size() + 1, 0);
  std::vector<std::array<int, 2>> ends{{}}, next{{}};
  for (int k = 1; auto [a, b] : m.conns) {
    ends.push_back({a, b});
    next.push_back({first[a], first[b]});
    first[a] = first[b] = k++;
  }
  return pz::find_boxes({centres, first, ends, next, static_cast<int>(m.points.size())}, most_neighbours);
}

// An nx x ny x nz block, x fastest, joined along x, y and z; the element numbers by (i, j, k).
std::vector<int> block(Mesh& m, const std::vector<double>& xs, const std::vector<double>& ys,
                       const std::vector<double>& zs) {
  const int nx = static_cast<int>(xs.size()), ny = static_cast<int>(ys.size());
  std::vector<int> id;
  for (std::size_t k = 0; k < zs.size(); ++k)
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i) {
        const int e = m.add({xs[i], ys[j], zs[k]});
        id.push_back(e);
        if (i > 0) m.conns.emplace_back(e - 1, e);
        if (j > 0) m.conns.emplace_back(e - nx, e);
        if (k > 0) m.conns.emplace_back(e - nx * ny, e);
      }
  return id;
}

std::vector<double> steps(int n, double step = 1.0) {
  std::vector<double> v;
  for (int i = 0; i < n; ++i) v.push_back(i * step);
  return v;
}

// The volume of a box in VTK's corner order (six tetrahedra around its diagonal 0-6).
double volume(const Mesh& m, const std::array<int, 8>& box) {
  const auto p = [&](int corner) { return m.points[static_cast<std::size_t>(box[corner] - 1)]; };
  const auto tet = [&](int a, int b, int c, int d) {
    const Point o = p(a), u = p(b), v = p(c), w = p(d);
    double e[3][3];
    for (int k = 0; k < 3; ++k) e[0][k] = u[k] - o[k], e[1][k] = v[k] - o[k], e[2][k] = w[k] - o[k];
    return (e[0][0] * (e[1][1] * e[2][2] - e[1][2] * e[2][1]) - e[0][1] * (e[1][0] * e[2][2] - e[1][2] * e[2][0]) +
            e[0][2] * (e[1][0] * e[2][1] - e[1][1] * e[2][0])) / 6;
  };
  return tet(0, 1, 2, 6) + tet(0, 2, 3, 6) + tet(0, 3, 7, 6) + tet(0, 7, 4, 6) + tet(0, 4, 5, 6) + tet(0, 5, 1, 6);
}

// Every box once, its corners distinct; and the elements in no box.
void expect_sound(const Mesh& m, const pz::Boxes& boxes) {
  std::set<std::vector<int>> seen;
  std::set<int> in_box;
  for (const auto& box : boxes.corners) {
    std::vector<int> sorted(box.begin(), box.end());
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
    EXPECT_TRUE(seen.insert(sorted).second);
    EXPECT_GT(volume(m, box), 0.0);
    in_box.insert(box.begin(), box.end());
  }
  std::vector<int> outside;
  for (int e = 1; e <= static_cast<int>(m.points.size()); ++e)
    if (!in_box.count(e)) outside.push_back(e);
  EXPECT_EQ(boxes.outside, outside);
}

TEST(FindBoxes, RegularGridsInAnyOrder) {
  const std::array<int, 3> sizes[] = {{2, 2, 2}, {3, 4, 5}, {1, 4, 4}, {5, 1, 3}, {6, 2, 2}};
  std::mt19937 rng(46);
  for (const auto& [nx, ny, nz] : sizes) {
    Mesh m;
    block(m, steps(nx), steps(ny, 2.0), steps(nz, 0.5));
    std::shuffle(m.conns.begin(), m.conns.end(), rng);
    for (auto& c : m.conns)
      if (rng() % 2) std::swap(c.first, c.second);
    m.conns.push_back(m.conns.front());  // a connection read twice
    const pz::Boxes boxes = find(m);
    EXPECT_EQ(boxes.corners.size(), static_cast<std::size_t>((nx - 1) * (ny - 1) * (nz - 1))) << nx << ny << nz;
    expect_sound(m, boxes);
    for (const auto& box : boxes.corners) EXPECT_DOUBLE_EQ(volume(m, box), 1.0);
  }
}

TEST(FindBoxes, CornersInVtkOrder) {
  // The unit cube: bottom ring 1 2 4 3, top ring above; with z down the ring turns the other way.
  for (const double up : {1.0, -1.0}) {
    Mesh m;
    block(m, {0, 1}, {0, 1}, {0, up});
    const pz::Boxes boxes = find(m);
    const std::array<int, 8> want = up > 0 ? std::array{1, 2, 4, 3, 5, 6, 8, 7} : std::array{1, 3, 4, 2, 5, 7, 8, 6};
    ASSERT_EQ(boxes.corners.size(), 1u);
    EXPECT_EQ(boxes.corners[0], want);
  }
}

TEST(FindBoxes, AFaultGivesTheBoxesOnEitherSide) {
  {  // The block beyond x = 2.5 stands half a layer higher, each element before joined to the two it overlaps.
    Mesh m;
    const int ny = 3, nz = 4;
    const std::vector<int> left = block(m, steps(3), steps(ny), steps(nz));
    const std::vector<int> right = block(m, {3, 4}, steps(ny), {0.5, 1.5, 2.5, 3.5});
    const auto l = [&](int j, int k) { return left[static_cast<std::size_t>((k * ny + j) * 3 + 2)]; };
    const auto r = [&](int j, int k) { return right[static_cast<std::size_t>((k * ny + j) * 2)]; };
    for (int j = 0; j < ny; ++j)
      for (int k = 0; k < nz; ++k) {
        m.conns.emplace_back(l(j, k), r(j, k));
        if (k > 0) m.conns.emplace_back(l(j, k), r(j, k - 1));
      }
    const pz::Boxes boxes = find(m);
    EXPECT_EQ(boxes.corners.size(), static_cast<std::size_t>((2 + 1) * (ny - 1) * (nz - 1)));
    expect_sound(m, boxes);
    const int first_right = right.front();
    for (const auto& box : boxes.corners) {
      const auto beyond = std::count_if(box.begin(), box.end(), [&](int e) { return e >= first_right; });
      EXPECT_TRUE(beyond == 0 || beyond == 8);
    }
  }
}

TEST(FindBoxes, RingsThatAreNoBoxes) {
  const auto cube = [](Conns extra, std::vector<Point> points = {}) {
    Mesh m;
    block(m, {0, 1}, {0, 1}, {0, 1});
    if (!points.empty()) m.points = points;
    m.conns.insert(m.conns.end(), extra.begin(), extra.end());
    return find(m).corners.size();
  };
  EXPECT_EQ(cube({}), 1u);
  EXPECT_EQ(cube({{1, 4}}), 0u) << "a face's diagonal";
  EXPECT_EQ(cube({{1, 8}}), 0u) << "a body diagonal";
  EXPECT_EQ(cube({{1, 1}, {2, 1}}), 1u) << "a connection to itself, one read twice";
  // The top ring on the bottom one: flat.
  EXPECT_EQ(cube({}, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}), 0u);
  // An element in the box joined to a corner; one far out beyond it.
  {
    Mesh m;
    block(m, {0, 1}, {0, 1}, {0, 1});
    const int inside = m.add({0.5, 0.4, 0.6}), beyond = m.add({5, 5, 5});
    m.conns.emplace_back(8, beyond);
    EXPECT_EQ(find(m).corners.size(), 1u);
    m.conns.emplace_back(inside, 3);
    EXPECT_EQ(find(m).corners.size(), 0u);
  }
  // Two rings joined crosswise: a cube by its connections, but folded.
  Mesh folded;
  block(folded, {0, 1}, {0, 1}, {0});
  block(folded, {0, 1}, {0, 1}, {1});
  folded.conns.insert(folded.conns.end(), {{1, 6}, {2, 5}, {3, 8}, {4, 7}});
  EXPECT_EQ(find(folded).corners.size(), 0u);
}

TEST(FindBoxes, ElementsTiedToTheWholeGridInLinearTime) {
  // A 40 x 40 x 25 grid and two elements tied to every element, in linear time.
  Mesh m;
  block(m, steps(40), steps(40), steps(25));
  const int n = static_cast<int>(m.points.size());
  for (const double z : {-1.0, 30.0}) {
    const int hub = m.add({20, 20, z});
    for (int e = 1; e <= n; ++e) m.conns.emplace_back(e, hub);
  }
  const auto start = std::chrono::steady_clock::now();
  const pz::Boxes boxes = find(m);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(boxes.corners.size(), 39u * 39u * 24u);
  EXPECT_EQ(boxes.outside, (std::vector<int>{n + 1, n + 2}));
  EXPECT_LT(seconds, 20.0);  // (well under a second in a Release build)
}

}  // namespace
