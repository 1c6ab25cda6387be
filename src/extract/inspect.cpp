#include "extract/inspect.hpp"

#include <cstring>

#include "records/layouts.hpp"

namespace pz {

namespace {
template <bool Copy>
Positions scan(std::string_view source, char* destination, std::size_t destination_length) {
  const std::size_t n = source.size() < destination_length ? source.size() : destination_length;
  int first = 0, word = 0, last = 1;
  const char* s = source.data();
  for (std::size_t i = 0; i < n; ++i) {
    char c = s[i];
    if (c == ' ') {
      if (word == -1) word = last;
    } else {
      c = lower_case(c);
      const int pos = static_cast<int>(i) + 1;
      if (first == 0) first = pos;
      if (word == 0) word = -1;
      last = pos;
    }
    if constexpr (Copy) destination[i] = c;
  }
  if constexpr (Copy) {
    if (n < destination_length) std::memset(destination + n, ' ', destination_length - n);
  }
  Positions p;
  p.first = first == 0 ? 1 : first;
  p.last = last;
  p.word_end = (word == 0 || word == -1) ? last : word;
  return p;
}
}  // namespace

Positions inspect(std::string_view source, char* destination, std::size_t destination_length) {
  return scan<true>(source, destination, destination_length);
}

Positions inspect(std::string_view source) { return scan<false>(source, nullptr, source.size()); }

}  // namespace pz
