// The mesh file reader.
//
// MESH is fixed-column text in two blocks:
//
//   ELEME                  header, columns 1-5 ("ELEME" or "eleme" exactly)
//   A1  1 ...  x y z       "(a,45x,3e10.4)": name 1-5; x, y, z in 51-80
//   (blank name)           end of the elements; its numbers are converted too
//   CONNE                  the very next record ("CONNE" or "conne")
//   A1  1A1  2 ...  area   "(2a,40x,f10.0)": names 1-5, 6-10; value 51-60
//   (blank name) or "+++  "  end of the connections; nothing after it is read
//
// A simulator input file holds the same two blocks among its other data
// blocks (each begun by a keyword in columns 1-5), in any order. A file
// whose first record is not ELEME is read as one: the ELEME block and the
// CONNE block are each taken from the first record that begins it, read as
// above, and every other record is passed over.
//
// An element at x = y = -999 exactly has no position ("unlocated"). When
// every coordinate of the mesh is zero, every element is first made
// unlocated and the location file supplies planar positions by name.
// Located elements are then gathered at the front, the projection plane is
// chosen when the caller left it open, the plotted pair is moved into the
// first two coordinates, and each connection is linked at the head of its
// two elements' lists.

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <optional>
#include <string>

#include "mesh/mesh.hpp"

namespace pz {

namespace {

constexpr Routine routine = Routine::mesh_reader;
constexpr Name eleme_upper{'E', 'L', 'E', 'M', 'E'};
constexpr Name eleme_lower{'e', 'l', 'e', 'm', 'e'};
constexpr Name conne_upper{'C', 'O', 'N', 'N', 'E'};
constexpr Name conne_lower{'c', 'o', 'n', 'n', 'e'};
constexpr Name plus_end{'+', '+', '+', ' ', ' '};
constexpr double unlocated = -999.0;

bool is_located(const std::array<double, 3>& x) { return !(x[0] == unlocated && x[1] == unlocated); }

// Empties a block's vectors and makes the first reservation for them: the
// records its bytes would hold at 80 columns and a line end each, never
// beyond what the capacity allows, and entry 0. Blocks of shorter records
// grow geometrically from there.
template <class... Vectors>
void reserve_records(std::uintmax_t bytes, int limit, Vectors&... vectors) {
  const std::uintmax_t guess = bytes / 81 + 1;
  const std::uintmax_t cap = limit > 0 ? static_cast<std::uintmax_t>(limit) : 0;
  const auto expected = static_cast<std::size_t>(std::min(guess, cap)) + 1;
  ((vectors.clear(), vectors.reserve(expected)), ...);
}

// Reads MESH record by record; the end of the file anywhere is a stop.
class MeshInput {
 public:
  explicit MeshInput(const std::string& path) {
    in_.open(path, Source{unit::mesh, path}, routine,
             path == default_mesh_file ? "MESH is read from the working directory; name another mesh file with -m"
                                       : "");
    std::error_code ec;
    bytes_ = std::filesystem::file_size(path, ec);
    if (ec) bytes_ = 0;
  }
  std::string_view next() {
    std::string_view record;
    if (!next_if_any(record))
      stop("Premature EOF on MESH", in_.end_of_file_context() +
                                        "; a blank record ends the ELEME block, CONNE follows it at once and a blank "
                                        "record or +++ ends that");
    return record;
  }
  // The next record, or false at the end of the file.
  bool next_if_any(std::string_view& record) {
    if (!in_.next(record)) return false;
    consumed_ += record.size() + 1;
    return true;
  }
  // Where a record begins: its offset and its line number.
  struct Place {
    std::uint64_t offset;
    long long line;
  };
  Place last_place() const { return {in_.last_record_offset(), in_.line_number()}; }
  // Reads on from the record at that place.
  void go_back_to(const Place& place) {
    in_.seek(place.offset, place.line - 1);
    consumed_ = place.offset;
  }
  std::uintmax_t remaining() const { return consumed_ < bytes_ ? bytes_ - consumed_ : 0; }
  std::string path() const { return full_path(in_.source().file); }
  const Source& source() const { return in_.source(); }
  long long line_number() const { return in_.line_number(); }
  std::string where() const { return in_.where(); }
  void close() { in_.close(); }

