// The cell tracer on worked examples and on grids read in any order.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <numbers>
#include <numeric>
#include <random>

#include "cells/cells.hpp"

namespace {

using Cells = std::vector<std::array<int, 4>>;
using Pts = std::vector<std::pair<double, double>>;
using Conns = std::vector<std::pair<int, int>>;

// Points 1..n and connections in reading order, linked as the mesh reader links them.
Cells trace(const Pts& pts, const Conns& conns, int long_list = pz::long_connection_list) {
  std::vector<std::array<double, 3>> centres{{}};
  for (auto [u, v] : pts) centres.push_back({u, v, 7.0});
  std::vector<int> first(pts.size() + 1, 0);
  std::vector<std::array<int, 2>> ends{{}}, next{{}};
  for (int k = 1; auto [a, b] : conns) {
    ends.push_back({a, b});
    next.push_back({first[a], first[b]});
    first[a] = first[b] = k++;
  }
  pz::Cells out;
  const int n = pz::trace_cells(out, {centres, first, ends, next, static_cast<int>(pts.size())}, pz::cell_capacity,
                                long_list);
  return Cells(out.corners.begin() + 1, out.corners.begin() + 1 + n);
}

// A regular polygon of k points, counterclockwise, and the ring of its sides.
std::pair<Pts, Conns> polygon(int k) {
  std::pair<Pts, Conns> p;
  for (double a = 0; p.first.size() < static_cast<size_t>(k); a += 2 * std::numbers::pi / k)
    p.first.emplace_back(std::cos(a), std::sin(a)), p.second.emplace_back(p.first.size(), p.first.size() % k + 1);
  return p;
}

TEST(TraceCells, WorkedExamples) {
  const Pts square{{0, 0}, {1, 0}, {1, 1}, {0, 1}}, fork{{0, 0}, {1, 0}, {0, 1}, {-1, 2}};
  const auto [p3, p5, p6, p7] = std::tuple{polygon(3), polygon(5), polygon(6), polygon(7)};
  const struct { const char* name; Pts pts; Conns conns; Cells cells; } cases[] = {
      {"unit square", {{0, 0}, {1, 0}, {0, 1}, {1, 1}}, {{1, 2}, {1, 3}, {2, 4}, {3, 4}}, {{1, 2, 4, 3}}},
      {"triangle", p3.first, p3.second, {{1, 2, 3, 3}}},
      {"pentagon", p5.first, p5.second, {{1, 2, 3, 4}, {1, 4, 5, 5}}},
      {"heptagon", p7.first, p7.second, {{1, 2, 3, 4}, {1, 4, 5, 6}, {1, 6, 7, 7}}},
      {"diagonal read last", square, {{1, 2}, {2, 3}, {3, 4}, {4, 1}, {1, 3}}, {{1, 3, 4, 4}, {1, 2, 3, 3}}},
      {"collinear", {{0, 0}, {1, 1}, {2, 2}, {3, 3}}, {{1, 2}, {2, 3}, {3, 4}}, {}},
      {"L-shaped ring", {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}, p6.second, {}},
      // From 2, 3 and 4 lie in one direction: equal keys, the later in 2's list wins.
      {"tie, 2-3 read first", fork, {{1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}}, {{1, 2, 3, 3}}},
      {"tie, 2-4 read first", fork, {{1, 2}, {1, 3}, {1, 4}, {2, 4}, {2, 3}}, {{1, 2, 4, 4}}},
      {"self-connections", square, {{1, 1}, {1, 2}, {2, 3}, {3, 3}, {3, 4}, {4, 1}, {4, 4}}, {{1, 2, 3, 4}}},
      {"coincident centres", {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 1}},
       {{1, 2}, {2, 3}, {4, 5}, {3, 4}, {4, 1}, {5, 4}}, {{1, 2, 3, 4}}}};
  for (const auto& c : cases) {
    EXPECT_EQ(trace(c.pts, c.conns), c.cells) << c.name;
    EXPECT_EQ(trace(c.pts, c.conns, 0), c.cells) << c.name << ", every list searched by direction";
  }
}

// A side x side surface, each point joined to its right and upper neighbours and to a hub at `hub`.
std::pair<Pts, Conns> hub_shape(int side, std::pair<double, double> hub) {
  std::pair<Pts, Conns> h;
  for (int k = 0; k < side * side; ++k) {
    h.first.emplace_back(k % side, k / side);
    if (k % side + 1 < side) h.second.emplace_back(k + 1, k + 2);
    if (k + side < side * side) h.second.emplace_back(k + 1, k + side + 1);
    h.second.emplace_back(k + 1, side * side + 1);
  }
  h.first.push_back(hub);
  return h;
}

