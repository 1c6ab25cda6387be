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
//
// Long lists. Choosing a walk's next step looks at every half-edge leaving
// the element it stands on, which is quadratic at an element tied to very
// many others (a boundary element tied to every cell of a surface: each of
// its half-edges is arrived at once, and each arrival looks at all of
// them). Once an element's list is found longer than long_list, its
// half-edges are put in a fan, sorted by the direction they leave in. The
// turn keys order the candidates by their angle clockwise from the way
// back (see sharpest_left), so the choice lies among the first unvisited
// half-edges clockwise from there: the fan finds them by a binary search,
// passes over the visited ones by links that skip them, and works out the
// keys of those near the front exactly as the list scan does, so that the
// choice, ties included, is the scan's own.

#include "cells/cells.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <optional>
#include <string>

#include "records/failure.hpp"

namespace pz {
namespace {

// The half-edges leaving one element, by direction.
//
// Angles are those of atan2 for e = (the far end) - (the element), as the
// turn test itself works e out. The angle of a turn key's own arithmetic
// (the direction of the point (d.e, s)) is within a few units of 1e-15
// radians of the angle worked out from atan2, for coordinates below 1e99
// and differences that are 0 or above 1e-100; `tolerance` is far wider. A
// fan is only used while the coordinates it meets are so tame.
class Fan {
 public:
  static constexpr double tolerance = 1e-9;
  static constexpr double largest = 1e99;
  static constexpr double smallest_step = 1e-100;

  static bool tame(double x) { return std::isfinite(x) && std::fabs(x) <= largest; }
  // A difference of tame coordinates that the key arithmetic keeps exact
  // enough: zero, or not vanishingly small.
  static bool tame_step(double du, double dv) {
    return (du == 0.0 && dv == 0.0) || std::fmax(std::fabs(du), std::fabs(dv)) >= smallest_step;
  }

  struct Spoke {
    double angle;
    int connection;
    int end;       // q's end of the connection (0 or 1)
    int to;        // the element at the far end
    int position;  // in q's list, from 0 at its head
  };

  // Builds the fan of element q from its list; none when a coordinate met
  // is not tame. Half-edges to an element at q's place, or from q to
  // itself, are left out: the turn test rejects them always.
  static std::optional<Fan> of(int q, const ConnectionGraph& graph) {
    const auto& centres = graph.centres;
    const double uq = centres[q][0], vq = centres[q][1];
    if (!tame(uq) || !tame(vq)) return std::nullopt;
    Fan fan;
    int position = 0;
    for (int k = graph.first_connection[q]; k != 0; ++position) {
      const int end = graph.ends[k][0] == q ? 0 : 1;
      const int w = graph.ends[k][1 - end];
      if (w != q) {
        if (!tame(centres[w][0]) || !tame(centres[w][1])) return std::nullopt;
        const double eu = centres[w][0] - uq;
        const double ev = centres[w][1] - vq;
        if (!tame_step(eu, ev)) return std::nullopt;
        if (eu != 0.0 || ev != 0.0) fan.spokes_.push_back({std::atan2(ev, eu), k, end, w, position});
      }
      k = graph.next_connection[k][end];
    }
    std::sort(fan.spokes_.begin(), fan.spokes_.end(),
              [](const Spoke& a, const Spoke& b) { return a.angle < b.angle; });
    fan.skip_.resize(fan.spokes_.size());
    for (std::size_t i = 0; i < fan.skip_.size(); ++i) fan.skip_[i] = static_cast<int>(i);
    fan.left_ = static_cast<int>(fan.spokes_.size());
    return fan;
  }

  // The unvisited spokes one by one, clockwise from the direction at
  // `angle` (plus the tolerance, so that spokes just counterclockwise of
  // it come too): visit(spoke, offset) with the spoke's angle clockwise
  // from `angle` (from -tolerance up), until it returns false or every
  // unvisited spoke has been seen. visited(spoke) tells the marks; a spoke
  // found visited is linked past for good.
  template <class Visited, class Visit>
  void clockwise_from(double angle, Visited&& visited, Visit&& visit) {
    if (left_ == 0) return;
    const int n = static_cast<int>(spokes_.size());
    double start = angle + tolerance;
    if (start > std::numbers::pi) start -= 2 * std::numbers::pi;
    const auto after = std::upper_bound(spokes_.begin(), spokes_.end(), start,
                                        [](double a, const Spoke& s) { return a < s.angle; });
    int i = after == spokes_.begin() ? n - 1 : static_cast<int>(after - spokes_.begin()) - 1;
    for (int seen = 0; seen < left_;) {
      i = find(i);
      const Spoke& spoke = spokes_[static_cast<std::size_t>(i)];
      if (visited(spoke)) {
        skip_[static_cast<std::size_t>(i)] = i == 0 ? n - 1 : i - 1;
        --left_;
        continue;
      }
      double offset = start - spoke.angle;
      if (offset < 0.0) offset += 2 * std::numbers::pi;
      if (!visit(spoke, offset - tolerance)) return;
      ++seen;
      i = i == 0 ? n - 1 : i - 1;
    }
  }

