#include "plot/zone/zone_records.hpp"

#include <span>

namespace pz {

namespace {
// A number in its field of `width` columns while it has fewer than `room`
// digits, or else after a blank in the columns it needs.
char* write_widened(char* out, std::int64_t value, int width, int room) {
  const int len = integer_length(value);
  if (len < room) return write_integer(out, value, width);
  *out++ = ' ';
  return write_integer(out, value, len);
}
}  // namespace

char* write_count(char* out, std::int64_t value, int width, NumberFields fields) {
  if (fields == NumberFields::widened) return write_widened(out, value, width, width + 1);
  const int len = integer_length(value);
  return write_integer(out, value, len > width ? len : width);
}

void write_point_zone_header(OutFile& out, std::int64_t points, NumberFields fields) {
  out.put("Zone F=POINT I=");
  char* p = out.reserve(24);
  out.commit_to(write_count(p, points, 5, fields));
  out.newline();
}

void write_cell_zone_header(OutFile& out, std::string_view title, std::int64_t points, std::int64_t cells,
                            NumberFields fields) {
  out.put(title);
  out.put(" F=FEPOINT I=");
  char* p = out.reserve(48);
  p = write_count(p, points, 5, fields);
  std::memcpy(p, " J=", 3);
  p = write_count(p + 3, cells, 5, fields);
  out.commit_to(p);
  out.newline();
}

namespace {
// Point numbers in fields of six, with the line end; widened, a number of
// six digits or more after a blank (in i6 it would touch the one before).
char* write_point_numbers(char* out, std::span<const int> points, NumberFields fields) {
  if (fields == NumberFields::widened) {
    for (int c : points) out = write_widened(out, c, 6, 6);
  } else {
    for (int c : points) out = write_integer(out, c, 6);
  }
  *out++ = '\n';
  return out;
}
}  // namespace

char* write_cell_record(char* out, const std::array<int, 4>& corners, NumberFields fields) {
  return write_point_numbers(out, corners, fields);
}

char* write_box_record(char* out, const std::array<int, 8>& corners, NumberFields fields) {
  return write_point_numbers(out, corners, fields);
}

}  // namespace pz
