// `inspect`: the one text primitive under every keyword test.
//
// Copies a text into a destination of fixed length, turning the 26 ASCII
// capitals into lower case and padding with blanks, and reports three
// 1-based positions in the examined stretch (the first min(source length,
// destination length) characters): the first non-blank character, the last
// non-blank character and the end of the first word. A blank is the space
// character alone; a word is a maximal run of non-blank characters. Each
// position is 1 when there is no non-blank character. Source and
// destination may be the same text.
#pragma once

#include <cstddef>
#include <string_view>

namespace pz {

struct Positions {
  int first = 1;     // first non-blank character
  int last = 1;      // last non-blank character
  int word_end = 1;  // last character of the first word
};

Positions inspect(std::string_view source, char* destination, std::size_t destination_length);

// The positions alone, without a copy.
Positions inspect(std::string_view source);

}  // namespace pz
