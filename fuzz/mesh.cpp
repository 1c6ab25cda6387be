// The mesh reader on MESH and locat files, then the cell tracer on what it
// built.
//
// Input: one mode byte, then the MESH text; a line "~~~~~" divides it from
// the locat text (without it there is no locat file). The mode byte picks
// the projection option (bits 0-2), small capacities (bit 3, sizes from
// bits 4-5) and the bucket count (bits 6-7).
//
// After a read that succeeds: every name is found through the fast table
// exactly as the bucket scan finds it; each located element's connection
// list is finite and holds only its own connections with two distinct
// located ends, and every such connection is in both lists. The tracer must
// give back the lists as they came in (also when it stops at its capacity)
// and cells whose corners are located elements.
#include <string>

#include "cells/cells.hpp"
#include "common.hpp"
#include "mesh/mesh.hpp"

namespace {

using fuzz::fault;

bool known_stop(const std::string& m) {
  return m == "no eleme in MESH" || m == "no conne in MESH" || m == "Premature EOF on MESH" ||
         m == "no locat in locat" || m == "Premature EOF on locat" || m.starts_with("too many elements in MESH (at most ") ||
         m.starts_with("too many connections in MESH (at most ");
}

void check_index(const pz::Mesh& mesh) {
  const int n = mesh.elements;
  for (int e = 1; e <= n; ++e) {
    const std::string_view name(mesh.ID[e].data(), 5);
    for (int bound : {n, mesh.located}) {
      const int fast = pz::ihash(mesh.index, mesh.ID[e], bound);
      if (fast != pz::ihash_scan(mesh.index, mesh.ID, name, bound)) fault("fast lookup differs from the scan");
      if (bound == n && (fast == 0 || mesh.ID[fast] != mesh.ID[e])) fault("an element's name is not found");
    }
  }
}

void check_lists(const pz::Mesh& mesh) {
  const int located = mesh.located, k_max = mesh.connections;
  long linked = 0;
  for (int k = 1; k <= k_max; ++k) {
    const auto [a, b] = mesh.E[k];
    if ((a == 0) != (b == 0)) fault("half-resolved connection");
    if (a != 0 && a != b && a <= located && b <= located) ++linked;
  }
  long seen = 0;
  for (int e = 1; e <= mesh.elements; ++e) {
    if (e > located) {
      if (mesh.EC[e] != 0) fault("an unlocated element has a list");
      continue;
    }
    int steps = 0;
    for (int k = mesh.EC[e]; k != 0;) {
      if (k < 0 || k > k_max || ++steps > k_max) fault("connection list runs away");
      const auto [a, b] = mesh.E[k];
      if ((a != e && b != e) || a == b || a > located || b > located || a == 0) fault("foreign connection in a list");
      ++seen;
      k = mesh.CC[k][a == e ? 0 : 1];
    }
  }
  if (seen != 2 * linked) fault("a linked connection is missing from a list");
}

void check_cells(pz::Mesh& mesh, int capacity) {
  const auto ec = mesh.EC;
  const auto cc = mesh.CC;
  pz::Cells cells;
  int n = -1;
  try {
    n = pz::catalog(cells, mesh.X, mesh.EC, mesh.E, mesh.CC, mesh.located, capacity);
  } catch (const pz::Stop& s) {
    if (s.message != "too many cells (at most " + std::to_string(capacity) + ")") fault("tracer stop: " + s.message);
  }
  if (mesh.EC != ec || mesh.CC != cc) fault("the tracer did not restore the lists");
  if (n < 0) return;
  if (n > capacity || n != cells.NCELL) fault("cell count");
  for (int c = 1; c <= n; ++c)
    for (int v : cells.CAT[c])
      if (v < 1 || v > mesh.located) fault("cell corner is not a located element");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::make_scratch("mesh");
  fuzz::InScratch here;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::InScratch here;
  if (size == 0) return 0;
  const unsigned mode = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  bool with_locat;
  const auto [mesh_text, locat_text] = fuzz::split(text, "\n~~~~~\n", with_locat);
  fuzz::write_file("MESH", mesh_text);
  if (with_locat) fuzz::write_file("locat", locat_text);
  else ::unlink("locat");

  pz::MeshCapacity cap;
  if (mode & 8) {
    cap.elements = 2 + 2 * static_cast<int>((mode >> 4) & 3);
    cap.connections = cap.elements + 1;
  }
  static constexpr int bucket_choice[4] = {256, 1, 7, 300};
  cap.buckets = bucket_choice[(mode >> 6) & 3];
  int IOPT = static_cast<int>(mode & 7);
  const int asked = IOPT;

  pz::Mesh mesh;
  try {
    pz::rmesh(mesh, IOPT, cap, "MESH", "locat");
  } catch (const pz::Stop& s) {
    if (!known_stop(s.message)) fault("unexpected stop: " + s.message);
    return 0;
  } catch (const pz::Failure& f) {
    const bool mesh_field = f.number == 64 && f.unit == 1 && f.file == "MESH";
    const bool locat_field = f.number == 64 && f.unit == 2 && f.file == "locat";
    const bool no_locat = f.number == 29 && f.unit == 2 && f.file == "locat" && !with_locat;
    if (!mesh_field && !locat_field && !no_locat) fault("unexpected failure: " + f.report());
    return 0;
  }
  if (mesh.located < 0 || mesh.located > mesh.elements || mesh.elements >= cap.elements ||
      mesh.connections >= cap.connections)
    fault("counts");
  if (asked == 0 ? (IOPT < 1 || IOPT > 3) : IOPT != asked) fault("projection option");
  check_index(mesh);
  check_lists(mesh);
  if (IOPT < 4) check_cells(mesh, (mode & 8) ? 2 : 40);
  return 0;
}
