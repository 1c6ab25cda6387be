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

// The element a lookup must find: the first of that name in bucket order
// (all elements of a name share a bucket), 0 when it lies beyond bound.
int first_in_bucket_order(const pz::Mesh& mesh, const pz::Name& name, int bound) {
  const auto& order = mesh.name_index.elements_by_bucket;
  for (int p = 1; p <= mesh.elements.count; ++p)
    if (mesh.elements.names[order[p]] == name) return order[p] <= bound ? order[p] : 0;
  return 0;
}

void check_index(const pz::Mesh& mesh) {
  const auto& elements = mesh.elements;
  const int n = elements.count;
  for (int e = 1; e <= n; ++e) {
    const std::string_view name(elements.names[e].data(), 5);
    for (int bound : {n, elements.located}) {
      const int fast = pz::find_element(mesh.name_index, name, bound);
      if (fast != first_in_bucket_order(mesh, elements.names[e], bound)) fault("lookup differs from bucket order");
      if (bound == n && (fast == 0 || elements.names[fast] != elements.names[e])) fault("an element's name is not found");
    }
  }
}

void check_lists(const pz::Mesh& mesh) {
  const auto& elements = mesh.elements;
  const auto& connections = mesh.connections;
  const int located = elements.located, k_max = connections.count;
  long linked = 0;
  for (int k = 1; k <= k_max; ++k) {
    const auto [a, b] = connections.ends[k];
    if ((a == 0) != (b == 0)) fault("half-resolved connection");
    if (a != 0 && a != b && a <= located && b <= located) ++linked;
  }
  long seen = 0;
  for (int e = 1; e <= elements.count; ++e) {
    if (e > located) {
      if (elements.first_connection[e] != 0) fault("an unlocated element has a list");
      continue;
    }
    int steps = 0;
    for (int k = elements.first_connection[e]; k != 0;) {
      if (k < 0 || k > k_max || ++steps > k_max) fault("connection list runs away");
      const auto [a, b] = connections.ends[k];
      if ((a != e && b != e) || a == b || a > located || b > located || a == 0) fault("foreign connection in a list");
      ++seen;
      k = connections.next_connection[k][a == e ? 0 : 1];
    }
  }
  if (seen != 2 * linked) fault("a linked connection is missing from a list");
}

void check_cells(const pz::Mesh& mesh, int capacity) {
  const auto& e = mesh.elements;
  const auto& c = mesh.connections;
  pz::Cells cells;
  int n = -1;
  try {
    n = pz::trace_cells(cells, {e.centres, e.first_connection, c.ends, c.next_connection, e.located}, capacity);
  } catch (const pz::Stop& s) {
    if (s.message != "too many cells (at most " + std::to_string(capacity) + ")") fault("tracer stop: " + s.message);
  }
  if (n < 0) return;
  if (n > capacity || n != cells.count) fault("cell count");
  for (int k = 1; k <= n; ++k)
    for (int v : cells.corners[k])
      if (v < 1 || v > e.located) fault("cell corner is not a located element");
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
  static constexpr pz::Projection projection_choice[8] = {
      pz::Projection::automatic, pz::Projection::yz,  pz::Projection::xz,  pz::Projection::xy,
      pz::Projection::xyz,       pz::Projection::xyz, pz::Projection::xyz, pz::Projection::xyz};
  const pz::Projection asked = projection_choice[mode & 7];
  pz::Projection projection = asked;

  pz::Mesh mesh;
  try {
    pz::read_mesh(mesh, projection, cap, "MESH", "locat");
  } catch (const pz::Stop& s) {
    if (!known_stop(s.message)) fault("unexpected stop: " + s.message);
    return 0;
  } catch (const pz::Failure& f) {
    const bool mesh_field = f.number == 64 && f.unit == 1 && f.file == "MESH";
    const bool locat_field = f.number == 64 && f.unit == 2 && f.file == "locat";
    const bool no_locat = f.number == 29 && f.unit == 2 && f.file == "locat" && !with_locat;
    if (!mesh_field && !locat_field && !no_locat) fault("unexpected failure: " + f.first_line());
    return 0;
  }
  const auto& elements = mesh.elements;
  if (elements.located < 0 || elements.located > elements.count || elements.count >= cap.elements ||
      mesh.connections.count >= cap.connections)
    fault("counts");
  const bool settled = projection == pz::Projection::yz || projection == pz::Projection::xz ||
                       projection == pz::Projection::xy;
  if (asked == pz::Projection::automatic ? !settled : projection != asked) fault("projection");
  check_index(mesh);
  check_lists(mesh);
  if (pz::is_planar(projection)) check_cells(mesh, (mode & 8) ? 2 : 40);
  return 0;
}
