// Element-name index.
//
// Names are compared after one normalisation: a "0" in the fourth character
// is a blank. Where names repeat, the index groups the element numbers by
// bucket (bucket b occupies positions bucket_end[b-1]+1 .. bucket_end[b]).
// The order inside a bucket comes from the way the buckets are partitioned
// out of the list, one pass per bucket, and it decides which of several
// elements of the same name a lookup finds. An open-addressing table maps
// each normalised name to that first element, so a lookup is a hash probe
// instead of a scan of about N/256 names; where every name is distinct, the
// table alone is built.

#include <algorithm>
#include <bit>
#include <cstring>
#include <random>

#include "mesh/mesh.hpp"
#include "records/failure.hpp"

namespace pz {

namespace {

// The slot of a key: a full avalanche of the key and the table's seed,
// drawn anew for every run, so that names crafted to share slots cannot
// crowd the table (the answers never depend on the seed).
std::uint64_t mix(std::uint64_t key, std::uint64_t seed) {
  key ^= seed;
  key ^= key >> 30;
  key *= 0xBF58476D1CE4E5B9ull;
  key ^= key >> 27;
  key *= 0x94D049BB133111EBull;
  return key ^ (key >> 31);
}

// Position of the first entry equal to value in at[from..to), or to.
std::size_t find_from(const std::uint8_t* at, std::size_t from, std::size_t to, std::uint8_t value) {
  const void* hit = std::memchr(at + from, value, to - from);
  return hit ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - at) : to;
}
std::size_t find_from(const std::uint16_t* at, std::size_t from, std::size_t to, std::uint16_t value) {
  return static_cast<std::size_t>(std::find(at + from, at + to, value) - at);
}

// The bucket passes over the element list. For b = 1, 2, ...: scan the
// unfilled tail (positions c+1..n) in increasing order; each element of
// bucket b found at position p is exchanged with the entry at position c+1,
// and c advances. bucket_end[b] = c after the pass.
//
// The test "is the element at p in bucket b" reads the buckets kept in
// position order (at[p], exchanged together with list[p]), which makes the
// scan a linear search through contiguous bytes. A pass also ends as soon as it has
// met every member of its bucket: the rest of the tail holds none, so
// scanning it would exchange nothing.
template <typename T>
void partition(std::vector<int>& list, std::vector<int>& bucket_end, const std::vector<int>& bucket, int n,
               int buckets) {
  std::vector<T> at(static_cast<std::size_t>(n) + 1);
  std::vector<int> members(static_cast<std::size_t>(buckets) + 1, 0);
  for (int p = 1; p <= n; ++p) {
    at[p] = static_cast<T>(bucket[list[p]] - 1);
    ++members[bucket[list[p]]];
  }
  const std::size_t end = static_cast<std::size_t>(n) + 1;
  int c = 0;
  for (int b = 1; b <= buckets; ++b) {
    const T value = static_cast<T>(b - 1);
    std::size_t p = static_cast<std::size_t>(c) + 1;
    for (int left = members[b]; left > 0; --left) {
      p = find_from(at.data(), p, end, value);
      ++c;
      const int e = list[p];
      list[p] = list[c];
      list[c] = e;
      at[p] = at[c];
      at[c] = value;
      ++p;
    }
    bucket_end[b] = c;
  }
}

std::uint64_t random_seed() {
  std::random_device device;
  return std::uint64_t{device()} << 32 | device();
}

}  // namespace

Name normalise(Name name) {
  if (name[3] == '0') name[3] = ' ';
  return name;
}

int bucket_of(const Name& name, int buckets) {
  int sum = 0;
  for (int i = 0; i < 5; ++i) sum += (i + 1) * static_cast<unsigned char>(name[i]);
  return sum % buckets + 1;
}

namespace {

// Fills the fast table from the elements in list order (list[1..n]): every
// distinct name once, with the first element of the list that bears it. At
// most half full. False when some name is borne by more than one element.
bool fill_slots(NameIndex& index, const std::vector<Name>& names, int n) {
  const std::vector<int>& list = index.elements_by_bucket;
  const std::size_t size = std::bit_ceil(std::max<std::size_t>(16, 2 * static_cast<std::size_t>(n)));
  index.slots.assign(size, 0);
  index.mask = size - 1;
  index.seed = random_seed();
  index.found_by_name.assign(static_cast<std::size_t>(n) + 1, 0);
  index.element_of_slot.clear();
  if (static_cast<std::uint64_t>(n) >= NameIndex::element_mask) index.element_of_slot.assign(size, 0);
  bool distinct = true;
  constexpr int ahead = 16;  // slots requested ahead of their insertion
  for (int p = 1; p <= n; ++p) {
    if (p + ahead <= n)
      __builtin_prefetch(&index.slots[mix(name_key(names[list[p + ahead]]), index.seed) & index.mask], 1);
    const int e = list[p];
    const std::uint64_t key = name_key(names[e]);
    std::size_t s = mix(key, index.seed) & index.mask;
    while (index.slots[s] != 0 && (index.slots[s] >> NameIndex::element_bits) != key) s = (s + 1) & index.mask;
    if (index.slots[s] == 0) {
      const auto number = static_cast<std::uint64_t>(e);
      index.slots[s] = key << NameIndex::element_bits | std::min(number, NameIndex::element_mask);
      if (number >= NameIndex::element_mask) index.element_of_slot[s] = e;
      index.found_by_name[static_cast<std::size_t>(e)] = 1;
    } else {
      distinct = false;
    }
  }
  return distinct;
}

}  // namespace