// The search by direction finds what the scan of every connection finds: hubs anywhere, random lattices,
// near ties, bent lines, coordinates too large for the search.
TEST(TraceCells, SearchByDirectionFindsWhatTheListScanFinds) {
  for (auto at : {std::pair{9.5, 9.5}, {10.0, 10.0}, {0.0, 0.0}, {-5.0, 30.0}, {1e6, 1e6}, {9.5, 1e-13}}) {
    auto [pts, conns] = hub_shape(20, at);
    EXPECT_EQ(trace(pts, conns, 0), trace(pts, conns, INT_MAX)) << "hub at " << at.first << ", " << at.second;
    std::shuffle(conns.begin(), conns.end(), std::mt19937(7));
    EXPECT_EQ(trace(pts, conns, 0), trace(pts, conns, INT_MAX)) << "shuffled, hub at " << at.first;
  }
  std::mt19937 rng(11);
  for (int trial = 0; trial < 300; ++trial) {
    const int n = 10 + trial % 50, side = 2 + trial % 5;
    std::uniform_int_distribution<int> coordinate(0, side), point(1, n);
    std::uniform_real_distribution<double> nudge(-1e-12, 1e-12);
    Pts pts;
    for (int i = 0; i < n; ++i) {
      double u = coordinate(rng), v = coordinate(rng);
      if (trial % 3 == 1) u += nudge(rng), v += nudge(rng);
      if (trial % 3 == 2) u = u * 0.1 + 0.7, v = v * 0.3 - 0.1;  // straight lines that rounding bends
      pts.emplace_back(u, v);
    }
    if (trial % 10 == 9) pts[0].first = 1e200;
    Conns conns;
    for (int c = 0; c < 6 * n; ++c) conns.emplace_back(point(rng), trial % 2 ? point(rng) : 1 + c % 3);
    ASSERT_EQ(trace(pts, conns, 0), trace(pts, conns, INT_MAX)) << "trial " << trial;
  }
}

// A boundary element tied to every cell of a surface of 80 089, in linear time.
TEST(TraceCells, AHubOfEightyThousandConnectionsTakesLinearTime) {
  const auto [pts, conns] = hub_shape(283, {141, 141});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(trace(pts, conns).size(), 50537u);
  // (0.1 s in a release build, 1.5 s under ThreadSanitizer)
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 10.0);
}

// Grids numbered at random, jittered, connections in any order: every face once, counterclockwise.
TEST(TraceCells, GridsInAnyReadingOrder) {
  std::mt19937 rng(3);
  for (int trial = 0; trial < 52; ++trial) {  // 3 x 3 grids, then 40 x 30 without and with jitter
    const int w = trial < 50 ? 3 : 40, h = trial < 50 ? 3 : 30;
    std::uniform_real_distribution<double> moved(trial == 51 ? -0.2 : 0, trial == 51 ? 0.2 : 0);
    std::vector<int> num(w * h);
    std::iota(num.begin(), num.end(), 1);
    std::shuffle(num.begin(), num.end(), rng);
    Pts pts(w * h);
    Conns conns;
    Cells faces;
    for (int i = 0; i < w * h; ++i) {
      pts[num[i] - 1] = {i % w + moved(rng), i / w + moved(rng)};
      if (i % w + 1 < w) conns.emplace_back(num[i], num[i + 1]);
      if (i + w < w * h) conns.emplace_back(num[i], num[i + w]);
      if (i % w + 1 == w || i + w >= w * h) continue;
      auto& f = faces.emplace_back(std::array{num[i], num[i + 1], num[i + w + 1], num[i + w]});
      std::rotate(f.begin(), std::min_element(f.begin(), f.end()), f.end());
    }
    std::shuffle(conns.begin(), conns.end(), rng);
    for (int i = 0; i < 3 && trial < 51; ++i) conns.push_back(conns[rng() % conns.size()]);
    for (auto& c : conns)
      if (rng() % 2) std::swap(c.first, c.second);
    Cells cells = trace(pts, conns);
    EXPECT_TRUE(std::is_sorted(cells.begin(), cells.end(), [](auto& a, auto& b) { return a[0] < b[0]; }));
    std::sort(cells.begin(), cells.end());
    std::sort(faces.begin(), faces.end());
    ASSERT_EQ(cells, faces) << "trial " << trial;
  }
}

}  // namespace
