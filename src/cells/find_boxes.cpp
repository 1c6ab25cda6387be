// Box finding: the cubes of the connection graph, eight elements whose
// connections among themselves are exactly a cube's twelve edges.
//
// Each box is found once, from its least element a. Its three faces at a
// are quadrilaterals a-x-c-y whose corners are all above a, so they are
// found by the paths a-b-c with b and c above a: two paths to the same c
// through b1 and b2 close the ring a-b1-c-b2. The rings of a (with neither
// diagonal connected) are kept by their pair of a's neighbours. Three of
// them on the pairs (x, y), (x, z), (y, z) of three neighbours x < y < z
// are the faces of a box at a; their far corners are the three corners
// joined to the one left, the corner opposite a, which must be joined to
// all three.
//
// An element with more than most_neighbours neighbours is left out of the
// graph first: a box corner has few, and an element joined to a whole
// surface would otherwise make quadratically many rings through it. So
// every element kept has few neighbours, and the paths from a are at most
// most_neighbours squared: linear time in the elements.

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "cells/cells.hpp"

namespace pz {
namespace {

// The neighbours of every element, each list ascending, without repeats.
class Neighbours {
 public:
  Neighbours(const ConnectionGraph& graph, int most_neighbours) {
    const int n = graph.elements;
    start_.assign(static_cast<std::size_t>(n) + 2, 0);
    for (int e = 1; e <= n; ++e) {
      int length = 0;
      for_each_neighbour(graph, e, [&](int) { ++length; });
      start_[static_cast<std::size_t>(e) + 1] = start_[static_cast<std::size_t>(e)] + length;
    }
    list_.resize(static_cast<std::size_t>(start_.back()));
    std::vector<std::uint8_t> kept(static_cast<std::size_t>(n) + 1, 0);
    for (int e = 1; e <= n; ++e) {
      int* first = list_.data() + start_[static_cast<std::size_t>(e)];
      int* last = first;
      for_each_neighbour(graph, e, [&](int w) { *last++ = w; });
      std::sort(first, last);
      last = std::unique(first, last);
      kept[static_cast<std::size_t>(e)] = last - first <= most_neighbours;
      // (the lists are written again, closed up behind the repeats left out)
      start_[static_cast<std::size_t>(e) + 1] = static_cast<int>(last - list_.data());
    }
    // Only the kept elements, and of their neighbours only the kept ones.
    int write = 0;
    int read = 0;
    for (int e = 1; e <= n; ++e) {
      const int end = start_[static_cast<std::size_t>(e) + 1];
      start_[static_cast<std::size_t>(e)] = write;
      for (; read < end; ++read) {
        const int w = list_[static_cast<std::size_t>(read)];
        if (kept[static_cast<std::size_t>(e)] && kept[static_cast<std::size_t>(w)])
          list_[static_cast<std::size_t>(write++)] = w;
      }
    }
    start_[static_cast<std::size_t>(n) + 1] = write;
    list_.resize(static_cast<std::size_t>(write));
  }

  const int* begin(int e) const { return list_.data() + start_[static_cast<std::size_t>(e)]; }
  const int* end(int e) const { return list_.data() + start_[static_cast<std::size_t>(e) + 1]; }
  bool joined(int a, int b) const { return std::binary_search(begin(a), end(a), b); }

 private:
  // The far end of every connection in e's list but those from e to itself.
  template <class Take>
  static void for_each_neighbour(const ConnectionGraph& graph, int e, Take&& take) {
    for (int k = graph.first_connection[e]; k != 0;) {
      const int end = graph.ends[k][0] == e ? 0 : 1;
      const int w = graph.ends[k][1 - end];
      if (w != e) take(w);
      k = graph.next_connection[k][end];
    }
  }

  std::vector<int> start_;  // list of e: list_[start_[e] .. start_[e + 1])
  std::vector<int> list_;
};

// The corners of a box in VTK's order, by the three neighbours of its
// corner 0 that each of its edges at corner i leads to, counterclockwise
// seen from outside: (1 - 0, 3 - 0, 4 - 0) at corner 0, and so on.
constexpr int corner_edges[8][3] = {{1, 3, 4}, {2, 0, 5}, {3, 1, 6}, {0, 2, 7},
                                    {7, 5, 0}, {4, 6, 1}, {5, 7, 2}, {6, 4, 3}};

bool is_box_edge(int i, int j) {
  for (int k : corner_edges[i])
    if (k == j) return true;
  return false;
}

class BoxFinder {
 public:
  BoxFinder(const ConnectionGraph& graph, int most_neighbours)
      : graph_(graph), neighbours_(graph, most_neighbours) {}

  Boxes find() {
    Boxes boxes;
    for (int a = 1; a <= graph_.elements; ++a) {
      find_rings(a);
      find_boxes_at(a, boxes);
    }
    std::vector<std::uint8_t> in_box(static_cast<std::size_t>(graph_.elements) + 1, 0);
    for (const auto& box : boxes.corners)
      for (int e : box) in_box[static_cast<std::size_t>(e)] = 1;
    for (int e = 1; e <= graph_.elements; ++e)
      if (!in_box[static_cast<std::size_t>(e)]) boxes.outside.push_back(e);
    return boxes;
  }

 private:
  // A ring a-x-far-y with x < y, neither diagonal connected.
  struct Ring {
    int x, y, far;
    bool operator<(const Ring& other) const {
      return x != other.x ? x < other.x : y != other.y ? y < other.y : far < other.far;
    }
  };