void build_name_index(std::vector<Name>& names, NameIndex& index, int n, int buckets) {
  index.buckets = buckets;
  for (int i = 1; i <= n; ++i) names[i] = normalise(names[i]);
  // Where every name is distinct, a lookup finds a name's only element
  // whatever the order: the bucket passes, which only rank the elements of
  // a repeated name, are left out.
  if (fill_slots(index, names, n)) {
    index.bucket_end.clear();
    return;
  }
  index.bucket_end.assign(static_cast<std::size_t>(buckets) + 1, 0);
  std::vector<int> bucket(static_cast<std::size_t>(n) + 1);
  for (int i = 1; i <= n; ++i) bucket[i] = bucket_of(names[i], buckets);
  if (buckets <= 256)
    partition<std::uint8_t>(index.elements_by_bucket, index.bucket_end, bucket, n, buckets);
  else
    partition<std::uint16_t>(index.elements_by_bucket, index.bucket_end, bucket, n, buckets);
  // (every element of a name shares its bucket, so walking the list front
  // to back meets the first in bucket order first)
  fill_slots(index, names, n);
}

namespace {
// The element of a slot whose name is key, 0 when the name is not in the
// table.
int find(const NameIndex& index, std::uint64_t key, std::size_t s) {
  for (;; s = (s + 1) & index.mask) {
    const std::uint64_t slot = index.slots[s];
    if (slot == 0) return 0;
    if ((slot >> NameIndex::element_bits) == key) {
      const std::uint64_t number = slot & NameIndex::element_mask;
      return number != NameIndex::element_mask ? static_cast<int>(number) : index.element_of_slot[s];
    }
  }
}

// The element found for a normalised name's key, 0 above bound or with no
// table built.
int find_key(const NameIndex& index, std::uint64_t key, int bound) {
  if (index.slots.empty()) return 0;
  const int e = find(index, key, mix(key, index.seed) & index.mask);
  return e <= bound ? e : 0;
}
}  // namespace

int find_element(const NameIndex& index, const Name& name, int bound) {
  return find_key(index, name_key(normalise(name)), bound);
}

void find_elements(const NameIndex& index, const Name* names, int count, int bound, int* found) {
  if (index.slots.empty()) {
    std::fill(found, found + count, 0);
    return;
  }
  constexpr int chunk = 64;
  std::uint64_t key[chunk];
  std::size_t slot[chunk];
  for (int base = 0; base < count; base += chunk) {
    const int m = std::min(chunk, count - base);
    for (int i = 0; i < m; ++i) {
      key[i] = name_key(normalise(names[base + i]));
      slot[i] = mix(key[i], index.seed) & index.mask;
      __builtin_prefetch(&index.slots[slot[i]]);
    }
    for (int i = 0; i < m; ++i) {
      const int e = find(index, key[i], slot[i]);
      found[base + i] = e <= bound ? e : 0;
    }
  }
}

int find_element(const NameIndex& index, std::string_view name, int bound) {
  return find_element(index, make_name(name), bound);
}

int find_element_missed(const Mesh& mesh, std::string_view name, int bound) {
  return find_key(mesh.name_index, text_key(name), bound);
}

// ---- the connection index ------------------------------------------------

namespace {
// A slot: the pair's two element numbers (pair_bits each) above the
// connection's number (connection_bits), or the pair alone; 0 is an empty
// slot (elements count from 1).
std::uint64_t pair_key(const ConnectionIndex& index, int first, int second) {
  return static_cast<std::uint64_t>(first) << index.pair_bits | static_cast<std::uint64_t>(second);
}

// The slot of a pair: where it stands, or the empty slot where it belongs.
std::size_t pair_slot(const ConnectionIndex& index, std::uint64_t key) {
  std::size_t s = mix(key, index.seed) & index.mask;
  while (index.slots[s] != 0 && (index.slots[s] >> index.connection_bits) != key) s = (s + 1) & index.mask;
  return s;
}

int connection_in_slot(const ConnectionIndex& index, std::size_t s) {
  if (index.connection_bits == 0) return index.connection_of_slot[s];
  return static_cast<int>(index.slots[s] & ((std::uint64_t{1} << index.connection_bits) - 1));
}
}  // namespace

