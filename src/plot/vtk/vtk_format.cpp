#include "plot/vtk/vtk_format.hpp"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <optional>
#include <cstdint>
#include <cstring>
#include <unordered_set>

#include "plot/plot_file.hpp"
#include "plot/vtk/xml.hpp"

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

// <VTKFile type=".." ...>, the root of every VTK file.
XmlWriter::Scope open_vtk_file(XmlWriter& xml, std::string_view type) {
  return xml.open("VTKFile",
                  {{"type", type}, {"version", "1.0"}, {"byte_order", byte_order}, {"header_type", "UInt64"}});
}

// A binary data array: the 64-bit byte count of the data, then the data,
// encoded together in base64 on one line.
template <class WriteData>
void data_array(XmlWriter& xml, std::string_view type, std::string_view name, int components,
                std::uint64_t bytes, WriteData&& write_data) {
  const std::string count = number_text(components);
  auto array = components > 1 ? xml.open("DataArray", {{"type", type}, {"Name", name},
                                                       {"NumberOfComponents", count}, {"format", "binary"}})
                              : xml.open("DataArray", {{"type", type}, {"Name", name}, {"format", "binary"}});
  Base64Writer b64(xml.text());
  b64.put(&bytes, sizeof bytes);
  write_data(b64);
  b64.finish();
  xml.end_text();
}

// The cells a grid is written with: the plot cells, each of its distinct
// corners; or the boxes, then a vertex cell per point in no box; or
// without either a vertex cell per point.
struct CellList {
  const Cells& cells;
  const Boxes& boxes;
  int points;
  int box_count() const { return static_cast<int>(boxes.corners.size()); }
  int count() const {
    if (cells.count > 0) return cells.count;
    if (box_count() > 0) return box_count() + static_cast<int>(boxes.outside.size());
    return points;
  }
  // The point numbers (from 1) of cell c (from 1) into out (room for 8);
  // their count.
  int corners(int c, int* out) const {
    if (cells.count > 0) return distinct_corners(cells.corners[static_cast<std::size_t>(c)], out);
    if (c <= box_count()) {
      const std::array<int, 8>& box = boxes.corners[static_cast<std::size_t>(c - 1)];
      std::copy(box.begin(), box.end(), out);
      return 8;
    }
    out[0] = box_count() > 0 ? boxes.outside[static_cast<std::size_t>(c - box_count() - 1)] : c;
    return 1;
  }
};

void write_cells(XmlWriter& xml, const CellList& list) {
  const int n = list.count();
  int corners[8];
  std::uint64_t connectivity = 0;
  for (int c = 1; c <= n; ++c) connectivity += static_cast<std::uint64_t>(list.corners(c, corners));

  data_array(xml, "Int32", "connectivity", 1, connectivity * 4, [&](Base64Writer& b64) {
    for (int c = 1; c <= n; ++c) {
      const int k = list.corners(c, corners);
      for (int i = 0; i < k; ++i) {
        const std::int32_t v = corners[i] - 1;
        b64.put(&v, sizeof v);
      }
    }
  });
  data_array(xml, "Int32", "offsets", 1, static_cast<std::uint64_t>(n) * 4, [&](Base64Writer& b64) {
    std::int32_t offset = 0;
    for (int c = 1; c <= n; ++c) {
      offset += list.corners(c, corners);
      b64.put(&offset, sizeof offset);
    }
  });
  data_array(xml, "UInt8", "types", 1, static_cast<std::uint64_t>(n), [&](Base64Writer& b64) {
    for (int c = 1; c <= n; ++c) {
      const unsigned char type = cell_type(list.corners(c, corners));
      b64.put(&type, 1);
    }
  });
}

// A multiblock file whose blocks are grid files (named relative to it).
struct Block {
  std::string name;
  std::string file;
};

void write_vtm(OutFile& out, const std::vector<Block>& blocks) {
  XmlWriter xml(out);
  auto root = open_vtk_file(xml, "vtkMultiBlockDataSet");
  auto set = xml.open("vtkMultiBlockDataSet");
  long index = 0;
  for (const Block& b : blocks) xml.empty("DataSet", {{"index", number_text(index++)}, {"name", b.name}, {"file", b.file}});
}

