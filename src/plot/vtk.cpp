#include "plot/vtk.hpp"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <unordered_set>

#include "records/numbers.hpp"

namespace pz {

namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The two characters of every 12 bits: a 3-byte group takes two look-ups.
struct Pairs {
  char c[4096][2];
  constexpr Pairs() : c() {
    for (int i = 0; i < 4096; ++i) {
      c[i][0] = alphabet[i >> 6];
      c[i][1] = alphabet[i & 63];
    }
  }
};
constexpr Pairs pairs;

constexpr std::string_view byte_order =
    std::endian::native == std::endian::little ? "LittleEndian" : "BigEndian";

// Length of the UTF-8 sequence at s[0..n) when it is a valid one, else 0.
std::size_t utf8_length(const unsigned char* s, std::size_t n) {
  const unsigned char c = s[0];
  std::size_t len;
  std::uint32_t cp;
  if (c >= 0xC2 && c <= 0xDF) len = 2, cp = c & 0x1F;
  else if (c >= 0xE0 && c <= 0xEF) len = 3, cp = c & 0x0F;
  else if (c >= 0xF0 && c <= 0xF4) len = 4, cp = c & 0x07;
  else return 0;
  if (n < len) return 0;
  for (std::size_t i = 1; i < len; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (s[i] & 0x3F);
  }
  const bool overlong = (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
  const bool invalid = cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF;
  return overlong || invalid ? 0 : len;
}

template <class Sink>
void xml_escape(std::string_view text, Sink&& sink) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    if (c >= 0x80) {
      const std::size_t len = utf8_length(s + i, n - i);
      if (len == 0) {
        sink("?");
        ++i;
      } else {
        sink(std::string_view(text.data() + i, len));
        i += len;
      }
      continue;
    }
    switch (c) {
      case '&': sink("&amp;"); break;
      case '<': sink("&lt;"); break;
      case '>': sink("&gt;"); break;
      case '"': sink("&quot;"); break;
      case '\'': sink("&apos;"); break;
      case '\t': sink("&#9;"); break;
      default:
        if (c < 0x20 || c == 0x7F) sink("?");
        else sink(std::string_view(text.data() + i, 1));
    }
    ++i;
  }
}

// A number as XML text; a real in the shortest form that reads back to the
// same 64-bit value.
template <class Number>
void put_number(OutFile& out, Number v) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.put(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

// <DataArray type=".." [Name=".."] [NumberOfComponents=".."] format="binary">
void open_array(OutFile& out, std::string_view indent, std::string_view type, std::string_view name,
                int components) {
  out.put(indent);
  out.put("<DataArray type=\"");
  out.put(type);
  out.put("\"");
  if (!name.empty()) {
    out.put(" Name=\"");
    put_xml_text(out, name);
    out.put("\"");
  }
  if (components > 1) {
    out.put(" NumberOfComponents=\"");
    put_number(out, components);
    out.put("\"");
  }
  out.put(" format=\"binary\">\n");
  out.put(indent);
  out.put("  ");
}

void close_array(OutFile& out, std::string_view indent) {
  out.put("\n");
  out.put(indent);
  out.put("</DataArray>\n");
}

constexpr std::string_view array_indent = "        ";

// The byte count that heads the data of an array.
void put_count(Base64Writer& b64, std::uint64_t bytes) { b64.put(&bytes, sizeof bytes); }

// The cells a grid is written with: the plot cells, each of its distinct
// corners, or without plot cells a vertex cell per point.
struct CellList {
  const Cells& cells;
  int points;
  bool vertices() const { return cells.NCELL == 0; }
  int count() const { return vertices() ? points : cells.NCELL; }
  // The point numbers (from 1) of cell c (from 1) into out; their count.
  int corners(int c, int* out) const {
    if (vertices()) {
      out[0] = c;
      return 1;
    }
    return distinct_corners(cells.CAT[static_cast<std::size_t>(c)], out);
  }
};

void write_cells(OutFile& out, Base64Writer& b64, const CellList& list) {
  const int n = list.count();
  int corners[4];
  std::uint64_t connectivity = 0;
  for (int c = 1; c <= n; ++c) connectivity += static_cast<std::uint64_t>(list.corners(c, corners));

  open_array(out, array_indent, "Int32", "connectivity", 1);
  put_count(b64, connectivity * 4);
  for (int c = 1; c <= n; ++c) {
    const int k = list.corners(c, corners);
    for (int i = 0; i < k; ++i) {
      const std::int32_t v = corners[i] - 1;
      b64.put(&v, sizeof v);
    }
  }
  b64.finish();
  close_array(out, array_indent);

  open_array(out, array_indent, "Int32", "offsets", 1);
  put_count(b64, static_cast<std::uint64_t>(n) * 4);
  std::int32_t offset = 0;
  for (int c = 1; c <= n; ++c) {
    offset += list.corners(c, corners);
    b64.put(&offset, sizeof offset);
  }
  b64.finish();
  close_array(out, array_indent);

  open_array(out, array_indent, "UInt8", "types", 1);
  put_count(b64, static_cast<std::uint64_t>(n));
  for (int c = 1; c <= n; ++c) {
    const unsigned char type = cell_type(list.corners(c, corners));
    b64.put(&type, 1);
  }
  b64.finish();
  close_array(out, array_indent);
}

void put_header(OutFile& out, std::string_view type) {
  out.put("<?xml version=\"1.0\"?>\n<VTKFile type=\"");
  out.put(type);
  out.put("\" version=\"1.0\" byte_order=\"");
  out.put(byte_order);
  out.put("\" header_type=\"UInt64\">\n");
}

}  // namespace