  // The rings whose least corner is a, by their pair (x, y).
  void find_rings(int a) {
    paths_.clear();
    rings_.clear();
    for (const int* b = neighbours_.begin(a); b != neighbours_.end(a); ++b) {
      if (*b < a) continue;
      for (const int* c = neighbours_.begin(*b); c != neighbours_.end(*b); ++c)
        if (*c > a) paths_.push_back({*c, *b});
    }
    std::sort(paths_.begin(), paths_.end());
    for (std::size_t first = 0; first < paths_.size();) {
      const int far = paths_[first][0];
      std::size_t last = first + 1;
      while (last < paths_.size() && paths_[last][0] == far) ++last;
      if (last - first > 1 && !neighbours_.joined(a, far)) {
        for (std::size_t i = first; i < last; ++i)
          for (std::size_t j = i + 1; j < last; ++j)
            if (!neighbours_.joined(paths_[i][1], paths_[j][1])) rings_.push_back({paths_[i][1], paths_[j][1], far});
      }
      first = last;
    }
    std::sort(rings_.begin(), rings_.end());
  }

  // The rings of a on the pair (x, y).
  std::pair<const Ring*, const Ring*> rings_on(int x, int y) const {
    const auto on = std::equal_range(rings_.begin(), rings_.end(), Ring{x, y, 0},
                                     [](const Ring& r, const Ring& s) { return r.x != s.x ? r.x < s.x : r.y < s.y; });
    return {rings_.data() + (on.first - rings_.begin()), rings_.data() + (on.second - rings_.begin())};
  }

  void find_boxes_at(int a, Boxes& boxes) const {
    for (const Ring& xy : rings_) {
      for (const Ring* xz = rings_on(xy.x, xy.y).second; xz != rings_.data() + rings_.size() && xz->x == xy.x; ++xz) {
        if (xz->y == xy.y) continue;
        const auto [yz_first, yz_last] = rings_on(xy.y, xz->y);
        for (const Ring* yz = yz_first; yz != yz_last; ++yz) {
          // The far corner: joined to the far corners of the three faces.
          for (const int* f = neighbours_.begin(xy.far); f != neighbours_.end(xy.far); ++f) {
            if (*f <= a || !neighbours_.joined(*f, xz->far) || !neighbours_.joined(*f, yz->far)) continue;
            std::array<int, 8> box{a, xy.x, xy.far, xy.y, xz->y, xz->far, *f, yz->far};
            if (is_box(box) && orient(box) && !holds_neighbour(box)) boxes.corners.push_back(box);
          }
        }
      }
    }
  }

  // Eight distinct corners joined exactly by the box's edges.
  bool is_box(const std::array<int, 8>& box) const {
    for (int i = 0; i < 8; ++i)
      for (int j = i + 1; j < 8; ++j)
        if (box[i] == box[j] || neighbours_.joined(box[i], box[j]) != is_box_edge(i, j)) return false;
    return true;
  }

  // Turns the box so that the volume at every corner is positive (the mirror
  // image of a box whose corners are all negative); false when the corners
  // disagree or one is flat.
  bool orient(std::array<int, 8>& box) const {
    int positive = 0, negative = 0;
    for (int i = 0; i < 8; ++i) {
      const double v = corner_volume(box, i);
      positive += v > 0;
      negative += v < 0;
    }
    if (positive == 8) return true;
    if (negative != 8) return false;
    std::swap(box[1], box[3]);
    std::swap(box[5], box[7]);
    return true;
  }

  using Vector = std::array<double, 3>;
  static double triple(const Vector& a, const Vector& b, const Vector& c) {
    return a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) + a[2] * (b[0] * c[1] - b[1] * c[0]);
  }
  Vector from(int e, int to) const {
    const auto& o = graph_.centres[static_cast<std::size_t>(e)];
    const auto& p = graph_.centres[static_cast<std::size_t>(to)];
    return {p[0] - o[0], p[1] - o[1], p[2] - o[2]};
  }

  // The volume spanned at corner i by its three edges.
  double corner_volume(const std::array<int, 8>& box, int i) const {
    return triple(from(box[i], box[corner_edges[i][0]]), from(box[i], box[corner_edges[i][1]]),
                  from(box[i], box[corner_edges[i][2]]));
  }

  // Whether an element joined to a corner lies in the box or on its faces,
  // as the corner's three edges span it: a + b + c of the edges' multiples a,
  // b, c, each from 0 to 1. The box is then no cell of the mesh, as in a mesh
  // whose elements are joined to their diagonal neighbours too, where rings
  // of such neighbours make boxes around other elements.
  bool holds_neighbour(const std::array<int, 8>& box) const {
    constexpr double tolerance = 1e-9;
    const auto within = [](double t) { return t >= -tolerance && t <= 1 + tolerance; };
    for (int i = 0; i < 8; ++i) {
      const int (&edge)[3] = corner_edges[i];
      const Vector e0 = from(box[i], box[edge[0]]), e1 = from(box[i], box[edge[1]]), e2 = from(box[i], box[edge[2]]);
      const double volume = triple(e0, e1, e2);
      for (const int* w = neighbours_.begin(box[i]); w != neighbours_.end(box[i]); ++w) {
        if (*w == box[edge[0]] || *w == box[edge[1]] || *w == box[edge[2]]) continue;
        const Vector d = from(box[i], *w);
        if (within(triple(d, e1, e2) / volume) && within(triple(e0, d, e2) / volume) &&
            within(triple(e0, e1, d) / volume))
          return true;
      }
    }
    return false;
  }

  const ConnectionGraph& graph_;
  Neighbours neighbours_;
  std::vector<std::array<int, 2>> paths_;  // of the current a: (c, b) for each path a-b-c
  std::vector<Ring> rings_;                // of the current a, ascending
};

}  // namespace

Boxes find_boxes(const ConnectionGraph& graph, int most_neighbours) {
  return BoxFinder(graph, most_neighbours).find();
}

}  // namespace pz
