#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <random>

#include "cells/cells.hpp"
#include "records/failure.hpp"

namespace {

using Cell = std::array<int, 4>;
using Cells = std::vector<Cell>;
using Pts = std::vector<std::pair<double, double>>;
using Conns = std::vector<std::pair<int, int>>;

// Points 1..n and connections in reading order, each new connection linked at
// the head of both ends' lists (as the mesh reader does). trace() also checks
// that the lists come back untouched.
Cells trace(const Pts& pts, const Conns& conns, int capacity = pz::cell_capacity) {
  std::vector<std::array<double, 3>> X{{}};
  std::vector<int> EC(pts.size() + 1, 0);
  std::vector<std::array<int, 2>> E{{}}, CC{{}};
  for (auto [u, v] : pts) X.push_back({u, v, 7.0});
  for (auto [a, b] : conns) {
    E.push_back({a, b});
    CC.push_back({EC[a], EC[b]});
    EC[a] = EC[b] = static_cast<int>(E.size()) - 1;
  }
  const auto ec = EC;
  const auto cc = CC;
  pz::Cells out;
  const int n = pz::catalog(out, X, EC, E, CC, static_cast<int>(pts.size()), capacity);
  EXPECT_EQ(ec, EC);
  EXPECT_EQ(cc, CC);
  return Cells(out.CAT.begin() + 1, out.CAT.begin() + 1 + n);
}

Pts polygon(int k) {
  Pts p;
  for (double a = 0; p.size() < static_cast<size_t>(k); a += 2 * std::numbers::pi / k)
    p.emplace_back(std::cos(a), std::sin(a));
  return p;
}
Conns ring(int k) {
  Conns c;
  for (int i = 1; i <= k; ++i) c.emplace_back(i, i % k + 1);
  return c;
}

TEST(Catalog, WorkedExamples) {
  const Pts square{{0, 0}, {1, 0}, {1, 1}, {0, 1}}, fork{{0, 0}, {1, 0}, {0, 1}, {-1, 2}};
  const Conns diagonal{{1, 2}, {2, 3}, {3, 4}, {4, 1}, {1, 3}};
  struct Case { const char* name; Pts pts; Conns conns; Cells cells; } const cases[] = {
      {"unit square", {{0, 0}, {1, 0}, {0, 1}, {1, 1}}, {{1, 2}, {1, 3}, {2, 4}, {3, 4}}, {{1, 2, 4, 3}}},
      {"triangle", polygon(3), ring(3), {{1, 2, 3, 3}}},
      {"pentagon", polygon(5), ring(5), {{1, 2, 3, 4}, {1, 4, 5, 5}}},
      {"hexagon", polygon(6), ring(6), {{1, 2, 3, 4}, {1, 4, 5, 6}}},
      {"heptagon", polygon(7), ring(7), {{1, 2, 3, 4}, {1, 4, 5, 6}, {1, 6, 7, 7}}},
      {"clockwise square", {{0, 0}, {0, 1}, {1, 1}, {1, 0}}, ring(4), {{1, 4, 3, 2}}},
      {"diagonal read last", square, diagonal, {{1, 3, 4, 4}, {1, 2, 3, 3}}},
      {"collinear", {{0, 0}, {1, 1}, {2, 2}, {3, 3}}, {{1, 2}, {2, 3}, {3, 4}}, {}},
      {"L-shaped ring", {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}, ring(6), {}},
      // From 2, 3 and 4 lie in one direction: equal keys, the later in 2's list wins.
      {"tie, 2-3 read first", fork, {{1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}}, {{1, 2, 3, 3}}},
      {"tie, 2-4 read first", fork, {{1, 2}, {1, 3}, {1, 4}, {2, 4}, {2, 3}}, {{1, 2, 4, 4}}},
      {"self-connections", square, {{1, 1}, {1, 2}, {2, 3}, {3, 3}, {3, 4}, {4, 1}, {4, 4}}, {{1, 2, 3, 4}}},
      {"coincident centres", {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 1}},
       {{1, 2}, {2, 3}, {4, 5}, {3, 4}, {4, 1}, {5, 4}}, {{1, 2, 3, 4}}},
  };
  for (const auto& c : cases) EXPECT_EQ(trace(c.pts, c.conns), c.cells) << c.name;
}