char* base64_encode(const unsigned char* in, std::size_t n, char* out) noexcept {
  std::size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    const std::uint32_t v = std::uint32_t{in[i]} << 16 | std::uint32_t{in[i + 1]} << 8 | in[i + 2];
    std::memcpy(out, pairs.c[v >> 12], 2);
    std::memcpy(out + 2, pairs.c[v & 0xFFF], 2);
    out += 4;
  }
  if (i < n) {
    const bool two = i + 1 < n;
    const std::uint32_t v = std::uint32_t{in[i]} << 16 | (two ? std::uint32_t{in[i + 1]} << 8 : 0);
    out[0] = alphabet[v >> 18];
    out[1] = alphabet[(v >> 12) & 63];
    out[2] = two ? alphabet[(v >> 6) & 63] : '=';
    out[3] = '=';
    out += 4;
  }
  return out;
}

void Base64Writer::encode_block() {
  char* p = out_.reserve(block / 3 * 4);
  out_.commit_to(base64_encode(pending_, used_, p));
  used_ = 0;
}

void Base64Writer::put_long(const void* data, std::size_t n) {
  const auto* s = static_cast<const unsigned char*>(data);
  while (n > 0) {
    const std::size_t k = std::min(n, block - used_);
    std::memcpy(pending_ + used_, s, k);
    used_ += k;
    s += k;
    n -= k;
    if (used_ == block) encode_block();
  }
}

void Base64Writer::finish() {
  if (used_ > 0) encode_block();
}

void put_xml_text(OutFile& out, std::string_view text) {
  xml_escape(text, [&](std::string_view s) { out.put(s); });
}

std::string xml_text(std::string_view text) {
  std::string r;
  xml_escape(text, [&](std::string_view s) { r.append(s); });
  return r;
}

std::vector<std::string> unique_array_names(const Values& values) {
  std::vector<std::string> names;
  std::unordered_set<std::string> taken;
  for (int i = 0; i < values.NARR; ++i) {
    const ValueArray& a = values.arrays[static_cast<std::size_t>(i)];
    std::string base = a.length > 0 ? std::string(a.view()) : "slot" + std::to_string(a.first);
    std::string name = base;
    for (int k = 2; taken.count(name) != 0; ++k) name = base + "_" + std::to_string(k);
    taken.insert(name);
    names.push_back(std::move(name));
  }
  return names;
}

int distinct_corners(const std::array<int, 4>& corners, int* out) noexcept {
  int n = 0;
  for (int c : corners) {
    bool seen = false;
    for (int i = 0; i < n; ++i) seen = seen || out[i] == c;
    if (!seen) out[n++] = c;
  }
  return n;
}

unsigned char cell_type(int corners) noexcept {
  switch (corners) {
    case 4: return vtk_cell::quad;
    case 3: return vtk_cell::triangle;
    case 2: return vtk_cell::line;
    default: return vtk_cell::vertex;
  }
}

