#include "records/layouts.hpp"

namespace pz {

namespace {
double real_field(std::string_view record, std::size_t first, std::size_t width, int decimals,
                  const Source& source, Routine routine) {
  double v;
  const std::string_view field = columns(record, first, width);
  if (!read_real(field, decimals, v)) {
    fail(failure::conversion, source, routine,
         "columns " + std::to_string(first) + "-" + std::to_string(first + width - 1) + ": \"" +
             std::string(field) + "\" is not a number");
  }
  return v;
}
}  // namespace

ElementRecord read_element_record(std::string_view record, const Source& source, Routine routine) {
  ElementRecord r;
  r.name = make_name(record);
  r.x[0] = real_field(record, 51, 10, 4, source, routine);
  r.x[1] = real_field(record, 61, 10, 4, source, routine);
  r.x[2] = real_field(record, 71, 10, 4, source, routine);
  return r;
}

ConnectionRecord read_connection_record(std::string_view record, const Source& source, Routine routine) {
  ConnectionRecord r;
  r.first = make_name(columns(record, 1, 5));
  r.second = make_name(columns(record, 6, 5));
  r.value = real_field(record, 51, 10, 0, source, routine);
  return r;
}

LocationRecord read_location_record(std::string_view record, const Source& source, Routine routine) {
  LocationRecord r;
  r.name = make_name(record);
  r.x = real_field(record, 11, 20, 0, source, routine);
  r.y = real_field(record, 31, 20, 0, source, routine);
  return r;
}

int read_option_answer(std::string_view record, const Source& source, Routine routine) {
  int v;
  if (!read_integer(columns(record, 1, 1), v))
    fail(failure::conversion, source, routine, "the answer \"" + std::string(record) + "\" does not begin with a digit");
  return v;
}

}  // namespace pz
