// The cell tracer on worked examples and on grids read in any order.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <numeric>
#include <random>

#include "cells/cells.hpp"

namespace {

using Cells = std::vector<std::array<int, 4>>;
using Pts = std::vector<std::pair<double, double>>;
using Conns = std::vector<std::pair<int, int>>;

// Points 1..n and connections in reading order, each new connection linked
// at the head of both ends' lists, as the mesh reader links them.
Cells trace(const Pts& pts, const Conns& conns) {
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
  const int n = pz::trace_cells(out, {centres, first, ends, next, static_cast<int>(pts.size())});
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
  for (const auto& c : cases) EXPECT_EQ(trace(c.pts, c.conns), c.cells) << c.name;
}

// Grids of unit spacing numbered at random, points moved by up to `jitter`
// (< 0.25 keeps faces convex), connections in random order and direction,
// a few read twice where there is no jitter (with jitter a spare copy may
// go on at a slight left turn into untraced faces). Every face comes out
// once, counterclockwise from its lowest number, in the order of that number.
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
