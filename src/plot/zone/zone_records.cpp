#include "plot/zone/zone_records.hpp"

namespace pz {

char* write_count(char* out, std::int64_t value, int width) {
  const int len = integer_length(value);
  return write_integer(out, value, len > width ? len : width);
}

void write_point_zone_header(OutFile& out, std::int64_t points) {
  out.put("Zone F=POINT I=");
  char* p = out.reserve(24);
  out.commit_to(write_count(p, points, 5));
  out.newline();
}

void write_cell_zone_header(OutFile& out, std::string_view title, std::int64_t points, std::int64_t cells) {
  out.put(title);
  out.put(" F=FEPOINT I=");
  char* p = out.reserve(48);
  p = write_count(p, points, 5);
  std::memcpy(p, " J=", 3);
  p = write_count(p + 3, cells, 5);
  out.commit_to(p);
  out.newline();
}

char* write_cell_record(char* out, const std::array<int, 4>& corners) {
  for (int c : corners) out = write_integer(out, c, 6);
  *out++ = '\n';
  return out;
}

char* write_box_record(char* out, const std::array<int, 8>& corners) {
  for (int c : corners) out = write_integer(out, c, 6);
  *out++ = '\n';
  return out;
}

}  // namespace pz