 private:
  // The first unvisited spoke at i or clockwise after it (one is left).
  int find(int i) {
    int root = i;
    while (skip_[static_cast<std::size_t>(root)] != root) root = skip_[static_cast<std::size_t>(root)];
    while (skip_[static_cast<std::size_t>(i)] != root) {
      const int next = skip_[static_cast<std::size_t>(i)];
      skip_[static_cast<std::size_t>(i)] = root;
      i = next;
    }
    return root;
  }

  std::vector<Spoke> spokes_;  // by angle, ascending
  std::vector<int> skip_;      // a spoke itself, or one clockwise of it when it is visited
  int left_ = 0;               // spokes not known to be visited
};

class Tracer {
 public:
  Tracer(Cells& cells, const ConnectionGraph& graph, int capacity, int long_list)
      : cells_(cells), graph_(graph), capacity_(capacity), long_list_(long_list) {}

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
  bool walked(int k, int end) const { return visited_[2 * static_cast<std::size_t>(k) + end] != 0; }
  bool visited(int e, int k) const { return walked(k, end_at(e, k)); }
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
    if (!fans_.empty()) {
      const int f = fan_of_[static_cast<std::size_t>(q)];
      if (f > 0) {
        if (const std::optional<int> chosen = sharpest_left_in_fan(fans_[static_cast<std::size_t>(f)], p, q, to))
          return *chosen;
      }
    }
    int length = 0;
    const int chosen = sharpest_left_in_list(p, q, to, length);
    if (length > long_list_) make_fan(q);
    return chosen;
  }

  // The choice by the turn test of every candidate in q's list (its length
  // in `length`).
  int sharpest_left_in_list(int p, int q, int& to, int& length) {
    const auto& centres = graph_.centres;
    const double uq = centres[q][0];
    const double vq = centres[q][1];
    const double du = centres[p][0] - uq;
    const double dv = centres[p][1] - vq;
    int best = 0;
    double best_key = 0.0;
    for (int k = graph_.first_connection[q]; k != 0; ++length) {
      const int end = end_at(q, k);
      const int w = graph_.ends[k][1 - end];
      if (!walked(k, end) && w != q) {
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

  // Element q's fan, once its list is known to be long (0 in fan_of_: not
  // made yet; -1: the coordinates do not allow one).
  void make_fan(int q) {
    if (fans_.empty()) {
      fan_of_.assign(static_cast<std::size_t>(graph_.elements) + 1, 0);
      fans_.emplace_back();  // fan 0 stands for none
    }
    int& f = fan_of_[static_cast<std::size_t>(q)];
    if (f != 0) return;
    std::optional<Fan> fan = Fan::of(q, graph_);
    if (!fan) {
      f = -1;
      return;
    }
    f = static_cast<int>(fans_.size());
    fans_.push_back(std::move(*fan));
  }

  // sharpest_left by q's fan: the candidates clockwise from the way back d
  // are taken in that order and tested as the list scan tests them; the
  // first that turns left fixes how far on a better key can lie, within
  // the tolerance. On equal keys the later in q's list wins, as in the
  // scan. None when the way back is not tame (the list scan then decides).
  std::optional<int> sharpest_left_in_fan(Fan& fan, int p, int q, int& to) {
    const auto& centres = graph_.centres;
    const double uq = centres[q][0];
    const double vq = centres[q][1];
    if (!Fan::tame(centres[p][0]) || !Fan::tame(centres[p][1])) return std::nullopt;
    const double du = centres[p][0] - uq;
    const double dv = centres[p][1] - vq;
    if (!Fan::tame_step(du, dv)) return std::nullopt;
    if (du == 0.0 && dv == 0.0) return 0;  // s is 0 for every candidate
    int best = 0, best_position = 0;
    double best_key = 0.0, reach = 0.0;
    fan.clockwise_from(
        std::atan2(dv, du),
        [&](const Fan::Spoke& spoke) { return walked(spoke.connection, spoke.end); },
        [&](const Fan::Spoke& spoke, double offset) {
          if (offset > (best == 0 ? std::numbers::pi : reach) + Fan::tolerance) return false;
          const double eu = centres[spoke.to][0] - uq;
          const double ev = centres[spoke.to][1] - vq;
          const double s = dv * eu - du * ev;
          if (s <= 0.0) return true;
          const double key = (du * eu + dv * ev) / s;
          if (best == 0) reach = offset;
          if (best == 0 || key > best_key || (key == best_key && spoke.position > best_position)) {
            best = spoke.connection;
            best_position = spoke.position;
            best_key = key;
            to = spoke.to;
          }
          return true;
        });
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
  int long_list_;
  std::vector<std::uint8_t> visited_;  // per connection end: its half-edge was walked
  std::vector<int> fan_of_;            // per element: its fan in fans_, 0 none yet, -1 none to be had
  std::vector<Fan> fans_;              // empty until a long list is met
};

}  // namespace

int trace_cells(Cells& cells, const ConnectionGraph& graph, int capacity, int long_list) {
  Tracer tracer(cells, graph, capacity, long_list);
  tracer.mark_unvisited();
  tracer.scan();
  return cells.count;
}

}  // namespace pz