// The collection file: each printout's file (named relative to it) with
// its time, in printout order.
//
//   <?xml version="1.0"?>
//   <VTKFile type="Collection" ...>
//     <Collection>
//       <DataSet timestep="86400" group="" part="0" file="run.out.1.vtu"/>
//     </Collection>
//   </VTKFile>
//
// It is written whole once, empty, under a temporary name and moved into
// place; each printout then writes its entry over the closing lines and
// the closing lines after it, in one write: a bounded cost per printout,
// and a file that is complete at every moment.
class Collection {
 public:
  explicit Collection(const std::string& name) : name_(name) {
    PlotFile pvd(name);
    {
      XmlWriter xml(pvd.out());
      auto root = open_vtk_file(xml, "Collection");
      auto collection = xml.open("Collection");
    }
    fd_ = pvd.commit_open();
    const off_t size = ::lseek(fd_, 0, SEEK_END);
    if (size < 0) fail(failure::write, Source{unit::plot, name_}, Routine::main_program, file_error(name_, errno));
    tail_ = size - static_cast<off_t>(closing.size());
  }
  ~Collection() {
    if (fd_ >= 0) ::close(fd_);
  }
  Collection(const Collection&) = delete;
  Collection& operator=(const Collection&) = delete;

  void add(std::string_view file, double time) {
    std::string entry = "    <DataSet timestep=\"" + number_text(time) + "\" group=\"\" part=\"0\" file=\"";
    append_xml_text(entry, file);
    entry += "\"/>\n";
    const std::string text = entry + std::string(closing);
    const ssize_t written = ::pwrite(fd_, text.data(), text.size(), tail_);
    if (written != static_cast<ssize_t>(text.size())) {
      const int error = written < 0 ? errno : ENOSPC;
      // A short write (a full disk, a file-size limit) leaves the file as
      // it stood: its closing lines again where they began, in bytes the
      // file already had, and what came after them cut off.
      if (written > 0 && ::pwrite(fd_, closing.data(), closing.size(), tail_) == static_cast<ssize_t>(closing.size()))
        static_cast<void>(::ftruncate(fd_, tail_ + static_cast<off_t>(closing.size())));
      fail(failure::write, Source{unit::plot, name_}, Routine::main_program, file_error(name_, error));
    }
    tail_ += static_cast<off_t>(entry.size());
  }

 private:
  static constexpr std::string_view closing = "  </Collection>\n</VTKFile>\n";
  std::string name_;
  int fd_ = -1;
  off_t tail_ = 0;  // where the closing lines begin
};

// The run's VTK files: each printout as an unstructured grid (file
// name.vtu), or with a zone file as a multiblock (name.vtm) of one grid per
// zone (name_1.vtu, name_2.vtu, ...). All of a printout's files are written
// under temporary names and moved into place together once the printout is
// complete; then the collection lists it.
class VtkPlot : public PrintoutPlot {
 public:
  VtkPlot(const std::string& plot_name, bool zones)
      : plot_name_(plot_name), zones_(zones), file_(plot_name + (zones ? ".vtm" : ".vtu")) {
    listed_name = file_name_part(plot_name + (zones ? ".vtm" : ".vtu"));
  }

  void write(const PrintoutData& data, const PlotZones& zones, const Mesh& mesh) override {
    time = data.time;
    if (!zones_) {
      write_vtu(file_.out(), data, mesh, zones.zones.front());
    } else {
      std::vector<Block> blocks;
      for (const Zone& zone : zones.zones) {
        const std::string name = plot_name_ + "_" + std::to_string(blocks.size() + 1) + ".vtu";
        PlotFile grid(name);
        write_vtu(grid.out(), data, mesh, zone);
        zone_files_.push_back(grid.finish());
        blocks.push_back(Block{std::string(zone_title_name(zone.title)), file_name_part(name)});
      }
      write_vtm(file_.out(), blocks);
    }
    main_file_.emplace(file_.finish());
  }

  void commit() override {
    for (FinishedFile& f : zone_files_) f.commit();
    main_file_->commit();
  }

 private:
  std::string plot_name_;
  bool zones_;
  PlotFile file_;
  std::optional<FinishedFile> main_file_;
  std::vector<FinishedFile> zone_files_;
};

class VtkWriter : public PlotWriter {
 public:
  VtkWriter(const std::string& base_name, bool zones) : collection_(collection_file_name(base_name)), zones_(zones) {}

  std::unique_ptr<PrintoutPlot> begin(const std::string& plot_name) const override {
    return std::make_unique<VtkPlot>(plot_name, zones_);
  }

  void commit(PrintoutPlot& plot) override {
    plot.commit();
    collection_.add(plot.listed_name, plot.time);
  }

 private:
  Collection collection_;
  bool zones_;
};

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

std::vector<std::string> unique_array_names(const PrintoutData& data) {
  std::vector<std::string> names;
  std::unordered_set<std::string> taken{std::string(element_array_name)};
  for (int i = 0; i < data.array_count; ++i) {
    const ValueArray& a = data.arrays[static_cast<std::size_t>(i)];
    const std::string_view given = a.whole_length > 0 ? a.whole_name() : a.view();
    std::string base = given.empty() ? "slot" + std::to_string(a.first_slot) : std::string(given);
    std::string name = base;
    for (int k = 2; taken.count(name) != 0; ++k) name = base + "_" + std::to_string(k);
    taken.insert(name);
    names.push_back(std::move(name));
  }
  return names;
}