 private:
  LineReader in_;
  std::uintmax_t bytes_ = 0;
  std::uintmax_t consumed_ = 0;
};

// Reads the element block into names and centres (entries 1..count).
// Returns whether every coordinate read was exactly zero.
bool read_elements(MeshInput& in, Elements& elements, int limit) {
  reserve_records(in.remaining(), limit, elements.names, elements.centres);
  elements.names.push_back(blank_name);
  elements.centres.push_back({0.0, 0.0, 0.0});
  bool all_zero = true;
  int n = 0;
  for (;;) {
    const ElementRecord r = read_element_record(in.next(), in.source(), routine);
    if (r.name == blank_name) break;
    if (n >= limit)
      stop("too many elements in MESH (at most " + std::to_string(limit) + ")", in.where() + ": one element too many");
    ++n;
    elements.names.push_back(r.name);
    elements.centres.push_back({r.x[0], r.x[1], r.x[2]});
    if (r.x[0] != 0.0 || r.x[1] != 0.0 || r.x[2] != 0.0) all_zero = false;
  }
  elements.count = n;
  return all_zero;
}

// Moves the located elements to the front: a front position i and a back
// position j walk towards each other; an unlocated element at i is exchanged
// with the element at j when that one is located, otherwise j steps back.
// Nothing else moves, but the places the elements were read at are kept
// (places_read) once an exchange is made. Returns the located count and the
// box of the located elements' coordinates; moved tells whether any
// exchange was made.
int gather(Elements& elements, std::array<double, 3>& lo, std::array<double, 3>& hi, bool& moved) {
  elements.places_read.clear();
  int i = 1, j = elements.count;
  while (i <= j) {
    const auto& x = elements.centres[i];
    if (is_located(x)) {
      for (int d = 0; d < 3; ++d) {
        lo[d] = i == 1 ? x[d] : std::min(lo[d], x[d]);
        hi[d] = i == 1 ? x[d] : std::max(hi[d], x[d]);
      }
      ++i;
    } else if (is_located(elements.centres[j])) {
      std::swap(elements.names[i], elements.names[j]);
      std::swap(elements.centres[i], elements.centres[j]);
      if (!moved) {
        elements.places_read.resize(static_cast<std::size_t>(elements.count) + 1);
        std::iota(elements.places_read.begin(), elements.places_read.end(), 0);
      }
      std::swap(elements.places_read[i], elements.places_read[j]);
      moved = true;
    } else {
      --j;
    }
  }
  return i - 1;
}

// The plane across the smallest extent: XY on any tie with z, then XZ,
// else YZ. A mesh without a located element has no extent; it gets XY, and
// with no points the later output is empty whatever the plane.
Projection choose_plane(int located, const std::array<double, 3>& lo, const std::array<double, 3>& hi) {
  if (located == 0) return Projection::xy;
  const double dx = hi[0] - lo[0], dy = hi[1] - lo[1], dz = hi[2] - lo[2];
  if (dz <= std::min(dx, dy)) return Projection::xy;
  if (dy <= std::min(dx, dz)) return Projection::xz;
  return Projection::yz;
}

// The plotted pair goes into the first two coordinates; the third keeps z.
void rearrange(Elements& elements, Projection projection) {
  for (int i = 1; i <= elements.located; ++i) {
    auto& x = elements.centres[i];
    if (projection == Projection::yz) {
      x[0] = x[1];
      x[1] = x[2];
    } else if (projection == Projection::xz) {
      x[1] = x[2];
    }
  }
}

bool ends_connections(const ConnectionRecord& r) { return r.first == blank_name || r.first == plus_end; }

// Records are taken in batches so that the name lookups of a batch run
// together (their memory accesses overlap).
constexpr int batch = 32;

// Reads the connection block. Every record takes the next number, found or
// not; both names must be found for its ends to be set. A connection is
// linked at the head of both ends' lists only when both ends are located
// and differ: a connection from an element to itself is kept in the table
// but left out of the lists, which assume two distinct ends (a self-link would also make the
// element's list loop through one connection on both links).
void read_connections(MeshInput& in, Mesh& mesh, int limit) {
  Connections& connections = mesh.connections;
  Elements& elements = mesh.elements;
  reserve_records(in.remaining(), limit, connections.ends, connections.next_connection, connections.areas);
  connections.ends.push_back({0, 0});
  connections.next_connection.push_back({0, 0});
  connections.areas.push_back(0.0);
  const int all = elements.count, located = elements.located;
  int k = 0;
  // Numbers the next connection and links it.
  auto add = [&](int a, int b, double area) {
    ++k;
    connections.areas.push_back(area);
    const bool found = a != 0 && b != 0;
    connections.ends.push_back(found ? std::array{a, b} : std::array{0, 0});
    if (found && a != b && a <= located && b <= located) {
      connections.next_connection.push_back({elements.first_connection[a], elements.first_connection[b]});
      elements.first_connection[a] = k;
      elements.first_connection[b] = k;
    } else {
      connections.next_connection.push_back({0, 0});
    }
  };

  Name names[2 * batch];
  int found[2 * batch];
  double areas[batch];
  for (bool more = true; more;) {
    int m = 0;
    while (m < batch) {
      const ConnectionRecord r = read_connection_record(in.next(), in.source(), routine);
      if (ends_connections(r)) {
        more = false;
        break;
      }
      if (k + m >= limit)
        stop("too many connections in MESH (at most " + std::to_string(limit) + ")",
             in.where() + ": one connection too many");
      names[2 * m] = r.first;
      names[2 * m + 1] = r.second;
      areas[m] = r.value;
      ++m;
    }
    find_elements(mesh.name_index, names, 2 * m, all, found);
    for (int i = 0; i < m; ++i) add(found[2 * i], found[2 * i + 1], areas[i]);
  }
  connections.count = k;
}

bool is_eleme(const Name& keyword) { return keyword == eleme_upper || keyword == eleme_lower; }
bool is_conne(const Name& keyword) { return keyword == conne_upper || keyword == conne_lower; }

// A simulator input file holds the ELEME and CONNE blocks among others, in
// any order. Reads on up to the next record that begins an ELEME block (when
// eleme) or a CONNE block; false when the file ends first. A CONNE header
// passed on the way is kept in conne_seen (the first only).
bool find_block(MeshInput& in, bool eleme, std::optional<MeshInput::Place>& conne_seen) {
  std::string_view record;
  while (in.next_if_any(record)) {
    const Name keyword = read_keyword(record);
    if (is_conne(keyword) && !conne_seen) conne_seen = in.last_place();
    if (eleme ? is_eleme(keyword) : is_conne(keyword)) return true;
  }
  return false;
}

constexpr std::string_view looked_for =
    "; the ELEME and CONNE blocks were looked for throughout the file, as in a simulator input file";

// Reads both blocks of MESH, and the location file when the mesh has no
// coordinates. A file that does not begin with ELEME is read as a simulator
// input file: the blocks are taken from wherever they begin.
void read_blocks(MeshInput& in, Mesh& mesh, Projection& projection, const MeshCapacity& capacity,
                 const std::string& location_file) {
  Elements& elements = mesh.elements;
  const bool input_file = !is_eleme(read_keyword(in.next()));
  std::optional<MeshInput::Place> conne_header;
  if (input_file) {
    const std::string not_a_mesh_file = in.where() + ": a mesh file begins with ELEME";
    if (!find_block(in, true, conne_header))
      stop("no eleme in MESH", not_a_mesh_file + "\nprintzone: " + in.path() +
                                   ": no record begins an ELEME block (ELEME or eleme in columns 1-5)" +
                                   std::string(looked_for));
  }

  const bool all_zero = read_elements(in, elements, capacity.elements - 1);
  const int n = elements.count;

  // The index over all elements, in read order.
  mesh.name_index.elements_by_bucket.resize(static_cast<std::size_t>(n) + 1);
  std::iota(mesh.name_index.elements_by_bucket.begin(), mesh.name_index.elements_by_bucket.end(), 0);
  build_name_index(elements.names, mesh.name_index, n, capacity.buckets);

  if (all_zero) {
    for (int i = 1; i <= n; ++i) elements.centres[i][0] = elements.centres[i][1] = unlocated;
    read_locations(mesh, n, location_file);
  }

  std::array<double, 3> lo{}, hi{};
  bool moved = false;
  elements.located = gather(elements, lo, hi, moved);
  mesh.flattest_plane = choose_plane(elements.located, lo, hi);
  if (projection == Projection::automatic) projection = mesh.flattest_plane;
  rearrange(elements, projection);

  // The exchanges moved names: index again, from the previous order. With
  // no exchange the build would change nothing: every bucket already stands
  // at the front of the unfilled tail, so each pass meets its members in
  // place and exchanges each with itself, and the names are already normal.
  if (moved) build_name_index(elements.names, mesh.name_index, n, capacity.buckets);
  elements.first_connection.assign(static_cast<std::size_t>(n) + 1, 0);

  if (!input_file) {
    if (!is_conne(read_keyword(in.next())))
      stop("no conne in MESH", in.where() + ": CONNE must follow the blank record that ends the ELEME block");
  } else if (conne_header) {
    in.go_back_to(*conne_header);
    in.next();
  } else if (!find_block(in, false, conne_header)) {
    stop("no conne in MESH",
         in.path() + ": no record begins a CONNE block (CONNE or conne in columns 1-5)" + std::string(looked_for));
  }
  read_connections(in, mesh, capacity.connections - 1);
  build_connection_index(mesh);
}

}  // namespace

int read_mesh(Mesh& mesh, Projection& projection, const MeshCapacity& capacity, const std::string& mesh_file,
              const std::string& location_file) {
  MeshInput in(mesh_file);
  try {
    read_blocks(in, mesh, projection, capacity, location_file);
  } catch (Failure& bad_field) {
    if (bad_field.number == failure::conversion && bad_field.unit == unit::mesh) bad_field.at_line(in.line_number());
    throw;
  }
  in.close();
  return mesh.elements.located;
}

}  // namespace pz
