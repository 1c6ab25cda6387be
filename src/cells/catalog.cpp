// Cell tracing: the closed faces of the planar graph whose vertices are the
// element centres (u, v = X[e][0], X[e][1]) and whose edges are the
// connections, walked counterclockwise by the sharpest strict left turn.
//
// Connection lists. EC[n] names the first connection of element n's list; a
// connection k continues the list of its first end E[k][0] through CC[k][0]
// and the list of its second end E[k][1] through CC[k][1]; 0 ends a list.
//
// Half-edges and marks. The step from element n along connection k is a
// half-edge, represented by the link that points at k inside n's list: EC[n]
// when k heads the list, otherwise n's slot in the connection before k. All
// links are >= 0 on entry, so their sign is free to serve as a mark during
// the call: negative = not walked yet, positive = walked. The magnitude is
// always the connection number, and once every listed link has been turned
// positive again the lists are exactly as they came in.
//
// The turn arithmetic must be rounded operation by operation in the written
// order (it decides which candidates tie), so this file is compiled with
// floating-point contraction off.

#include "cells/cells.hpp"

#include <cstdlib>
#include <string>

#include "records/failure.hpp"

namespace pz {
namespace {

class Tracer {
 public:
  Tracer(Cells& cells, std::span<const std::array<double, 3>> X, std::span<int> EC,
         std::span<const std::array<int, 2>> E, std::span<std::array<int, 2>> CC, int n,
         int capacity)
      : cells_(cells), X_(X), EC_(EC), E_(E), CC_(CC), n_(n), capacity_(capacity) {}

  // Pass 1: every half-edge becomes unvisited. L, the highest connection
  // heading a list, bounds every listed connection, because lists run from
  // the newest connection to the oldest.
  void mark_unvisited() {
    L_ = 0;
    for (int e = 1; e <= n_; ++e) {
      if (EC_[e] > L_) L_ = EC_[e];
      EC_[e] = -EC_[e];
    }
    for (int k = 1; k <= L_; ++k) {
      CC_[k][0] = -CC_[k][0];
      CC_[k][1] = -CC_[k][1];
    }
    // Every closed walk uses at least two half-edges per cell it yields, so
    // no more than L cells (and never more than the capacity) can be kept.
    const std::size_t need = static_cast<std::size_t>(L_ < capacity_ ? L_ : capacity_) + 1;
    if (cells_.CAT.size() < need) cells_.CAT.resize(need);
  }

  // Pass 2: scan each element's list and start a walk at every half-edge
  // still unvisited. Walks mark the half-edges they take; the scan turns
  // every link it passes positive, so at the end the lists are restored.
  void scan() {
    cells_.NCELL = 0;
    for (int s = 1; s <= n_; ++s) {
      for (int* link = &EC_[s]; *link != 0;) {
        const int k = std::abs(*link);
        if (*link < 0) {
          *link = k;
          if (E_[k][0] == E_[k][1]) {
            // A connection from an element to itself bounds no face. Only
            // its first slot is ever followed (see slot()); its second link
            // was negated by pass 1 and is put back here.
            CC_[k][1] = std::abs(CC_[k][1]);
          } else {
            walk(s, k);
          }
        }
        link = &CC_[k][slot(s, k)];
      }
    }
  }

 private:
  // Index in CC[k] / E[k] of element e's end of connection k. A connection
  // joining e to itself answers its first slot.
  int slot(int e, int k) const { return E_[k][0] == e ? 0 : 1; }

  // Walks the face to the left of the half-edge start -> (other end of k),
  // whose link the scan has already marked. Vertices gather in `cell`
  // (p of them); a full cell is stored and a new one continues the fan from
  // the start vertex and the last vertex. A walk that cannot turn left is
  // abandoned: NCELL stays, cells it stored beyond NCELL are leftovers, and
  // the half-edges it took stay visited.
  void walk(int start, int k) {
    std::array<int, 4> cell{start, 0, 0, 0};
    int p = 1;
    int c = cells_.NCELL + 1;
    int here = start;
    int next = E_[k][1 - slot(start, k)];
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
      int* chosen = sharpest_left(from, here, next);
      if (chosen == nullptr) return;
      *chosen = -*chosen;
    }
    for (; p < 4; ++p) cell[p] = cell[p - 1];
    if (c > capacity_) overflow();
    store(c, cell);
    cells_.NCELL = c;
  }

  // Among the unvisited half-edges leaving q, in list order, the sharpest
  // strict left turn for a walk arriving from p. For a candidate towards w,
  // with d = p - q and e = w - q: s = d.v*e.u - d.u*e.v is positive only for
  // a left turn (s <= 0 rejects straight on, right turns, the way back and
  // any w at q's position); key = (d.u*e.u + d.v*e.v) / s is the cotangent
  // of the angle from d to e, largest for the sharpest turn. On equal keys
  // the candidate met later wins. Returns its link (w in `to`), or nullptr
  // when no candidate turns left.
  int* sharpest_left(int p, int q, int& to) {
    const double uq = X_[q][0];
    const double vq = X_[q][1];
    const double du = X_[p][0] - uq;
    const double dv = X_[p][1] - vq;
    int* best = nullptr;
    double best_key = 0.0;
    for (int* link = &EC_[q]; *link != 0;) {
      const int k = std::abs(*link);
      const int sl = slot(q, k);
      const int w = E_[k][1 - sl];
      if (*link < 0 && w != q) {
        const double eu = X_[w][0] - uq;
        const double ev = X_[w][1] - vq;
        const double s = dv * eu - du * ev;
        if (!(s <= 0.0)) {
          const double key = (du * eu + dv * ev) / s;
          if (best == nullptr || !(key < best_key)) {
            best = link;
            best_key = key;
            to = w;
          }
        }
      }
      link = &CC_[k][sl];
    }
    return best;
  }

  // Keeps cell c unless it lies beyond the capacity; only a walk that closes
  // there is an error (overflow), a walk that is later abandoned is not.
  void store(int c, const std::array<int, 4>& cell) {
    if (c > capacity_) return;
    auto& cat = cells_.CAT;
    if (static_cast<std::size_t>(c) >= cat.size()) {
      std::size_t grown = cat.size() * 2;
      const std::size_t limit = static_cast<std::size_t>(capacity_) + 1;
      if (grown <= static_cast<std::size_t>(c)) grown = static_cast<std::size_t>(c) + 1;
      cat.resize(grown < limit ? grown : limit);
    }
    cat[c] = cell;
  }

  // The traced cells do not fit: restore the lists, then stop the run.
  [[noreturn]] void overflow() {
    for (int e = 1; e <= n_; ++e) EC_[e] = std::abs(EC_[e]);
    for (int k = 1; k <= L_; ++k) {
      CC_[k][0] = std::abs(CC_[k][0]);
      CC_[k][1] = std::abs(CC_[k][1]);
    }
    stop("too many cells (at most " + std::to_string(capacity_) + ")");
  }

  Cells& cells_;
  std::span<const std::array<double, 3>> X_;
  std::span<int> EC_;
  std::span<const std::array<int, 2>> E_;
  std::span<std::array<int, 2>> CC_;
  int n_;
  int capacity_;
  int L_ = 0;
};

}  // namespace

int catalog(Cells& cells, std::span<const std::array<double, 3>> X, std::span<int> EC,
            std::span<const std::array<int, 2>> E, std::span<std::array<int, 2>> CC, int n,
            int capacity) {
  Tracer tracer(cells, X, EC, E, CC, n, capacity);
  tracer.mark_unvisited();
  tracer.scan();
  return cells.NCELL;
}

}  // namespace pz
