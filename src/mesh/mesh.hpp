// The grid: element table, connection table, element-name index, and the
// reader that fills them from the files MESH and locat.
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

// What a plot shows: one of the three coordinate planes, or all three
// coordinates. `automatic` is a request only: the mesh reader replaces it by
// the plane across the mesh's smallest extent.
enum class Projection { automatic, yz, xz, xy, xyz };

inline bool is_planar(Projection p) { return p != Projection::xyz; }
// Coordinates per plot point: 2 in a plane, 3 otherwise.
inline int coordinate_count(Projection p) { return is_planar(p) ? 2 : 3; }

// Element-name index. Where names repeat, the element numbers are grouped
// by bucket in elements_by_bucket: bucket b occupies positions
// bucket_end[b-1]+1 .. bucket_end[b] (bucket_end[0] = 0), in the order the
// bucket passes leave them; that order decides which of several elements of
// the same name a lookup finds. Where every name is distinct, no order
// matters: elements_by_bucket stays as given and bucket_end is empty. Beside
// them, a hash table maps each normalised name to that first element, so
// that a lookup costs O(1) on average.
struct NameIndex {
  std::vector<int> bucket_end;
  std::vector<int> elements_by_bucket;
  int buckets = 256;
  // Open addressing over packed normalised names. A slot holds the name's
  // 5 bytes above the number of its first element in bucket order
  // (element_bits wide), so a lookup touches one slot per probe; 0 is an
  // empty slot (elements are numbered from 1). An element numbered
  // element_mask or above (a mesh of more than 16 million elements) stands
  // in element_of_slot, its slot holding element_mask.
  static constexpr int element_bits = 24;  // room for far more than the fixed element capacity
  static constexpr std::uint64_t element_mask = (std::uint64_t{1} << element_bits) - 1;
  std::vector<std::uint64_t> slots;
  std::vector<int> element_of_slot;  // empty while every element fits its slot
  std::uint64_t mask = 0;
  std::uint64_t seed = 0;  // of the slots' hash, drawn for every build
  // Per element, 1 when a lookup of its name finds it (it is the first of
  // its name in bucket order): a guess that names it needs no probe.
  std::vector<std::uint8_t> found_by_name;
};

// The connections by their ends, for a mesh whose connection lists are
// long (an element at an end of more than longest_walk connections): for
// each pair (first, second) of a connection in the lists, the one that a
// walk of the first element's list meets first, the last such record. One
// slot per pair, open addressing over the pair (pair_bits a number) and the
// connection (connection_bits) packed in 64 bits; where the three numbers
// do not fit (more than 2^21 elements and connections, say), a slot holds
// the pair alone and connection_of_slot the connection. Empty for a mesh
// whose lists are all short.
struct ConnectionIndex {
  static constexpr int longest_walk = 64;
  std::vector<std::uint64_t> slots;
  std::uint64_t mask = 0;
  std::uint64_t seed = 0;
  int pair_bits = 0, connection_bits = 0;
  std::vector<int> connection_of_slot;  // where connection_bits is 0
};

// The element table: entries 1..count, the located ones (those with a
// position) first.
struct Elements {
  std::vector<Name> names;
  // Centres; once the mesh is read, the first two coordinates hold the
  // plotted pair of a planar projection.
  std::vector<std::array<double, 3>> centres;
  // Head of the element's connection list, 0 when it has none. A connection
  // k continues the list of its first end through next_connection[k][0] and
  // that of its second end through next_connection[k][1].
  std::vector<int> first_connection;
  int count = 0;
  int located = 0;  // elements 1..located have a position and are plotted
  // The place of each element in the ELEME block (from 1), where gathering
  // the located elements at the front moved some; empty where none moved,
  // every element then standing where it was read.
  std::vector<int> places_read;
  int place_read(int e) const { return places_read.empty() ? e : places_read[static_cast<std::size_t>(e)]; }
};

// The connection table: entries 1..count, in record order.
struct Connections {
  std::vector<std::array<int, 2>> ends;             // first and second element; 0, 0 when a name is unknown
  std::vector<std::array<int, 2>> next_connection;  // next in the first / second end's list, 0 ends it
  std::vector<double> areas;                        // columns 51-60 of the record: the interface area
  // Bit k (word k / 64, bit k % 64) is set when a later record in the lists
  // joins the same two elements in the same order: a lookup of that pair
  // finds the later record, never record k.
  std::vector<std::uint64_t> repeated_later;
  int count = 0;
  // (A record not yet marked counts as repeated.)
  bool is_repeated_later(int k) const {
    const std::size_t word = static_cast<std::size_t>(k) / 64;
    return word >= repeated_later.size() || (repeated_later[word] >> (k % 64) & 1) != 0;
  }
};

struct Mesh {
  Elements elements;
  Connections connections;
  NameIndex name_index;
  ConnectionIndex connection_index;
  // The plane across the located elements' smallest extent: what an
  // automatic projection becomes.
  Projection flattest_plane = Projection::xy;
};