void write_vtu(OutFile& out, const Values& values, const Mesh& mesh, const Points& points, const Cells& cells,
               double time) {
  const int n = points.NPTS;
  const auto element = [&](int p) { return static_cast<std::size_t>(points.ZO[static_cast<std::size_t>(p)]); };
  const CellList list{cells, n};
  Base64Writer b64(out);

  put_header(out, "UnstructuredGrid");
  out.put("  <UnstructuredGrid>\n    <FieldData>\n");
  out.put("      <DataArray type=\"Float64\" Name=\"TimeValue\" NumberOfTuples=\"1\" format=\"binary\">\n        ");
  put_count(b64, 8);
  b64.put_double(time);
  b64.finish();
  out.put("\n      </DataArray>\n    </FieldData>\n    <Piece NumberOfPoints=\"");
  put_number(out, n);
  out.put("\" NumberOfCells=\"");
  put_number(out, list.count());
  out.put("\">\n      <PointData>\n");

  const std::vector<std::string> names = unique_array_names(values);
  for (int i = 0; i < values.NARR; ++i) {
    const ValueArray& a = values.arrays[static_cast<std::size_t>(i)];
    if (a.components == 1) {
      open_array(out, array_indent, "Float64", names[static_cast<std::size_t>(i)], 1);
      put_count(b64, static_cast<std::uint64_t>(n) * 8);
      const double* slot = values.slot(a.first);
      for (int p = 1; p <= n; ++p) b64.put_double(slot[element(p)]);
    } else {
      // A vector in the plot's frame: its components, then 0 up to three.
      open_array(out, array_indent, "Float64", names[static_cast<std::size_t>(i)], 3);
      put_count(b64, static_cast<std::uint64_t>(n) * 24);
      const double* slot[3];
      for (int k = 0; k < 3; ++k) slot[k] = k < a.components ? values.slot(a.first + k) : nullptr;
      for (int p = 1; p <= n; ++p) {
        const std::size_t e = element(p);
        for (int k = 0; k < 3; ++k) b64.put_double(slot[k] != nullptr ? slot[k][e] : 0.0);
      }
    }
    b64.finish();
    close_array(out, array_indent);
  }

  out.put("      </PointData>\n      <Points>\n");
  open_array(out, array_indent, "Float64", "Points", 3);
  put_count(b64, static_cast<std::uint64_t>(n) * 24);
  const bool planar = values.NCOORD == 2;
  for (int p = 1; p <= n; ++p) {
    const auto& x = mesh.X[element(p)];
    b64.put_double(x[0]);
    b64.put_double(x[1]);
    b64.put_double(planar ? 0.0 : x[2]);
  }
  b64.finish();
  close_array(out, array_indent);
  out.put("      </Points>\n      <Cells>\n");
  write_cells(out, b64, list);
  out.put("      </Cells>\n    </Piece>\n  </UnstructuredGrid>\n</VTKFile>\n");
}

void write_vtm(OutFile& out, const std::vector<Block>& blocks) {
  put_header(out, "vtkMultiBlockDataSet");
  out.put("  <vtkMultiBlockDataSet>\n");
  long index = 0;
  for (const Block& b : blocks) {
    out.put("    <DataSet index=\"");
    put_number(out, index++);
    out.put("\" name=\"");
    put_xml_text(out, b.name);
    out.put("\" file=\"");
    put_xml_text(out, b.file);
    out.put("\"/>\n");
  }
  out.put("  </vtkMultiBlockDataSet>\n</VTKFile>\n");
}

void write_pvd(OutFile& out, const std::vector<CollectionEntry>& entries) {
  put_header(out, "Collection");
  out.put("  <Collection>\n");
  for (const CollectionEntry& e : entries) {
    out.put("    <DataSet timestep=\"");
    put_number(out, e.time);
    out.put("\" group=\"\" part=\"0\" file=\"");
    put_xml_text(out, e.file);
    out.put("\"/>\n");
  }
  out.put("  </Collection>\n</VTKFile>\n");
}

double printout_time(std::string_view values_line, long n) {
  std::size_t first = values_line.find_first_not_of(' ');
  if (first == std::string_view::npos) return static_cast<double>(n);
  std::size_t last = values_line.find(' ', first);
  if (last == std::string_view::npos) last = values_line.size();
  double t;
  if (!read_real(values_line.substr(first, std::min<std::size_t>(last - first, 40)), 0, t))
    return static_cast<double>(n);
  return t;
}

}  // namespace pz