std::vector<std::string> value_names(const PrintoutData& data) {
  std::vector<std::string> names;
  const std::vector<std::string> arrays = unique_array_names(data);
  const std::string_view letters = coordinate_letters(data.projection);
  for (int i = 0; i < data.array_count; ++i) {
    const ValueArray& a = data.arrays[static_cast<std::size_t>(i)];
    const std::string& name = arrays[static_cast<std::size_t>(i)];
    for (int k = 0; k < a.components; ++k)
      names.push_back(a.is_vector() ? name + '_' + letters[static_cast<std::size_t>(k)] : name);
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
    case 8: return vtk_cell::hexahedron;
    case 4: return vtk_cell::quad;
    case 3: return vtk_cell::triangle;
    case 2: return vtk_cell::line;
    default: return vtk_cell::vertex;
  }
}

void write_vtu(OutFile& out, const PrintoutData& data, const Mesh& mesh, const Zone& zone) {
  const int n = zone.point_count();
  const auto element = [&](int p) { return static_cast<std::size_t>(zone.elements[static_cast<std::size_t>(p - 1)]); };
  const CellList list{zone.cells, zone.boxes, n};

  XmlWriter xml(out);
  auto root = open_vtk_file(xml, "UnstructuredGrid");
  auto grid = xml.open("UnstructuredGrid");
  {
    auto field_data = xml.open("FieldData");
    auto time = xml.open("DataArray",
                         {{"type", "Float64"}, {"Name", "TimeValue"}, {"NumberOfTuples", "1"}, {"format", "binary"}});
    Base64Writer b64(xml.text());
    const std::uint64_t bytes = 8;
    b64.put(&bytes, sizeof bytes);
    b64.put_double(data.time);
    b64.finish();
    xml.end_text();
  }
  auto piece = xml.open("Piece", {{"NumberOfPoints", number_text(n)}, {"NumberOfCells", number_text(list.count())}});
  {
    auto point_data = xml.open("PointData");
    const std::vector<std::string> names = unique_array_names(data);
    for (int i = 0; i < data.array_count; ++i) {
      const ValueArray& a = data.arrays[static_cast<std::size_t>(i)];
      const std::string& name = names[static_cast<std::size_t>(i)];
      if (!a.is_vector()) {
        const PrintoutData::SlotBlock& block = data.block_of(a.first_slot);
        const int slot = a.first_slot - 1 - block.first_slot;
        data_array(xml, "Float64", name, 1, static_cast<std::uint64_t>(n) * 8, [&](Base64Writer& b64) {
          for (int p = 1; p <= n; ++p) b64.put_double(binary_value(block.value(static_cast<int>(element(p)), slot)));
        });
        continue;
      }
      // A vector in the plot's frame: its components, then 0 up to three.
      const PrintoutData::SlotBlock& block = data.block_of(a.first_slot);
      data_array(xml, "Float64", name, 3, static_cast<std::uint64_t>(n) * 24, [&](Base64Writer& b64) {
        for (int p = 1; p <= n; ++p) {
          const double* values = block.row(static_cast<int>(element(p))) + (a.first_slot - 1 - block.first_slot);
          for (int k = 0; k < 3; ++k) b64.put_double(k < a.components ? values[k] : 0.0);
        }
      });
    }
    data_array(xml, "Int32", element_array_name, 1, static_cast<std::uint64_t>(n) * 4, [&](Base64Writer& b64) {
      for (int p = 1; p <= n; ++p) {
        const std::int32_t place = mesh.elements.place_read(static_cast<int>(element(p)));
        b64.put(&place, sizeof place);
      }
    });
  }
  {
    auto points = xml.open("Points");
    const bool planar = data.coordinate_count == 2;
    data_array(xml, "Float64", "Points", 3, static_cast<std::uint64_t>(n) * 24, [&](Base64Writer& b64) {
      for (int p = 1; p <= n; ++p) {
        const auto& x = mesh.elements.centres[element(p)];
        b64.put_double(x[0]);
        b64.put_double(x[1]);
        b64.put_double(planar ? 0.0 : x[2]);
      }
    });
  }
  auto cells = xml.open("Cells");
  write_cells(xml, list);
}

std::unique_ptr<PlotWriter> make_vtk_writer(const std::string& base_name, bool zones) {
  return std::make_unique<VtkWriter>(base_name, zones);
}

}  // namespace pz