// The name as the index compares it: a "0" in the fourth character is a
// blank; nothing else changes.
Name normalise(Name name);

// Bucket of a name (1..buckets): sum of position x unsigned byte, modulo the
// bucket count, plus 1.
int bucket_of(const Name& name, int buckets);

// Builds the index over elements 1..n, normalising their names in place.
// index.elements_by_bucket must hold a permutation of 1..n on entry: the
// bucket passes start from that order (where names repeat).
void build_name_index(std::vector<Name>& names, NameIndex& index, int n, int buckets);

// The element whose normalised name equals the name given (cut or padded
// to 5 characters), the first in bucket order; 0 when there is none or when
// it is numbered above bound.
int find_element(const NameIndex& index, std::string_view name, int bound);
int find_element(const NameIndex& index, const Name& name, int bound);

// The five bytes of a name in one integer, the first in the low byte.
inline std::uint64_t name_key(const char* n) {
  return static_cast<unsigned char>(n[0]) | std::uint64_t{static_cast<unsigned char>(n[1])} << 8 |
         std::uint64_t{static_cast<unsigned char>(n[2])} << 16 |
         std::uint64_t{static_cast<unsigned char>(n[3])} << 24 |
         std::uint64_t{static_cast<unsigned char>(n[4])} << 32;
}
inline std::uint64_t name_key(const Name& n) { return name_key(n.data()); }

// The key of a normalised name as a row writes it (cut or padded to 5
// characters): read straight from the text, where a name put together
// first would be stored byte by byte and read back whole, which stalls.
inline std::uint64_t text_key(std::string_view text) {
  if (text.size() < 5) return name_key(normalise(make_name(text)));
  std::uint64_t key = name_key(text.data());
  if ((key >> 24 & 0xFF) == '0') key ^= std::uint64_t{'0' ^ ' '} << 24;
  return key;
}

// find_element (by the name index).
int find_element_missed(const Mesh& mesh, std::string_view name, int bound);

// find_element, trying the element `guess` first: tables list elements in
// mesh order, so the one after the element last found (or the ends of the
// connection after the one last found) is nearly always right, and checking
// it touches memory in order where a probe of the index misses the cache.
inline int find_element_from(const Mesh& mesh, std::string_view name, int bound, int guess) {
  const auto g = static_cast<std::size_t>(guess);
  if (guess >= 1 && guess <= bound && g < mesh.name_index.found_by_name.size() &&
      mesh.name_index.found_by_name[g] != 0 && name_key(mesh.elements.names[g]) == text_key(name))
    return guess;
  return find_element_missed(mesh, name, bound);
}

// find_element for count names at once (found[i] for names[i]): the table
// entries of all of them are requested from memory before the first is
// compared, so the cache misses of a batch overlap instead of queueing.
void find_elements(const NameIndex& index, const Name* names, int count, int bound, int* found);

// Prepares the lookups of connections by their ends: marks the records
// that a later one repeats, and builds the connection index over the
// connections in the lists when some list is longer than
// ConnectionIndex::longest_walk.
void build_connection_index(Mesh& mesh);

// The connection from element first to element second in first's list
// (the mesh's record of that pair in that order; the last record when it
// is listed twice), or 0 when there is none. Constant time: a walk of at
// most ConnectionIndex::longest_walk connections, or one index probe.
int find_connection(const Mesh& mesh, int first, int second);

// find_connection, trying connection `guess` first: tables list connections
// in mesh order, so the one after the connection last found is nearly
// always right, and taking it spares the walk of a long list. The guess is
// taken when it joins first to second in the lists and no later record
// repeats that pair; otherwise the lookup is find_connection's.
int find_connection_from(const Mesh& mesh, int first, int second, int guess);

// Applies the location file to elements 1..n of the mesh (their x and y
// already set to -999 and the index built over them): each listed name that
// the index finds gets the record's x and y; the last record of a name wins.
void read_locations(Mesh& mesh, int n, const std::string& location_file);

// Reads the mesh file (or the ELEME and CONNE blocks of a simulator input
// file, wherever they stand in it, when its first record is not ELEME)
// and, when every coordinate of the mesh is zero, the location file; gathers the located elements at the front, replaces an
// automatic projection by the plane across the smallest extent, stores the
// plotted pair in the first two coordinates, and links each connection
// whose two ends are located and different into both ends' lists. Returns
// the located count (also in mesh.elements.located). With no located
// element at all an automatic projection becomes XY. More element or
// connection records than the capacity leaves room for stop the run ("too
// many elements in MESH (at most N)", "too many connections in MESH (at
// most N)").
inline const std::string default_mesh_file = "MESH";
int read_mesh(Mesh& mesh, Projection& projection, const MeshCapacity& capacity = {},
              const std::string& mesh_file = default_mesh_file, const std::string& location_file = "locat");

// The location file read with a mesh file: "locat" in the mesh file's folder.
std::string location_file_beside(const std::string& mesh_file);

}  // namespace pz
