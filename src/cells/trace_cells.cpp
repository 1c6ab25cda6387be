// Cell tracing: the closed faces of the planar graph whose vertices are the
// element centres (u, v = centres[e][0], centres[e][1]) and whose edges are
// the connections, walked counterclockwise by the sharpest strict left turn.
//
// Half-edges. The step from element n along connection k is a half-edge;
// the lists meet it as the link that points at k inside n's list (the head
// of n's list when k heads it, otherwise n's slot in the connection before
// k). Each half-edge is walked once: the tracer keeps a visited mark per
// connection end, (k, the end of k at n).
//
// The turn arithmetic must be rounded operation by operation in the written
// order (it decides which candidates tie), so this file is compiled with
// floating-point contraction off.

#include "cells/cells.hpp"

#include <cstdint>
#include <string>

#include "records/failure.hpp"

namespace pz {
namespace {

class Tracer {
 public:
  Tracer(Cells& cells, const ConnectionGraph& graph, int capacity)
      : cells_(cells), graph_(graph), capacity_(capacity) {}

  // Every half-edge starts unvisited. The highest connection heading a
  // list bounds every listed connection, because lists run from the newest
  // connection to the oldest.
  void mark_unvisited() {
    int highest = 0;
    for (int e = 1; e <= graph_.elements; ++e)
      if (graph_.first_connection[e] > highest) highest = graph_.first_connection[e];
    visited_.assign(2 * (static_cast<std::size_t>(highest) + 1), 0);
    // Every closed walk uses at least two half-edges per cell it yields, so
    // no more than `highest` cells (and never more than the capacity) can
    // be kept.
    const std::size_t need = static_cast<std::size_t>(highest < capacity_ ? highest : capacity_) + 1;
    if (cells_.corners.size() < need) cells_.corners.resize(need);
  }

  // Scans each element's list and starts a walk at every half-edge still
  // unvisited.
  void scan() {
    cells_.count = 0;
    for (int s = 1; s <= graph_.elements; ++s) {
      for (int k = graph_.first_connection[s]; k != 0; k = graph_.next_connection[k][end_at(s, k)]) {
        if (visited(s, k)) continue;
        mark(s, k);
        // A connection from an element to itself bounds no face.
        if (graph_.ends[k][0] != graph_.ends[k][1]) walk(s, k);
      }
    }
  }

 private:
  // Index in next_connection[k] / ends[k] of element e's end of connection
  // k. A connection joining e to itself answers its first end.
  int end_at(int e, int k) const { return graph_.ends[k][0] == e ? 0 : 1; }
  bool visited(int e, int k) const { return visited_[2 * static_cast<std::size_t>(k) + end_at(e, k)] != 0; }
  void mark(int e, int k) { visited_[2 * static_cast<std::size_t>(k) + end_at(e, k)] = 1; }

  // Walks the face to the left of the half-edge start -> (other end of k),
  // which the scan has already marked. Vertices gather in `cell` (p of
  // them); a full cell is stored and a new one continues the fan from the
  // start vertex and the last vertex. A walk that cannot turn left is
  // abandoned: the count stays, cells it stored beyond it are leftovers,
  // and the half-edges it took stay visited.
  void walk(int start, int k) {
    std::array<int, 4> cell{start, 0, 0, 0};
    int p = 1;
    int c = cells_.count + 1;
    int here = start;
    int next = graph_.ends[k][1 - end_at(start, k)];
    while (next != start) {
      if (p == 4) {
        store(c, cell);
        cell = {start, cell[3], 0, 0};
        ++c;
        p = 2;
      }
      const int from = here;
      here = next;
      cell[p++] = here;
      const int chosen = sharpest_left(from, here, next);
      if (chosen == 0) return;
      mark(here, chosen);
    }
    for (; p < 4; ++p) cell[p] = cell[p - 1];
    if (c > capacity_) overflow();
    store(c, cell);
    cells_.count = c;
  }

  // Among the unvisited half-edges leaving q, in list order, the sharpest
  // strict left turn for a walk arriving from p. For a candidate towards w,
  // with d = p - q and e = w - q: s = d.v*e.u - d.u*e.v is positive only for
  // a left turn (s <= 0 rejects straight on, right turns, the way back and
  // any w at q's position); key = (d.u*e.u + d.v*e.v) / s is the cotangent
  // of the angle from d to e, largest for the sharpest turn. On equal keys
  // the candidate met later wins. Returns its connection (w in `to`), or 0
  // when no candidate turns left.
  int sharpest_left(int p, int q, int& to) {
    const auto& centres = graph_.centres;
    const double uq = centres[q][0];
    const double vq = centres[q][1];
    const double du = centres[p][0] - uq;
    const double dv = centres[p][1] - vq;
    int best = 0;
    double best_key = 0.0;
    for (int k = graph_.first_connection[q]; k != 0;) {
      const int end = end_at(q, k);
      const int w = graph_.ends[k][1 - end];
      if (visited_[2 * static_cast<std::size_t>(k) + end] == 0 && w != q) {
        const double eu = centres[w][0] - uq;
        const double ev = centres[w][1] - vq;
        const double s = dv * eu - du * ev;
        if (!(s <= 0.0)) {
          const double key = (du * eu + dv * ev) / s;
          if (best == 0 || !(key < best_key)) {
            best = k;
            best_key = key;
            to = w;
          }
        }
      }
      k = graph_.next_connection[k][end];
    }
    return best;
  }

  // Keeps cell c unless it lies beyond the capacity; only a walk that closes
  // there is an error (overflow), a walk that is later abandoned is not.
  void store(int c, const std::array<int, 4>& cell) {
    if (c > capacity_) return;
    auto& corners = cells_.corners;
    if (static_cast<std::size_t>(c) >= corners.size()) {
      std::size_t grown = corners.size() * 2;
      const std::size_t limit = static_cast<std::size_t>(capacity_) + 1;
      if (grown <= static_cast<std::size_t>(c)) grown = static_cast<std::size_t>(c) + 1;
      corners.resize(grown < limit ? grown : limit);
    }
    corners[c] = cell;
  }

  [[noreturn]] void overflow() {
    stop("too many cells (at most " + std::to_string(capacity_) + ")",
         "plot points alone with -xyz, or take fewer cells from a zone file with -z");
  }

  Cells& cells_;
  const ConnectionGraph& graph_;
  int capacity_;
  std::vector<std::uint8_t> visited_;  // per connection end: its half-edge was walked
};

}  // namespace

int trace_cells(Cells& cells, const ConnectionGraph& graph, int capacity) {
  Tracer tracer(cells, graph, capacity);
  tracer.mark_unvisited();
  tracer.scan();
  return cells.count;
}

}  // namespace pz
