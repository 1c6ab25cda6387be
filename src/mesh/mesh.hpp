// The grid: element table, connection table, element-name index, and the
// reader `rmesh` that fills them from the files MESH and locat.
//
// All tables are 1-based (entry 0 unused), allocated once for the run at
// the sizes the mesh needs (never beyond the capacities), owned by the run
// driver and handed down.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "records/layouts.hpp"

namespace pz {

struct MeshCapacity {
  int elements = 100000;      // so at most 99 999 element records
  int connections = 1200000;  // so at most 1 199 999 connection records
  int buckets = 256;          // name-index buckets
};

// Element-name index: `HSH` (bucket ends, 1..buckets) and `IND` (element
// numbers grouped by bucket, 1..N), plus a hash table from normalised name to
// the element the bucket scan finds first, so that a lookup costs
// O(1) on average and gives the same answer as the scan.
struct NameIndex {
  std::vector<int> HSH;
  std::vector<int> IND;
  int buckets = 256;
  // Fast table: open addressing over packed normalised names. A slot holds
  // the name's 5 bytes above the number of its first element in bucket
  // order (element_bits wide), so a lookup touches one slot per probe; 0 is
  // an empty slot (elements are numbered from 1).
  static constexpr int element_bits = 24;  // room for far more than the element capacity
  static constexpr std::uint64_t element_mask = (std::uint64_t{1} << element_bits) - 1;
  std::vector<std::uint64_t> slots;
  std::uint64_t mask = 0;
};

struct Mesh {
  // Element table.
  std::vector<Name> ID;
  std::vector<std::array<double, 3>> X;
  std::vector<int> EC;  // head of the element's connection list, 0 = none
  // Connection table.
  std::vector<std::array<int, 2>> E;   // first and second element, 0 = unresolved
  std::vector<std::array<int, 2>> CC;  // next link in the first / second end's list
  std::vector<double> A;               // value of columns 51-60 (interface area)
  NameIndex index;
  int elements = 0;     // element records read
  int located = 0;      // elements 1..located have a position
  int connections = 0;  // connection records read (numbers 1..connections)
};

// The name as the index compares it: a "0" in the fourth character is a
// blank; nothing else changes.
Name normalise(Name name);

// Bucket of a name (1..buckets): sum of position x unsigned byte, modulo the
// bucket count, plus 1.
int bucket_of(const Name& name, int buckets);

// Builds the index over elements 1..n of ID, normalising the names in
// place. IND must hold a permutation of 1..n on entry. W1 (1-based, at
// least n+1 entries) is work space and is all zero on return.
void hash(std::vector<Name>& ID, NameIndex& index, int n, int buckets, std::vector<int>& W1);

// The element whose normalised name equals the probe's (the probe cut or
// padded to 5 characters), the first in bucket order; 0 when there is none
// or when it is numbered above bound.
int ihash(const NameIndex& index, std::string_view probe, int bound);

// The same, for a probe that is already a 5-character name (the readers'
// records).
int ihash(const NameIndex& index, const Name& probe, int bound);

// ihash for count probes at once (found[i] for probes[i]): the table
// entries of all of them are requested from memory before the first is
// compared, so the cache misses of a batch overlap instead of queueing.
void ihash_many(const NameIndex& index, const Name* probes, int count, int bound, int* found);

// The same answer by a plain scan of the probe's bucket (the reference
// the fast table must agree with).
int ihash_scan(const NameIndex& index, const std::vector<Name>& ID, std::string_view probe, int bound);

// Applies the location file to elements 1..n of the mesh (their x and y
// already set to -999 and the index built over them): each listed name that
// the index finds gets the record's x and y; the last record of a name wins.
void read_locations(Mesh& mesh, int n, const std::string& location_file);

// Reads the mesh file and, when every coordinate of the mesh is zero, the
// location file; gathers the located elements at the front, replaces an
// IOPT of 0 by the plane across the smallest extent (1 YZ, 2 XZ, 3 XY),
// stores the plotted pair in the first two coordinates, and links each
// connection whose two ends are located and different into both ends'
// lists. Returns the located count (also in mesh.located). With no located
// element at all an IOPT of 0 becomes 3. More element or connection records
// than the capacity leaves room for stop the run ("too many elements in MESH
// (at most N)", "too many connections in MESH (at most N)").
int rmesh(Mesh& mesh, int& IOPT, const MeshCapacity& capacity = {},
          const std::string& mesh_file = "MESH", const std::string& location_file = "locat");

}  // namespace pz