// A w x h grid of unit spacing, numbered row by row or at random, points
// moved by up to `jitter` (< 0.25 keeps faces convex), connections in random
// order and direction. Only an unjittered grid gets connections read twice:
// with jitter the spare copy may go on at a slight left turn into untraced
// faces.
struct Grid {
  Pts pts;
  Conns conns;
  Cells faces;  // counterclockwise, lowest number first, sorted
  Grid(int w, int h, double jitter, std::mt19937& rng, bool renumber) : pts(w * h) {
    std::vector<int> num(w * h);
    std::iota(num.begin(), num.end(), 1);
    if (renumber) std::shuffle(num.begin(), num.end(), rng);
    std::uniform_real_distribution<double> j(-jitter, jitter);
    for (int i = 0; i < w * h; ++i) pts[num[i] - 1] = {i % w + j(rng), i / w + j(rng)};
    for (int i = 0; i < w * h; ++i) {
      if (i % w + 1 < w) conns.emplace_back(num[i], num[i + 1]);
      if (i + w < w * h) conns.emplace_back(num[i], num[i + w]);
      if (i % w + 1 == w || i + w >= w * h) continue;
      Cell f{num[i], num[i + 1], num[i + w + 1], num[i + w]};
      std::rotate(f.begin(), std::min_element(f.begin(), f.end()), f.end());
      faces.push_back(f);
    }
    std::shuffle(conns.begin(), conns.end(), rng);
    for (int i = 0; i < 3 && jitter == 0; ++i) conns.push_back(conns[rng() % conns.size()]);
    for (auto& c : conns)
      if (rng() % 2) std::swap(c.first, c.second);
    std::sort(faces.begin(), faces.end());
  }
};

TEST(Catalog, ThreeByThreeGridInAnyReadingOrder) {
  std::mt19937 rng(3);
  for (int trial = 0; trial < 50; ++trial) {
    const Grid g(3, 3, 0.0, rng, false);
    EXPECT_EQ(trace(g.pts, g.conns), (Cells{{1, 2, 5, 4}, {2, 3, 6, 5}, {4, 5, 8, 7}, {5, 6, 9, 8}}));
  }
}

TEST(Catalog, LargeGridsYieldEveryFaceOnceInStartOrder) {
  std::mt19937 rng(40);
  for (double jitter : {0.0, 0.2}) {
    const Grid g(40, 30, jitter, rng, true);
    Cells cells = trace(g.pts, g.conns);
    EXPECT_TRUE(std::is_sorted(cells.begin(), cells.end(), [](auto& a, auto& b) { return a[0] < b[0]; }));
    std::sort(cells.begin(), cells.end());
    EXPECT_EQ(cells, g.faces) << "jitter " << jitter;
  }
}

TEST(Catalog, CapacityStopsOnlyAWalkThatClosesBeyondIt) {
  std::mt19937 rng(5);
  const Grid g(3, 3, 0.0, rng, false);
  EXPECT_EQ(trace(g.pts, g.conns, 4).size(), 4u);  // later walks are all abandoned
  for (auto [pts, conns, capacity] : {std::tuple{g.pts, g.conns, 3}, {polygon(7), ring(7), 2}}) {
    try {
      trace(pts, conns, capacity);
      ADD_FAILURE() << "no stop at capacity " << capacity;
    } catch (const pz::Stop& s) {
      EXPECT_EQ(s.message, "too many cells (at most " + std::to_string(capacity) + ")");
    }
  }
}

}  // namespace
