#include "extract/tables.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "records/failure.hpp"
#include "records/field_shape.hpp"
#include "records/number_writing.hpp"

namespace pz {

namespace {

constexpr Routine routine = Routine::table_reader;
// A row as read: the whole record (the reader's limit), blank-padded, with
// blanks beyond, so that a value window reads what stands in its columns,
// also past column 240. Rows are neither lower-cased nor stripped of
// column 1.
using Row = FixedText<LineReader::max_record>;
constexpr int row_width = static_cast<int>(Row::width);
// The most columns a table can have, whatever its printout's capacity
// (data.capacity.columns, 20 by default): one per column of a row.
constexpr int most_columns = row_width;

// A table's heading line as read, as far as its rows are: the scan tests a
// line's first 240 columns, but the names of a wide table reach further
// (20 names of 13 columns). Its column 1 blanked, unless the heading is
// read as printed (its first word begins there); the lower-cased copy and
// its positions.
struct Heading {
  FixedText<LineReader::max_record> text, lower;
  Positions pos;
  Heading(std::string_view record, bool as_printed) {
    const std::size_t n = std::min(record.size(), text.width);
    text.assign(record);
    if (!as_printed && n > 0) text.set(1, ' ');
    // (lower is blank beyond the record: only its columns are copied)
    pos = inspect(text.cols(1, text.width).substr(0, n), lower.write_all(), n);
  }
};
constexpr int heading_columns = static_cast<int>(LineReader::max_record);
constexpr int max_words = heading_columns / 2;  // words of a heading line

// The terminator line: twenty at signs in columns 2 to 21. Tested on the
// record as read, not on the row's copy of it: reading back a copy that is
// still being stored would wait for the stores.
bool is_terminator(std::string_view record) {
  return record.size() >= 21 && record.substr(1, 20) == "@@@@@@@@@@@@@@@@@@@@";
}

// A line of one capital letter repeated in columns 2 to 21, which ends a
// table in the letter-line layout.
bool is_letter_line(std::string_view record) {
  if (record.size() < 21 || record[1] < 'A' || record[1] > 'Z') return false;
  return record.substr(1, 20).find_first_not_of(record[1]) == std::string_view::npos;
}

struct Word {
  int first = 0, last = 0;
  bool found() const { return first != 0; }
  void shift(int columns) {
    first += columns;
    last += columns;
  }
};

// The next word of a lower-cased line after column `after`, up to column
// `last`.
template <class Text>
Word next_word(const Text& lower, int after, int last) {
  if (after + 1 > last) return {};
  const Positions p = inspect(lower.cols(after + 1, last));
  const int first = after + p.first;
  if (lower.at(first) == ' ') return {};
  return {first, after + p.word_end};
}

template <class Text>
bool word_is(const Text& lower, const Word& w, std::string_view text) {
  return w.found() && lower.cols(w.first, w.last) == text;
}

template <class Text>
bool is_index_word(const Text& lower, const Word& w) {
  return word_is(lower, w, "index") || word_is(lower, w, "ind.") || word_is(lower, w, "ind");
}

// A heading's first words, and what it heads.
struct HeadingWords {
  TableKind kind = TableKind::none;
  Word first, second, index;  // second: the second name word of a connection table
};

template <class Text>
HeadingWords classify(const Text& lower, const Positions& pos, bool letter_lines) {
  HeadingWords h;
  if (lower.cols(pos.first, pos.first + 3) != "elem") return h;
  h.first = {pos.first, pos.word_end};
  h.second = next_word(lower, pos.word_end, pos.last);
  if (is_index_word(lower, h.second)) {
    h.kind = TableKind::element;
    h.index = h.second;
    return h;
  }
  if (!word_is(lower, h.second, "elem2") && !(letter_lines && word_is(lower, h.second, "elem1"))) return h;
  h.index = next_word(lower, h.second.last, pos.last);
  if (is_index_word(lower, h.index)) h.kind = TableKind::connection;
  return h;
}

// The scan's line as printed: column 1 as the record has it.
void assign_printed(ScanLine& printed, const ScanLine& line) {
  printed.text = line.text;
  printed.text.set(1, line.printed_first);
  printed.printed_first = line.printed_first;
  printed.pos = inspect(printed.text.view(), printed.lower.write_all(), line_width);
}

// The columns of a row's element name under a heading word: the word's own,
// and never fewer than the 5 characters of a name.
Word name_field(const Word& heading_word) {
  return {heading_word.first, std::max(heading_word.last, heading_word.first + 4)};
}

// What becomes of a table column: left out by the wanted-column list,
// taken, or taken as a velocity (a connection table's velocity columns are
// not divided by the area).
enum class ColumnUse { skip, take, take_velocity };

// One column of a table: its heading name's span, then its value window.
struct Column {
  int first = 0, last = 0;
  ColumnUse use = ColumnUse::take;
};

// What a table's lines tell, for the warnings at its end.
struct TableWitness {
  long long heading_line = 0;
  bool named_element = false;  // a row named an element (both, in a connection table)
  bool first_row_seen = false;
  char first_names[2][heading_columns + 1] = {};
  int first_lengths[2] = {0, 0};
  // Rows passed over whose names are not blank and whose values are
  // numbers: rows of elements the mesh lacks; the first one's missing name.
  long long unknown_rows = 0;
  long long first_unknown_line = 0;
  char first_unknown[heading_columns + 1] = {};
  int first_unknown_length = 0;
};

// Where a table's column names come from: the heading's words after the
// index word, runs of words one blank apart, or the heading's text over
// each value of the first row.
enum class ColumnNames { words, pairs, values };

struct Table {
  bool connection = false;
  Word name1, name2;   // name fields of the rows
  Word index;          // the heading's index word
  // The heading's words after the index word; column names are these, or
  // pairs of them one blank apart (joined), or the heading's text over
  // the first row's values.
  Word words[max_words];
  int word_count = 0;
  ColumnNames names = ColumnNames::words;
  // More words than columns may have: the first row tells whether pairs
  // of them, or the values, are the columns; none are laid out till then.
  bool deferred = false;
  int column_count = 0;
  Column col[most_columns + 2];  // 1..column_count, and a sentinel after them
  int taken = 0;                // columns not skipped
  int slots_before = 0;         // the table's values go to the slots after these,
  int block = 0;                // in this block of the printout's
  int header_before = 0, arrays_before = 0;  // the printout's names as they stood before the table
  bool fixed = false;
  int last_element = 0;            // found by the last element row
  int next_connection = 0;         // the connection after the one the last connection row found
  // The taken columns' windows, for rows whose values all stand in the
  // shape nearly every table prints them in.
  field_shape::TwelveColumnRow shape;
  TableWitness witness;
  std::string_view exceeded;  // the limit the columns from the first row's values exceed
};

// Element-table column name: the word with a "(" in its second place and
// its last character dropped ('X(WAT1)' -> 'XWAT1'), at most 5 characters.
int shape_element_name(std::string_view word, char* out) {
  int n = static_cast<int>(word.size()) + 1;
  int len = 0;
  if (word.size() >= 2 && word[1] == '(') {
    out[len++] = word[0];
    for (std::size_t i = 2; i < word.size(); ++i) out[len++] = word[i];
    n -= 2;
  } else {
    for (char ch : word) out[len++] = ch;
  }
  n = std::min(n, 6);
  return n - 1;
}

// Connection-table column name: a "(" in the fourth place takes the
// second to fourth characters out ('FLO(GAS)' -> 'FGAS)'), and then, for a
// name still longer than 5, a ")" in the fifth place takes the third to
// fifth out; at most 4 characters stay.
int shape_connection_name(std::string_view word, char* out) {
  int n = static_cast<int>(word.size()) + 1;
  int len = 0;
  for (char ch : word) out[len++] = ch;
  if (len >= 4 && out[3] == '(') {
    std::memmove(out + 1, out + 4, static_cast<std::size_t>(len - 4));
    len -= 3;
    n -= 3;
    if (n > 6 && out[4] == ')') {
      std::memmove(out + 2, out + 5, static_cast<std::size_t>(len - 5));
      len -= 3;
      n -= 3;
    }
  }
  n = std::min(n, 5);
  return n - 1;
}

// The limits a table may exceed: it is then left out, and with it the rest
// of the printout.
constexpr std::string_view too_many_columns = "more than 20 column names in a heading";
constexpr std::string_view too_many_names = "more than 600 characters of variable names in a plot file's header";
constexpr std::string_view too_many_values = "more than 120 values per element and printout";

// Adds the array of a column (the t.taken-th taken column of the table)
// under its shaped name; the limit it would exceed, or nothing. Its names take the
// zone format's header line " NAME" for an element-table column and
// " NAMEx NAMEy" (a letter per coordinate) for a connection-table column.
// A name of two words is shaped as one word, without the blank. An
// element-table column's array also keeps its name as the heading prints
// it, two words with their blank ("Heat Flow"); a connection-table
// column's vector is known by its shaped name alone.
std::string_view append_array(const Table& t, std::string_view text, PrintoutData& data) {
  char word_buffer[heading_columns + 1];
  std::size_t word_length = 0;
  for (char ch : text)
    if (ch != ' ') word_buffer[word_length++] = ch;
  const std::string_view word(word_buffer, word_length);

  char shaped[heading_columns + 1];
  const int components = t.connection ? data.coordinate_count : 1;
  const int first_slot = data.slot_count + (t.taken - 1) * components + 1;
  int len = t.connection ? shape_connection_name(word, shaped) : shape_element_name(word, shaped);
  if (len == 0) {
    // A word that shapes to nothing ("X(") is named by its place among the
    // variables, so that the header names every value of a point.
    std::string name = std::to_string(data.coordinate_count + first_slot);
    name.insert(name.begin(), 'V');
    name.copy(shaped, name.size());
    len = static_cast<int>(name.size());
  }
  const int header_added = t.connection ? components * (len + 2) : len + 1;
  if (data.header_length + header_added > data.capacity.header) return too_many_names;
  if (!data.add_array(std::string_view(shaped, static_cast<std::size_t>(len)), first_slot, components,
                      t.connection ? std::string_view() : text))
    return too_many_values;
  data.header_length += header_added;
  return {};
}

// The column names: the heading's words after the index word, or, joined,
// each run of words one blank apart taken as one name.
int join_words(const Table& t, bool joined, Word* names) {
  int n = 0;
  for (int i = 0; i < t.word_count; ++i) {
    if (joined && n > 0 && t.words[i].first == names[n - 1].last + 2) names[n - 1].last = t.words[i].last;
    else names[n++] = t.words[i];
  }
  return n;
}

// Whether a column's whole name, in lower case, names a velocity: it
// begins with "vel" ("VEL(GAS)") or "v(" ("V(GAS)"), or holds "veloc"
// ("Gas Veloc", "Gas velocity").
bool is_velocity_name(std::string_view lower) {
  return lower.starts_with("vel") || lower.starts_with("v(") || lower.find("veloc") != std::string_view::npos;
}

// Whether the wanted-column list takes a column of this name (lower case):
// the name framed by a blank on each side must stand on it.
bool is_wanted(const WantedList& wanted, std::string_view lower) {
  char framed[heading_columns + 2];
  framed[0] = ' ';
  lower.copy(framed + 1, lower.size());
  framed[lower.size() + 1] = ' ';
  return wanted.wants(std::string_view(framed, lower.size() + 2));
}

// Lays out the table's columns from the names given (spans of the heading
// line; a span of no column, last < first, names a column of no name), adds
// their arrays to the printout and their slots (zero for every element).
// When they do not fit, the printout's arrays stand as before the table,
// and the limit exceeded is returned.
std::string_view plan_columns(Table& t, const Word* names, int count, ColumnNames source,
                              const Heading& heading, const TableSettings& settings, PrintoutData& data) {
  t.names = source;
  t.column_count = 0;
  t.taken = 0;
  std::string_view exceeded = count > data.capacity.columns ? too_many_columns : std::string_view();
  for (int i = 0; exceeded.empty() && i < count; ++i) {
    const Word& w = names[i];
    Column& c = t.col[++t.column_count];
    c.first = w.first;
    c.last = w.last;
    c.use = ColumnUse::take;
    const std::string_view lower = w.last < w.first ? std::string_view() : heading.lower.cols(w.first, w.last);
    // A column of no name cannot stand on the list.
    if (settings.wanted != nullptr && (lower.empty() || !is_wanted(*settings.wanted, lower))) {
      c.use = ColumnUse::skip;
      continue;
    }
    if (is_velocity_name(lower)) c.use = ColumnUse::take_velocity;
    ++t.taken;
    exceeded = append_array(t, lower.empty() ? std::string_view() : heading.text.cols(w.first, w.last), data);
  }
  // Capacity: the table is dropped whole when its slots would not fit.
  const int added = t.connection ? t.taken * data.coordinate_count : t.taken;
  if (exceeded.empty() && data.slot_count + added > data.capacity.slots) exceeded = too_many_values;
  if (!exceeded.empty()) {
    data.header_length = t.header_before;
    data.array_count = t.arrays_before;
    return exceeded;
  }
  t.slots_before = data.slot_count;
  t.block = data.add_slots(added, !t.connection);
  return {};
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The last column of a row's index: the first word at or after the
// heading's index word. Where the index runs into the first value with no
// blank between, it ends before the value's sign ("14-0.41E+06": 14), or,
// when its digits run into the value's point, before the "0" that begins an
// E-format value ("10.597704E+07": 1 and 0.597704E+07). Where the digits
// before the point tell nothing more ("121.5E+03"), the index ends under
// the heading's index word, as far as its digits reach.
//
// The "0." takes precedence over the heading: simulators write the index
// in a field that ends a column left of the word INDEX ("(1x,a5,i6,e12.6)"
// under " ELEM.  INDEX"), and a window that began under the X would drop the
// minus sign of a negative value ("-.597704E+07") in a later row.
int index_end(const Row& row, const Word& heading_index) {
  const Positions r = inspect(row.cols(heading_index.first, row_width));
  const int word_first = heading_index.first - 1 + r.first;
  const int word_last = heading_index.first - 1 + r.word_end;
  int d = word_first;
  while (d <= word_last && is_digit(row.at(d))) ++d;
  const int last_digit = d - 1;
  if (last_digit < word_first || d > word_last) return word_last;  // no digits, or the whole word
  const char next = row.at(d);
  if (next == '+' || next == '-') return last_digit;
  if (next != '.') return word_last;
  if (row.at(last_digit) == '0' && last_digit > word_first) return last_digit - 1;
  return std::clamp(heading_index.last, word_first, last_digit);
}

// A stretch of a row: a number of it, or a word that is none.
struct Span {
  int first = 0, last = 0;
};

// Splits columns first..last of a row into numbers: each blank-separated
// word is one number when it reads as one, otherwise it may be a run of
// numbers printed with no blank between them, split by their form; a word
// that is neither stays one span (to be read, and fail, as it stands).
// Returns how many spans there are.
int split_numbers(const Row& row, int first, int last, Span* spans) {
  int count = 0;
  int i = first;
  while (i <= last) {
    if (row.at(i) == ' ') {
      ++i;
      continue;
    }
    int word_last = i;
    while (word_last < last && row.at(word_last + 1) != ' ') ++word_last;
    const int before = count;
    double ignored;
    if (!read_real(row.cols(i, word_last), 0, ignored)) {
      for (int p = i; p <= word_last;) {
        const std::size_t n = glued_number_length(row.cols(p, word_last));
        if (n == 0) {
          count = before;
          break;
        }
        spans[count++] = {p, p + static_cast<int>(n) - 1};
        p += static_cast<int>(n);
      }
    }
    if (count == before) spans[count++] = {i, word_last};
    i = word_last + 1;
  }
  return count;
}

// The last non-blank column of a row from column `from` on (from - 1 when
// there is none).
int row_end_from(const Row& row, int from) {
  const Positions r = inspect(row.cols(from, row_width));
  return row.at(from - 1 + r.last) == ' ' ? from - 1 : from - 1 + r.last;
}

// Whether a text holds one number or more and nothing else, each word a
// number or numbers glued together: the index and the values of a row.
// Other lines fail at their first word that is none.
bool holds_numbers(std::string_view text) {
  bool any = false;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    const std::size_t end = std::min(text.find(' ', i), text.size());
    const std::string_view word = text.substr(i, end - i);
    double ignored;
    if (!read_real(word, 0, ignored)) {
      for (std::size_t p = 0; p < word.size();) {
        const std::size_t n = glued_number_length(word.substr(p));
        if (n == 0) return false;
        p += n;
      }
    }
    any = true;
    i = end;
  }
  return any;
}
// The same for a row from column `from` on.
bool holds_numbers(const Row& row, int from) {
  return from <= row_width && holds_numbers(row.cols(from, std::max(from, row_end_from(row, from))));
}

// The value windows of today's heading names (the columns' spans): each
// column's window ends where the first number after the previous window
// ends, searching no further than the end of the next column's name.
void place_windows(Table& t, const Row& row, int p, int row_end, const bool* glued_end) {
  Column* col = t.col;
  const int n = t.column_count;
  if (col[n].last < row_end) col[n].last = row_end;
  col[n + 1].first = col[n + 1].last = row_end + 1;
  for (int k = 1; k <= n; ++k) {
    const int end = col[k + 1].last;
    int e = p + 1;  // a blank or empty stretch: the single column p+1
    int f = p + 1;
    while (f <= end && row.at(f) == ' ') ++f;
    if (f <= end) {
      e = f;
      while (e < end && row.at(e + 1) != ' ' && !glued_end[e]) ++e;
    }
    col[k].last = e;
    col[k].first = e - p > 40 ? e - 39 : p + 1;
    p = e;
  }
}

// Whether a stretch of a text is blank (a text of `width` columns, blank
// beyond).
template <class Text>
bool blank_between(const Text& text, int first, int last, int width) {
  last = std::min(last, width);
  return first > last || text.cols(first, last).find_first_not_of(' ') == std::string_view::npos;
}

// Whether the windows placed from the heading's names read the first row
// as it stands: no window cuts a number or holds two, a window that holds
// none has a name over blanks, and a number that no window holds has no
// heading text over it.
bool windows_hold_numbers(const Table& t, const Row& row, const Heading& heading, const Word* names,
                          const Span* numbers, int count) {
  int held = 0;  // the numbers before this window's
  for (int k = 1; k <= t.column_count; ++k) {
    const Column& c = t.col[k];
    int inside = 0;
    while (held < count && numbers[held].last < c.first) {
      if (!blank_between(heading.text, numbers[held].first, numbers[held].last, heading_columns)) return false;
      ++held;
    }
    for (; held < count && numbers[held].first <= c.last; ++held) {
      if (numbers[held].first < c.first || numbers[held].last > c.last) return false;
      ++inside;
    }
    if (inside > 1) return false;
    if (inside == 0 && !blank_between(row, names[k - 1].first, names[k - 1].last, row_width)) return false;
  }
  for (; held < count; ++held)
    if (!blank_between(heading.text, numbers[held].first, numbers[held].last, heading_columns)) return false;
  return true;
}

// The names of columns fixed by the first row's values: for each value,
// the heading's text from just after the window before (after the index
// word, for the first) to the value's end, or to the heading's end for the
// last, without the blanks around it. A heading word that runs on past a
// value's end ("Liquid mass flow" one column past its value) stays whole
// in that value's name.
void names_over_values(const Table& t, const Heading& heading, int index_end, const Span* numbers, int count,
                       Word* names) {
  int from = std::max(index_end, t.index.last) + 1;
  for (int k = 0; k < count; ++k) {
    int end = std::min(k + 1 == count ? std::max(numbers[k].last, heading.pos.last) : numbers[k].last, heading_columns);
    while (end >= from && end < heading_columns && heading.text.at(end) != ' ' && heading.text.at(end + 1) != ' ') ++end;
    int first = from, last = end;
    while (first <= last && heading.text.at(first) == ' ') ++first;
    while (last >= first && heading.text.at(last) == ' ') --last;
    names[k] = first <= last ? Word{first, last} : Word{from, from - 1};
    from = std::max(end, numbers[k].last) + 1;
  }
}

// Fixes the value windows from the table's first accepted row, under the
// heading's names (place_windows), or, where those cannot be the row's
// columns, from the row's values. False when columns so laid out exceed a
// limit (t.exceeded): the table is then left out.
// (Once a table: kept out of the row readers, whose frames stay small.)
[[gnu::cold, gnu::noinline]] bool fix_windows(Table& t, const Row& row, const Heading& heading,
                                              const TableSettings& settings, PrintoutData& data) {
  const Positions r = inspect(row.cols(t.index.first, row_width));
  const int row_end = t.index.first - 1 + r.last;  // the row's last non-blank column
  const int index_last = index_end(row, t.index);
  Span numbers[row_width];
  const int count = split_numbers(row, index_last + 1, row_end, numbers);
  bool glued_end[row_width + 2] = {};
  for (int j = 0; j + 1 < count; ++j)
    if (numbers[j].last + 1 == numbers[j + 1].first) glued_end[numbers[j].last] = true;

  const auto replan = [&](const Word* names, int n, ColumnNames source) {
    // No value is stored yet: the names and the slots are laid out anew.
    data.drop_slots_after(t.slots_before);
    data.header_length = t.header_before;
    data.array_count = t.arrays_before;
    t.exceeded = plan_columns(t, names, n, source, heading, settings, data);
    return t.exceeded.empty();
  };

  // Names of two words: one column per pair when that matches the row.
  bool from_values = false;
  Word names[most_columns];
  if (t.deferred) {
    t.deferred = false;
    if (join_words(t, true, names) != count || !replan(names, count, ColumnNames::pairs)) from_values = true;
  } else if (count < t.column_count && t.names == ColumnNames::words) {
    if (join_words(t, true, names) == count) replan(names, count, ColumnNames::pairs);  // fewer: always fits
  }

  if (!from_values) {
    for (int k = 1; k <= t.column_count; ++k) names[k - 1] = {t.col[k].first, t.col[k].last};
    place_windows(t, row, index_last, row_end, glued_end);
    from_values = count != t.column_count && count > 0 && !windows_hold_numbers(t, row, heading, names, numbers, count);
  }
  if (from_values) {
    // Each value of the row is a column, named by the heading's text over
    // it; more values than columns may have leave the table out.
    names_over_values(t, heading, index_last, numbers, count, names);
    if (!replan(names, count, ColumnNames::values)) return false;
    int p = index_last;
    for (int k = 1; k <= count; ++k) {
      const int e = numbers[k - 1].last;
      t.col[k].last = e;
      t.col[k].first = e - p > 40 ? e - 39 : p + 1;
      p = e;
    }
  }

  t.shape.start(Row::width + Row::slack);
  for (int k = 1; k <= t.column_count; ++k)
    if (t.col[k].use != ColumnUse::skip)
      t.shape.add(static_cast<std::size_t>(t.col[k].first), static_cast<std::size_t>(t.col[k].last));
  t.shape.finish(row.cols(1, 1).data());
  t.fixed = true;
  return true;
}

[[noreturn, gnu::cold, gnu::noinline]] void cell_failure(const Row& row, const Column& c, const LineReader& in) {
  fail(failure::conversion, in.source(), routine,
       "line " + std::to_string(in.line_number()) + ", columns " + std::to_string(c.first) + "-" +
           std::to_string(c.last) + ": \"" + std::string(row.cols(c.first, c.last)) + "\" is not a number");
}

// The cell of the table's taken column `field` (from 0), whose window is
// c, in a row whose values all stand in the shape the table's rows are
// checked for (shaped), or in any other row. A connection-table cell is
// computed with; an element-table cell is only written, and a short decimal
// keeps its digits.
template <bool written>
[[gnu::always_inline]] inline double cell(const Table& t, bool shaped, int field, const Row& row, const Column& c,
                                          const LineReader& in) {
  double value;
  if (field_shape::TwelveColumns columns; shaped) {
    t.shape.take(row.cols(1, 1).data(), field, columns);
    if (written ? twelve_columns_short(columns, value) : twelve_columns_binary(columns, value)) return value;
  }
  const std::string_view text = row.cols(c.first, c.last);
  if (!(written ? read_table_value(text, value) : read_table_cell(text, value))) cell_failure(row, c, in);
  return value;
}

// Hands a row's taken cells, as written, to take in turn; false as soon as
// take does.
template <class Take>
bool take_cells(const Table& t, bool shaped, const Row& row, const LineReader& in, Take&& take) {
  int field = 0;
  for (int k = 1; k <= t.column_count; ++k) {
    if (t.col[k].use == ColumnUse::skip) continue;
    if (!take(cell<true>(t, shaped, field++, row, t.col[k], in))) return false;
  }
  return true;
}

std::string where(long printout, long long line) {
  return "printout " + std::to_string(printout) + ", line " + std::to_string(line);
}

// Keeps the names of the table's first row, for the warning when no row
// names an element: the first line whose name field is neither blank nor a
// rule of underscores, dashes or equals signs.
void witness_row(TableWitness& w, const Table& t, const Row& row) {
  if (w.first_row_seen) return;
  const std::string_view name = row.cols(t.name1.first, t.name1.last);
  if (name.find_first_not_of(" _-=") == std::string_view::npos) return;
  w.first_row_seen = true;
  const Word* fields[2] = {&t.name1, &t.name2};
  for (int i = 0; i < (t.connection ? 2 : 1); ++i) {
    const std::string_view text = row.cols(fields[i]->first, fields[i]->last);
    text.copy(w.first_names[i], text.size());
    w.first_lengths[i] = static_cast<int>(text.size());
  }
}

// The element a row names in a name field moved by up to two columns
// either way, nearest first and left before right (the field itself was
// tried), with the move; 0 when there is none. Alone: only a name with a
// blank (or the line's start) before it and a blank after its 5 characters.
int find_moved(const Mesh& mesh, const Row& row, const Word& field, bool alone, int& move) {
  for (const int m : {-1, 1, -2, 2}) {
    const int first = field.first + m;
    if (first < 1) continue;
    if (alone && ((first > 1 && row.at(first - 1) != ' ') || row.at(first + 5) != ' ')) continue;
    if (const int e = find_element(mesh.name_index, row.cols(first, field.last + m), mesh.elements.located)) {
      move = m;
      return e;
    }
  }
  return 0;
}

// Before the windows are fixed: the element of a row whose name stands off
// the heading's name word, when the row's values are numbers; its name
// field is the table's from then on. 0 when there is none.
[[gnu::cold, gnu::noinline]] int element_name_moved(Table& t, const Row& row, const Mesh& mesh) {
  int m = 0;
  const int e = find_moved(mesh, row, t.name1, true, m);
  if (e == 0 || !holds_numbers(row, t.name1.first + m + 5)) return 0;
  t.name1.shift(m);
  return e;
}

// Before the windows are fixed: the elements of a connection row whose
// names stand off the heading's name words (each on its own; a name found
// in its field stays), when the row's values are numbers and the mesh
// joins the two elements (either way round); the name fields are the
// table's from then on. False when there are none.
[[gnu::cold, gnu::noinline]] bool connection_names_moved(Table& t, const Row& row, const Mesh& mesh, int& e1,
                                                         int& e2) {
  int m1 = 0, m2 = 0;
  const int f1 = e1 != 0 ? e1 : find_moved(mesh, row, t.name1, false, m1);
  if (f1 == 0) return false;
  const int f2 = e2 != 0 ? e2 : find_moved(mesh, row, t.name2, false, m2);
  if (f2 == 0 || !holds_numbers(row, t.name2.last + m2 + 1)) return false;
  if (find_connection(mesh, f1, f2) == 0 && find_connection(mesh, f2, f1) == 0) return false;
  t.name1.shift(m1);
  t.name2.shift(m2);
  e1 = f1;
  e2 = f2;
  return true;
}

// Reads an element-table row; false when it names no element of the mesh
// and is passed over.
bool element_row(Table& t, const Row& row, const Heading& heading, const TableSettings& settings,
                 const LineReader& in, const Mesh& mesh, PrintoutData& data) {
  int e = find_element_from(mesh, row.cols(t.name1.first, t.name1.last), mesh.elements.located,
                            t.last_element + 1);
  if (e == 0 && (t.fixed || (e = element_name_moved(t, row, mesh)) == 0)) return false;
  t.last_element = e;
  if (!t.fixed && !fix_windows(t, row, heading, settings, data)) return false;
  PrintoutData::SlotBlock& block = data.blocks[static_cast<std::size_t>(t.block)];
  const bool shaped = t.shape.matches(row.cols(1, 1).data());
  if (block.compact) {
    CompactValue* codes = block.code_row(e);
    if (shaped && t.shape.take_all_compact(row.cols(1, 1).data(), codes)) return true;
    if (take_cells(t, shaped, row, in, [&](double v) { return compact_code(v, *codes++); })) return true;
    block.widen();  // a value without a code: the row is read again into doubles
  }
  double* values = block.row(e);
  if (shaped && t.shape.take_all_short(row.cols(1, 1).data(), values)) return true;
  return take_cells(t, shaped, row, in, [&](double v) {
    *values++ = v;
    return true;
  });
}

// A connection row names two elements the mesh does not connect in that
// order (a connection joins its first element to its second).
[[noreturn, gnu::cold, gnu::noinline]] void no_connection(const Mesh& mesh, int first, int second,
                                                          const LineReader& in, long printout) {
  const auto name = [&](int e) { return std::string(mesh.elements.names[static_cast<std::size_t>(e)].data(), 5); };
  std::string context = "printout " + std::to_string(printout) + ", line " + std::to_string(in.line_number()) +
                        ": the mesh has no connection from \"" + name(first) + "\" to \"" + name(second) + "\"";
  if (find_connection(mesh, second, first) != 0) context += " (it lists them the other way round)";
  stop("no connection", std::move(context));
}

// The names of a connection row, as the warnings quote them: "A1  1" "A1  2".
std::string quoted_names(const Table& t, const Row& row) {
  return '"' + std::string(row.cols(t.name1.first, t.name1.last)) + "\" \"" +
         std::string(row.cols(t.name2.first, t.name2.last)) + '"';
}

// A connection row's contribution to the table's taken column number
// `taken` (from 0) would take the sum at one of its ends (0: the first
// element, 1: the second) past the largest number.
[[gnu::cold, gnu::noinline]] void warn_sum_overflow(const Table& t, const Row& row, const LineReader& in,
                                                    const PrintoutData& data, double area, int end, int taken) {
  const ValueArray& column = data.arrays[static_cast<std::size_t>(t.arrays_before + taken)];
  const Word& name = end == 0 ? t.name1 : t.name2;
  warn(where(data.number, in.line_number()) + ": the connection " + quoted_names(t, row) + " (area " +
       number_text(area) + ") would take the sum of " + std::string(column.view()) + " at element \"" +
       std::string(row.cols(name.first, name.last)) + "\" past the largest number; it is left out there");
}

// Adds a pair of values to the two slots from `slots` on, as doubles.
inline void add_to_slots(double* slots, double __attribute__((vector_size(16))) pair) {
  decltype(pair) sum;
  std::memcpy(&sum, slots, sizeof sum);
  sum += pair;
  std::memcpy(slots, &sum, sizeof sum);
}

// Reads a connection-table row; false when it does not name two elements
// of the mesh and is passed over.
bool connection_row(Table& t, const Row& row, const Heading& heading, const TableSettings& settings,
                    const LineReader& in, const Mesh& mesh, PrintoutData& data) {
  const NameIndex& index = mesh.name_index;
  const int bound = mesh.elements.located;
  // Rows in mesh order name the ends of the connection after the last one found.
  const std::array<int, 2> next_ends =
      t.next_connection != 0 ? mesh.connections.ends[static_cast<std::size_t>(t.next_connection)] : std::array{0, 0};
  int e1 = find_element_from(mesh, row.cols(t.name1.first, t.name1.last), bound, next_ends[0]);
  int e2 = find_element_from(mesh, row.cols(t.name2.first, t.name2.last), bound, next_ends[1]);
  if (!t.fixed && (e1 == 0 || e2 == 0)) {
    if (e1 == 0 && e2 == 0 && row.at(t.name1.first) == ' ' && row.at(t.name1.first + 1) == ' ') {
      // The names may stand two columns right of the heading's name words.
      const int s1 = find_element(index, row.cols(t.name1.first + 2, t.name1.last + 2), bound);
      const int s2 = find_element(index, row.cols(t.name2.first + 2, t.name2.last + 2), bound);
      if (s1 != 0 && s2 != 0) {
        t.name1.shift(2);
        t.name2.shift(2);
        e1 = s1;
        e2 = s2;
      }
    }
    if ((e1 == 0 || e2 == 0) && !connection_names_moved(t, row, mesh, e1, e2)) return false;
  }
  if (e1 == 0 || e2 == 0) return false;
  if (!t.fixed && !fix_windows(t, row, heading, settings, data)) return false;

  // Half the unit vector from the second element's centre towards the
  // first's, in the plotted coordinates.
  const auto& x1 = mesh.elements.centres[static_cast<std::size_t>(e1)];
  const auto& x2 = mesh.elements.centres[static_cast<std::size_t>(e2)];
  const double dx = x1[0] - x2[0], dy = x1[1] - x2[1], dz = x1[2] - x2[2];
  const int coordinates = data.coordinate_count;
  double d2 = dx * dx + dy * dy;
  if (coordinates == 3) d2 += dz * dz;
  if (d2 <= 0) return true;  // centres coincide in the plotted coordinates
  // The mesh must list the pair in this order.
  const int c = find_connection_from(mesh, e1, e2, t.next_connection);
  if (c == 0) no_connection(mesh, e1, e2, in, data.number);
  if (c < mesh.connections.count) t.next_connection = c + 1;
  // The first two coordinates go as a pair through one instruction each:
  // every lane is the same IEEE operation as on its own, so the sums come
  // out as they would one coordinate at a time.
  using Pair = double __attribute__((vector_size(16)));
  const double twice_distance = 2 * std::sqrt(d2);
  const Pair f01 = Pair{dx, dy} / twice_distance;
  const bool third = coordinates == 3;
  const double f2 = third ? dz / twice_distance : 0.0;
  const double area = mesh.connections.areas[static_cast<std::size_t>(c)];

  PrintoutData::SlotBlock& block = data.blocks[static_cast<std::size_t>(t.block)];
  const bool shaped = t.shape.matches(row.cols(1, 1).data());
  // A row of the shape whose values scale exactly (below 10^29 then),
  // through a connection of an area of at least 10^-200 between centres at
  // a finite distance (the coordinates' factors below 1): each of its
  // contributions is below 10^229, far less than half the spacing of the
  // doubles next to the largest (2^970), and so leaves a finite sum finite.
  // The row is added as the adding column by column below adds it, with no
  // test.
  if (double w[field_shape::TwelveColumnRow::max_fields];
      shaped && std::abs(area) >= 1e-200 && d2 < HUGE_VAL && t.shape.take_all_binary(row.cols(1, 1).data(), w)) {
    const double divisors[2] = {area, 1.0};  // a velocity's 1 changes no value
    double* first = block.row(e1);
    double* second = block.row(e2);
    const double* v = w;
    for (const Column* c = t.col + 1; c != t.col + t.column_count + 1; ++c) {
      if (c->use == ColumnUse::skip) continue;
      const double divisor = divisors[c->use == ColumnUse::take_velocity];
      const Pair add01 = f01 * *v / divisor;
      add_to_slots(first, add01);
      add_to_slots(second, add01);
      if (third) {
        const double add2 = f2 * *v / divisor;
        first[2] += add2;
        second[2] += add2;
      }
      ++v;
      first += coordinates;
      second += coordinates;
    }
    return true;
  }
  int s = 0;  // the column's first slot in the block
  int field = 0;
  bool left_out = false;
  for (int k = 1; k <= t.column_count; ++k) {
    const ColumnUse use = t.col[k].use;
    if (use == ColumnUse::skip) continue;
    const double w = cell<false>(t, shaped, field++, row, t.col[k], in);
    // A connection of area 0 gives flows no velocity: rather than an
    // infinity or NaN spreading into the plot, it adds nothing; nor does a
    // contribution that comes out infinite or not a number otherwise (a
    // tiny area, huge coordinates), with a warning.
    const bool velocity = use == ColumnUse::take_velocity;
    if (velocity || area != 0) {
      // A velocity's divisor is 1, and a division by 1 changes no value:
      // it is left out.
      const Pair add01 = velocity ? f01 * w : f01 * w / area;
      const double add2 = !third ? 0.0 : velocity ? f2 * w : f2 * w / area;
      // The sums at both ends. Those before are finite: a sum comes out
      // infinite or not a number only where the contribution is, or
      // where it passes the largest number (then the contribution is left
      // out at that end). x - x is 0 for a finite x, else not a number, and
      // one test serves all the sums.
      double* const first = block.row(e1) + s;
      double* const second = block.row(e2) + s;
      Pair sum1, sum2;
      std::memcpy(&sum1, first, sizeof sum1);
      std::memcpy(&sum2, second, sizeof sum2);
      sum1 += add01;
      sum2 += add01;
      const double sum1_z = third ? first[2] + add2 : 0.0, sum2_z = third ? second[2] + add2 : 0.0;
      const Pair test = (sum1 - sum1) + (sum2 - sum2);
      if (test[0] + test[1] + ((sum1_z - sum1_z) + (sum2_z - sum2_z)) == 0) [[likely]] {
        std::memcpy(first, &sum1, sizeof sum1);
        std::memcpy(second, &sum2, sizeof sum2);
        if (third) {
          first[2] = sum1_z;
          second[2] = sum2_z;
        }
      } else if (!std::isfinite(add01[0]) || !std::isfinite(add01[1]) || !std::isfinite(add2)) {
        left_out = true;
      } else {
        const auto keep_finite = [&](int end, double* values, const Pair& sum, double sum_z) {
          if (!std::isfinite(sum[0]) || !std::isfinite(sum[1]) || !std::isfinite(sum_z))
            return warn_sum_overflow(t, row, in, data, area, end, field - 1);
          std::memcpy(values, &sum, sizeof sum);
          if (third) values[2] = sum_z;
        };
        keep_finite(0, first, sum1, sum1_z);
        keep_finite(1, second, sum2, sum2_z);
      }
    }
    s += coordinates;
  }
  if (left_out) {
    warn(where(data.number, in.line_number()) + ": the connection " + quoted_names(t, row) + " (area " +
         number_text(area) + ") gives a value that is not a finite number; it is left out");
  }
  return true;
}

// Counts a row passed over that is a row of the table all the same: its
// name fields are not blank and its values are numbers, so that it names
// an element (or two) the mesh lacks. Keeps the first one's missing name.
void witness_unknown_row(TableWitness& w, const Table& t, const Row& row, std::string_view record, const Mesh& mesh,
                         long long line) {
  const Word& last_field = t.connection ? t.name2 : t.name1;
  const std::size_t values = static_cast<std::size_t>(last_field.last);
  if (values >= record.size() || blank_between(row, t.name1.first, t.name1.last, row_width) ||
      blank_between(row, last_field.first, last_field.last, row_width) || !holds_numbers(record.substr(values)))
    return;
  if (w.unknown_rows++ != 0) return;
  const Word& missing =
      t.connection && find_element(mesh.name_index, row.cols(t.name1.first, t.name1.last), mesh.elements.located) != 0
          ? t.name2
          : t.name1;
  const std::string_view name = row.cols(missing.first, missing.last);
  name.copy(w.first_unknown, name.size());
  w.first_unknown_length = static_cast<int>(name.size());
  w.first_unknown_line = line;
}

// At the end of a table that adds values: a warning when none of its rows
// named an element of the mesh, so that its columns hold zeros; or else
// when some rows name elements the mesh lacks.
void warn_if_nothing_matched(const Table& t, long printout) {
  const TableWitness& w = t.witness;
  if (t.taken == 0) return;
  if (w.named_element) {
    if (w.unknown_rows == 0) return;
    const bool one = w.unknown_rows == 1;
    warn(where(printout, w.heading_line) + ": " + std::to_string(w.unknown_rows) + (one ? " row" : " rows") +
         " of this table " + (one ? "names an element" : "name elements") + " that the mesh lacks (first: \"" +
         std::string(w.first_unknown, static_cast<std::size_t>(w.first_unknown_length)) + "\", line " +
         std::to_string(w.first_unknown_line) + "); " + (one ? "it is" : "they are") + " passed over");
    return;
  }
  std::string message = where(printout, w.heading_line) + ": no row of this table names " +
                        (t.connection ? "two elements" : "an element") + " of the mesh";
  if (w.first_row_seen) {
    message += " (first row: ";
    for (int i = 0; i < (t.connection ? 2 : 1); ++i) {
      if (i > 0) message += ' ';
      message += '"' + std::string(w.first_names[i], static_cast<std::size_t>(w.first_lengths[i])) + '"';
    }
    message += ')';
  }
  message += "; its columns hold zeros";
  warn(message);
}

}  // namespace

void ScanLine::assign(std::string_view record) {
  this->record = record;
  text.assign(record);
  printed_first = record.empty() ? ' ' : record[0];
  text.set(1, ' ');
  pos = inspect(text.view(), lower.write_all(), line_width);
}

WantedList::WantedList(std::string_view first_line) {
  FixedText<list_line_width> line;
  line.assign(first_line);
  char* text = text_.write_all();
  text[0] = ' ';
  std::memcpy(text + 1, line.view().data(), list_line_width);
  inspect(text_.view(), text, text_.width);
}

bool ScanLine::heads_from_column1() const { return table_kind(*this, true) != TableKind::none; }

TableKind table_kind(const ScanLine& line, bool letter_lines) {
  const TableKind kind = classify(line.lower, line.pos, letter_lines).kind;
  if (kind != TableKind::none || !line.begins_in_column1()) return kind;
  ScanLine printed;
  assign_printed(printed, line);
  return classify(printed.lower, printed.pos, letter_lines).kind;
}

TableOutcome read_table(LineReader& in, ScanLine& line, const TableSettings& settings, const Mesh& mesh,
                        PrintoutData& data) {
  HeadingWords h = classify(line.lower, line.pos, settings.letter_lines);
  // A heading whose first word begins in column 1 is read as printed.
  const ScanLine* heading = &line;
  ScanLine printed;
  if (h.kind == TableKind::none && line.begins_in_column1()) {
    assign_printed(printed, line);
    const HeadingWords from_column1 = classify(printed.lower, printed.pos, settings.letter_lines);
    if (from_column1.kind != TableKind::none) {
      h = from_column1;
      heading = &printed;
    }
  }
  // A heading line met while no slot is in use starts the printout's names
  // afresh, whatever the line turns out to head (when its first word
  // begins with "elem" after column 1); the letter case of the coordinates
  // follows its first character.
  if (data.slot_count == 0 &&
      (heading != &line || heading->lower.cols(heading->pos.first, heading->pos.first + 3) == "elem"))
    data.start(settings.projection, heading->text.at(heading->pos.first) == 'E');
  if (h.kind == TableKind::none) return TableOutcome::not_a_table;

  // The table is laid out from the whole heading line, as far as its rows.
  const Heading wide(line.record, heading == &printed);
  h = classify(wide.lower, wide.pos, settings.letter_lines);
  if (h.kind == TableKind::none) return TableOutcome::not_a_table;
  Table t;
  t.name1 = name_field(h.first);
  t.index = h.index;
  if (h.kind == TableKind::connection) {
    t.connection = true;
    t.name2 = name_field(h.second);
  }
  t.witness.heading_line = in.line_number();

  // Column list.
  for (Word w = next_word(wide.lower, t.index.last, wide.pos.last); w.found() && t.word_count < max_words;
       w = next_word(wide.lower, w.last, wide.pos.last))
    t.words[t.word_count++] = w;
  t.header_before = data.header_length;
  t.arrays_before = data.array_count;
  const auto left_out = [&](std::string_view exceeded) {
    warn(where(data.number, t.witness.heading_line) + ": the table is left out, with the rest of the printout: " +
         std::string(exceeded));
    return TableOutcome::overflow;
  };
  t.deferred = t.word_count > data.capacity.columns;
  t.slots_before = data.slot_count;
  if (const std::string_view exceeded =
          t.deferred ? std::string_view()
                     : plan_columns(t, t.words, t.word_count, ColumnNames::words, wide, settings, data);
      !exceeded.empty())
    return left_out(exceeded);
  // A table of more words than columns that no row lays out: left out as
  // a heading of too many names is.
  const auto ended = [&](TableOutcome outcome) {
    if (t.deferred) return left_out(too_many_columns);
    warn_if_nothing_matched(t, data.number);
    return outcome;
  };

  // The end of the file inside the table: after the last line read, or in
  // it, when that line has no line end (cut), and none of it was read.
  const auto file_ended = [&](bool in_cut_line) {
    const long long last_line = in.line_number();
    if (t.deferred) return left_out(too_many_columns);
    const std::string ends = "the file ends after line " + std::to_string(last_line) +
                             (in_cut_line ? ", which has no line end" : "") + ", inside the table headed at line " +
                             std::to_string(t.witness.heading_line);
    const std::string_view rows = in_cut_line ? "the rows before it" : "the rows read";
    if (!settings.partial) {
      // A row read has no end branch: the end of the file here is
      // failure 24, met in this routine.
      fail(failure::end_of_file, in.source(), routine,
           ends + " (-partial writes such a printout from " + std::string(rows) + ")");
    }
    warn_if_nothing_matched(t, data.number);
    warn("printout " + std::to_string(data.number) + ": " + ends + "; the printout is written from " +
         std::string(rows));
    return TableOutcome::end_of_file;
  };

  // Rows, up to the terminator line.
  Row row;
  for (;;) {
    std::string_view record;
    if (!in.next(record)) return file_ended(false);
    row.assign(record);
    if (is_terminator(record)) return ended(TableOutcome::read);
    // A last line without its line end may have lost the end of a value
    // ("0.10300E+06" cut to "0.10300E+0" reads as 0.103): it ends the table
    // as a terminator or header line would, but no row of it is read.
    const bool cut_line = in.last_record_unended();
    if (!cut_line && (t.column_count != 0 || t.deferred) &&
        (t.connection ? connection_row(t, row, wide, settings, in, mesh, data)
                      : element_row(t, row, wide, settings, in, mesh, data))) {
      t.witness.named_element = true;
      continue;
    }
    // A row passed over (a table without columns adds nothing): a unit
    // line, a page break, or a header line that ends a table printed
    // without its terminator.
    if (!t.exceeded.empty()) return left_out(t.exceeded);
    if (is_header_record(record)) {
      if (t.deferred) {
        line.assign(record);
        return left_out(too_many_columns);
      }
      warn_if_nothing_matched(t, data.number);
      warn(where(data.number, in.line_number()) + ": a header line ends the table headed at line " +
           std::to_string(t.witness.heading_line) + ", which has no terminator line");
      line.assign(record);
      return TableOutcome::header;
    }
    if (settings.letter_lines && is_letter_line(record)) return ended(TableOutcome::read);
    if (cut_line) return file_ended(true);
    witness_row(t.witness, t, row);
    if (t.column_count != 0) witness_unknown_row(t.witness, t, row, record, mesh, in.line_number());
  }
}

}  // namespace pz