void build_connection_index(Mesh& mesh) {
  Connections& connections = mesh.connections;
  const int located = mesh.elements.located;
  ConnectionIndex& index = mesh.connection_index;
  index.slots.clear();

  // A walk of an element's list meets the records that join it, as first
  // end, to the same second end newest first: each one after the first met
  // is repeated later.
  connections.repeated_later.assign(static_cast<std::size_t>(connections.count) / 64 + 1, 0);
  {
    std::vector<int> last_walk(static_cast<std::size_t>(located) + 1, 0);  // whose walk met it as second end
    for (int a = 1; a <= located; ++a) {
      for (int c = mesh.elements.first_connection[static_cast<std::size_t>(a)]; c != 0;) {
        const auto& ends = connections.ends[static_cast<std::size_t>(c)];
        const bool first_end = ends[0] == a;
        if (first_end) {
          int& met_by = last_walk[static_cast<std::size_t>(ends[1])];
          if (met_by == a) connections.repeated_later[static_cast<std::size_t>(c) / 64] |= std::uint64_t{1} << (c % 64);
          met_by = a;
        }
        c = connections.next_connection[static_cast<std::size_t>(c)][first_end ? 0 : 1];
      }
    }
  }

  // Lists of a few dozen connections, as every real mesh has, are walked:
  // quicker than a hash probe that misses the cache. Only a mesh with a
  // longer list gets the index.
  std::vector<int> listed(static_cast<std::size_t>(located) + 1, 0);
  int longest = 0;
  for (int k = 1; k <= connections.count; ++k) {
    const auto [a, b] = connections.ends[static_cast<std::size_t>(k)];
    if (a == 0 || a == b || a > located || b > located) continue;  // not in the lists
    longest = std::max({longest, ++listed[static_cast<std::size_t>(a)], ++listed[static_cast<std::size_t>(b)]});
  }
  if (longest <= ConnectionIndex::longest_walk) return;
  // (20 and 24 bits hold a mesh of the fixed sizes)
  index.pair_bits = std::max(20, static_cast<int>(std::bit_width(static_cast<unsigned>(mesh.elements.count))));
  index.connection_bits = std::max(24, static_cast<int>(std::bit_width(static_cast<unsigned>(connections.count))));
  if (2 * index.pair_bits + index.connection_bits > 64)
    index.connection_bits = static_cast<int>(std::bit_width(static_cast<unsigned>(connections.count)));
  if (2 * index.pair_bits + index.connection_bits > 64) index.connection_bits = 0;
  const std::size_t size =
      std::bit_ceil(std::max<std::size_t>(16, static_cast<std::size_t>(connections.count) * 3 / 2));
  index.slots.assign(size, 0);
  index.mask = size - 1;
  index.seed = random_seed();
  index.connection_of_slot.clear();
  if (index.connection_bits == 0) index.connection_of_slot.assign(size, 0);
  // Lists are walked from the newest connection: the last record of a pair
  // is the one a walk meets first.
  for (int k = 1; k <= connections.count; ++k) {
    const auto [a, b] = connections.ends[static_cast<std::size_t>(k)];
    if (a == 0 || a == b || a > located || b > located) continue;  // not in the lists
    const std::uint64_t key = pair_key(index, a, b);
    const std::size_t s = pair_slot(index, key);
    if (index.connection_bits == 0) {
      index.slots[s] = key;
      index.connection_of_slot[s] = k;
    } else {
      index.slots[s] = key << index.connection_bits | static_cast<std::uint64_t>(k);
    }
  }
}

int find_connection(const Mesh& mesh, int first, int second) {
  const ConnectionIndex& index = mesh.connection_index;
  if (!index.slots.empty()) return connection_in_slot(index, pair_slot(index, pair_key(index, first, second)));
  // The walk of first's list, newest connection first.
  const Connections& connections = mesh.connections;
  for (int c = mesh.elements.first_connection[static_cast<std::size_t>(first)]; c != 0;) {
    const auto& ends = connections.ends[static_cast<std::size_t>(c)];
    if (ends[1] == second) return c;
    c = connections.next_connection[static_cast<std::size_t>(c)][ends[0] == first ? 0 : 1];
  }
  return 0;
}

int find_connection_from(const Mesh& mesh, int first, int second, int guess) {
  const Connections& connections = mesh.connections;
  const int located = mesh.elements.located;
  if (guess > 0 && guess <= connections.count && first != second && first <= located && second <= located) {
    const auto& ends = connections.ends[static_cast<std::size_t>(guess)];
    if (ends[0] == first && ends[1] == second && !connections.is_repeated_later(guess)) return guess;
  }
  return find_connection(mesh, first, second);
}

}  // namespace pz
