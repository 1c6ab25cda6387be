#include "extract/tables.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "records/failure.hpp"

namespace pz {

namespace {

constexpr int max_columns = 20;  // column names per heading line
constexpr std::string_view routine = "read_table";

// A row as read: its first 240 columns, blank-padded, and blanks beyond so
// that value windows reaching past column 240 read as blank.
struct Row {
  char c[LowerLine::length + 80];
  Row() { std::memset(c, ' ', sizeof c); }
  void assign(std::string_view record) {
    const std::size_t n = std::min(record.size(), LowerLine::length);
    if (n != 0) std::memcpy(c, record.data(), n);
    std::memset(c + n, ' ', LowerLine::length - n);
  }
  char at(int col) const { return c[col - 1]; }
  std::string_view cols(int first, int last) const {
    return std::string_view(c + first - 1, static_cast<std::size_t>(last - first + 1));
  }
  bool terminator() const { return std::memcmp(c + 1, "@@@@@@@@@@@@@@@@@@@@", 20) == 0; }
};

struct Word {
  int first = 0, last = 0;
  bool found() const { return first != 0; }
  int length() const { return last - first + 1; }
};

// The next word of LC after column `after`, up to column `last`.
Word next_word(const LowerLine& LC, int after, int last) {
  if (after + 1 > last) return {};
  const Positions p = inspect(LC.cols(after + 1, last));
  const int first = after + p.IFIRST;
  if (LC.at(first) == ' ') return {};
  return {first, after + p.IWORD};
}

bool word_is(const LowerLine& LC, const Word& w, std::string_view text) {
  return w.found() && LC.cols(w.first, w.last) == text;
}

bool is_index_word(const LowerLine& LC, const Word& w) {
  return word_is(LC, w, "index") || word_is(LC, w, "ind.") || word_is(LC, w, "ind");
}

// The columns of a row's element name under a heading word: the word's own,
// and never fewer than the 5 characters of a name.
Word name_field(const Word& heading_word) {
  return {heading_word.first, std::max(heading_word.last, heading_word.first + 4)};
}

// One column of a table: its heading name's span, then its value window.
struct Column {
  int C1 = 0, CL = 0;
  int UV = 1;  // 1 take, -1 take as a velocity column, 0 skip
};

// What a table's first lines tell, for the warnings at its end.
struct TableWitness {
  long long heading_line = 0;
  bool named_element = false;  // a row named an element (both, in a connection table)
  bool first_row_seen = false;
  char first_names[2][LowerLine::length + 1] = {};
  int first_lengths[2] = {0, 0};
};

struct Table {
  bool connection = false;
  Word name1, name2;   // name fields of the rows
  Word index;          // the heading's index word
  // The heading's words after the index word; column names are these, or
  // pairs of them one blank apart (joined).
  Word words[max_columns + 1];
  int word_count = 0;
  bool joined = false;
  int NCOL = 0;
  Column col[max_columns + 2];  // 1..NCOL, and the sentinel NCOL+1
  int taken = 0;
  int NOFF = 0;
  int LV1_before = 0, NARR_before = 0;  // the header as it stood before the table
  bool fixed = false;
  TableWitness witness;
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

// Appends a column's names to V1 and its array to the list (the t.taken-th
// taken column of the table); false when they would not fit. A name of two
// words is shaped as one word, without the blank.
bool append_names(const Table& t, std::string_view text, int IOPT, Values& values) {
  char word_buffer[LowerLine::length + 1];
  std::size_t word_length = 0;
  for (char ch : text)
    if (ch != ' ') word_buffer[word_length++] = ch;
  const std::string_view word(word_buffer, word_length);

  char shaped[LowerLine::length + 1];
  auto& V1 = values.V1;
  if (!t.connection) {
    const int len = shape_element_name(word, shaped);
    if (values.LV1 + 1 + len > Values::header_capacity) return false;
    if (!values.add_array(std::string_view(shaped, static_cast<std::size_t>(len)), values.NVAL + t.taken, 1))
      return false;
    V1.c[values.LV1] = ' ';
    std::memcpy(V1.c + values.LV1 + 1, shaped, static_cast<std::size_t>(len));
    values.LV1 += 1 + len;
    return true;
  }
  const int len = shape_connection_name(word, shaped);
  const std::string_view letters = coordinate_letters(IOPT);
  const int copies = static_cast<int>(letters.size());
  if (values.LV1 + copies * (len + 2) > Values::header_capacity) return false;
  if (!values.add_array(std::string_view(shaped, static_cast<std::size_t>(len)),
                        values.NVAL + (t.taken - 1) * copies + 1, copies))
    return false;
  for (int i = 0; i < copies; ++i) {
    char* p = V1.c + values.LV1;
    *p++ = ' ';
    std::memcpy(p, shaped, static_cast<std::size_t>(len));
    p[len] = letters[i];
    values.LV1 += len + 2;
  }
  return true;
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

// Lays out the table's columns from its heading names, appends their names
// to V1 and adds their slots (zero for every element). False when they do
// not fit: the header then stands as it did before the table.
bool plan_columns(Table& t, bool joined, const ScanLine& heading, const TableSettings& settings, Values& values) {
  Word names[max_columns + 1];
  const int count = join_words(t, joined, names);
  t.joined = joined;
  t.NCOL = 0;
  t.taken = 0;
  bool fits = count <= max_columns;
  for (int i = 0; fits && i < count; ++i) {
    const Word& w = names[i];
    Column& c = t.col[++t.NCOL];
    c.C1 = w.first;
    c.CL = w.last;
    c.UV = 1;
    if (settings.LWANT != 0 && !wanted(settings.WANT, heading.LC, w.first, w.last)) {
      c.UV = 0;
      continue;
    }
    if (heading.LC.cols(w.first, w.first + 2) == "vel") c.UV = -1;
    ++t.taken;
    fits = append_names(t, heading.LINE.cols(static_cast<std::size_t>(w.first), static_cast<std::size_t>(w.last)),
                        settings.IOPT, values);
  }
  // Capacity: the table is dropped whole when its slots would not fit.
  const int added = t.connection ? t.taken * values.NCOORD : t.taken;
  if (!fits || values.NVAL + added > Values::slot_capacity) {
    values.LV1 = t.LV1_before;
    values.NARR = t.NARR_before;
    return false;
  }
  t.NOFF = values.NVAL;
  values.add_slots(added);
  return true;
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
  const Positions r = inspect(row.cols(heading_index.first, static_cast<int>(LowerLine::length)));
  const int word_first = heading_index.first - 1 + r.IFIRST;
  const int word_last = heading_index.first - 1 + r.IWORD;
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

// The numbers of a word first..last that does not read as one number, when
// it is a run of numbers printed with no blank between them: their ends are
// marked in glued_end (all but the last) and their count returned. Returns
// 1, marking nothing, when the word is something else (then it stays one
// field, to be read, and fail, as it stands).
int split_glued(const Row& row, int first, int last, bool* glued_end) {
  int ends[LowerLine::length];
  int count = 0;
  for (int p = first; p <= last;) {
    const std::size_t n = glued_number_length(row.cols(p, last));
    if (n == 0) return 1;
    p += static_cast<int>(n);
    ends[count++] = p - 1;
  }
  for (int i = 0; i + 1 < count; ++i) glued_end[ends[i]] = true;
  return count;
}

// Splits columns first..last of a row into numbers: each blank-separated
// word is one number when it reads as one, otherwise it may be a run of
// glued numbers. Marks the columns after which a number ends with no blank
// following; returns how many numbers there are.
int split_numbers(const Row& row, int first, int last, bool* glued_end) {
  int count = 0;
  int i = first;
  while (i <= last) {
    if (row.at(i) == ' ') {
      ++i;
      continue;
    }
    int word_last = i;
    while (word_last < last && row.at(word_last + 1) != ' ') ++word_last;
    double ignored;
    count += read_real(row.cols(i, word_last), 0, ignored) ? 1 : split_glued(row, i, word_last, glued_end);
    i = word_last + 1;
  }
  return count;
}

// Fixes the value windows from the table's first accepted row: each
// column's window ends where the first number after the previous window
// ends, searching no further than the end of the next column's heading name.
void fix_windows(Table& t, const Row& row, const ScanLine& heading, const TableSettings& settings,
                 Values& values) {
  const Positions r = inspect(row.cols(t.index.first, static_cast<int>(LowerLine::length)));
  const int R = t.index.first - 1 + r.ILAST;
  int p = index_end(row, t.index);
  bool glued_end[LowerLine::length + 2] = {};
  const int numbers = split_numbers(row, p + 1, R, glued_end);

  // Names of two words: one column per pair when that matches the row.
  if (numbers < t.NCOL && !t.joined) {
    Word names[max_columns + 1];
    if (join_words(t, true, names) == numbers) {
      // No value is stored yet: the header and the slots are laid out anew.
      values.NVAL = t.NOFF;
      values.LV1 = t.LV1_before;
      values.NARR = t.NARR_before;
      plan_columns(t, true, heading, settings, values);  // fewer columns: always fits
    }
  }

  Column* col = t.col;
  if (col[t.NCOL].CL < R) col[t.NCOL].CL = R;
  col[t.NCOL + 1].C1 = col[t.NCOL + 1].CL = R + 1;
  for (int k = 1; k <= t.NCOL; ++k) {
    const int end = col[k + 1].CL;
    int e = p + 1;  // a blank or empty stretch: the single column p+1
    int f = p + 1;
    while (f <= end && row.at(f) == ' ') ++f;
    if (f <= end) {
      e = f;
      while (e < end && row.at(e + 1) != ' ' && !glued_end[e]) ++e;
    }
    col[k].CL = e;
    col[k].C1 = e - p > 40 ? e - 39 : p + 1;
    p = e;
  }
  t.fixed = true;
}

[[noreturn, gnu::cold, gnu::noinline]] void cell_failure(const Row& row, const Column& c, const LineReader& in) {
  fail(failure::conversion, in.source(), routine,
       "line " + std::to_string(in.line_number()) + ", columns " + std::to_string(c.C1) + "-" + std::to_string(c.CL) +
           ": \"" + std::string(row.cols(c.C1, c.CL)) + "\" is not a number");
}

[[gnu::always_inline]] inline double cell(const Row& row, const Column& c, const LineReader& in) {
  double value;
  if (!read_table_cell(row.cols(c.C1, c.CL), value)) cell_failure(row, c, in);
  return value;
}

// The connection of the mesh from e1 to e2: sought in e1's list only.
int find_connection(const Mesh& mesh, int e1, int e2) {
  int c = mesh.EC[static_cast<std::size_t>(e1)];
  while (c != 0) {
    const auto& ends = mesh.E[static_cast<std::size_t>(c)];
    if (ends[1] == e2) return c;
    c = mesh.CC[static_cast<std::size_t>(c)][ends[0] == e1 ? 0 : 1];
  }
  stop("no connection");
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

// Reads an element-table row; false when it names no element of the mesh
// and is passed over.
bool element_row(Table& t, const Row& row, const ScanLine& heading, const TableSettings& settings,
                 const LineReader& in, const Mesh& mesh, Values& values) {
  const int e = ihash(mesh.index, row.cols(t.name1.first, t.name1.last), mesh.located);
  if (e == 0) return false;
  if (!t.fixed) fix_windows(t, row, heading, settings, values);
  int j = t.NOFF;
  for (int k = 1; k <= t.NCOL; ++k) {
    if (t.col[k].UV == 0) continue;
    values.slot(++j)[e] = cell(row, t.col[k], in);
  }
  return true;
}

// Reads a connection-table row; false when it does not name two elements
// of the mesh and is passed over.
bool connection_row(Table& t, const Row& row, const ScanLine& heading, const TableSettings& settings,
                    const LineReader& in, const Mesh& mesh, Values& values) {
  const int bound = mesh.located;
  int e1 = ihash(mesh.index, row.cols(t.name1.first, t.name1.last), bound);
  int e2 = ihash(mesh.index, row.cols(t.name2.first, t.name2.last), bound);
  if (!t.fixed && e1 == 0 && e2 == 0 && row.at(t.name1.first) == ' ' && row.at(t.name1.first + 1) == ' ') {
    // The names may stand two columns right of the heading's name words.
    const int s1 = ihash(mesh.index, row.cols(t.name1.first + 2, t.name1.last + 2), bound);
    const int s2 = ihash(mesh.index, row.cols(t.name2.first + 2, t.name2.last + 2), bound);
    if (s1 == 0 || s2 == 0) return false;
    t.name1.first += 2;
    t.name1.last += 2;
    t.name2.first += 2;
    t.name2.last += 2;
    e1 = s1;
    e2 = s2;
  }
  if (e1 == 0 || e2 == 0) return false;
  if (!t.fixed) fix_windows(t, row, heading, settings, values);

  const auto& x1 = mesh.X[static_cast<std::size_t>(e1)];
  const auto& x2 = mesh.X[static_cast<std::size_t>(e2)];
  const double dx = x1[0] - x2[0], dy = x1[1] - x2[1], dz = x1[2] - x2[2];
  const int NCOORD = values.NCOORD;
  double d2 = dx * dx + dy * dy;
  if (NCOORD == 3) d2 += dz * dz;
  if (d2 <= 0) return true;  // centres coincide in the plotted coordinates
  const int c = find_connection(mesh, e1, e2);
  const double D = 2 * std::sqrt(d2);
  const double f[3] = {dx / D, dy / D, dz / D};
  const double area = mesh.A[static_cast<std::size_t>(c)];

  int s = t.NOFF;
  for (int k = 1; k <= t.NCOL; ++k) {
    const int UV = t.col[k].UV;
    if (UV == 0) continue;
    const double w = cell(row, t.col[k], in);
    // A connection of area 0 gives flows no velocity: rather than an
    // infinity or NaN spreading into the plot, it adds nothing.
    if (UV == -1 || area != 0) {
      const double divisor = UV == -1 ? 1.0 : area;
      for (int i = 0; i < NCOORD; ++i) {
        const double add = f[i] * w / divisor;
        double* slot = values.slot(s + 1 + i);
        slot[e1] += add;
        slot[e2] += add;
      }
    }
    s += NCOORD;
  }
  return true;
}

std::string where(long printout, long long line) {
  return "printout " + std::to_string(printout) + ", line " + std::to_string(line);
}

// At the end of a table that adds values: a warning when none of its rows
// named an element of the mesh, so that its columns hold zeros.
void warn_if_nothing_matched(const Table& t, long printout) {
  const TableWitness& w = t.witness;
  if (w.named_element || t.taken == 0) return;
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

bool is_header_line(std::string_view line) {
  std::size_t i = 1;  // column 1 is never part of a marker
  while (i < line.size() && line[i] == ' ') ++i;
  if (line.size() - i < header_marker.size()) return false;
  for (char marker : header_marker) {
    char ch = line[i++];
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
    if (ch != marker) return false;
  }
  return true;
}

void ScanLine::assign(std::string_view record) {
  LINE.assign(record);
  LINE.c[0] = ' ';
  pos = inspect(LINE.view(), LC.c, LowerLine::length);
}

bool wanted(std::string_view WANT, const LowerLine& LC, int s, int t) {
  return WANT.find(LC.cols(s - 1, t + 1)) != std::string_view::npos;
}

TableOutcome read_table(LineReader& in, ScanLine& line, long printout, const TableSettings& settings,
                        const Mesh& mesh, Values& values) {
  const LowerLine& LC = line.LC;
  const Positions& pos = line.pos;
  // A heading line met while no slot is in use starts the variables header
  // afresh, whatever the line turns out to head.
  if (values.NVAL == 0)
    values.start_header(settings.IOPT, line.LINE.at(static_cast<std::size_t>(pos.IFIRST)) == 'E');

  Table t;
  t.name1 = name_field({pos.IFIRST, pos.IWORD});
  const Word second = next_word(LC, pos.IWORD, pos.ILAST);
  if (is_index_word(LC, second)) {
    t.index = second;
  } else if (word_is(LC, second, "elem2")) {
    const Word third = next_word(LC, second.last, pos.ILAST);
    if (!is_index_word(LC, third)) return TableOutcome::not_a_table;
    t.connection = true;
    t.name2 = name_field(second);
    t.index = third;
  } else {
    return TableOutcome::not_a_table;
  }
  t.witness.heading_line = in.line_number();

  // Column list: one more word than the capacity tells an overflow.
  for (Word w = next_word(LC, t.index.last, pos.ILAST); w.found() && t.word_count <= max_columns;
       w = next_word(LC, w.last, pos.ILAST))
    t.words[t.word_count++] = w;
  t.LV1_before = values.LV1;
  t.NARR_before = values.NARR;
  if (!plan_columns(t, false, line, settings, values)) return TableOutcome::overflow;

  // Rows, up to the terminator line.
  Row row;
  for (;;) {
    std::string_view record;
    if (!in.next(record)) {
      const long long last_line = in.line_number();
      if (!settings.partial) {
        // A row read has no end branch: the end of the file here is
        // failure 24, met in this routine.
        fail(failure::end_of_file, in.source(), routine,
             "the file ends after line " + std::to_string(last_line) + ", inside the table headed at line " +
                 std::to_string(t.witness.heading_line) + " (-partial writes such a printout from the rows read)");
      }
      warn_if_nothing_matched(t, printout);
      warn("printout " + std::to_string(printout) + ": the file ends after line " + std::to_string(last_line) +
           ", inside the table headed at line " + std::to_string(t.witness.heading_line) +
           "; the printout is written from the rows read");
      return TableOutcome::end_of_file;
    }
    row.assign(record);
    if (row.terminator()) {
      warn_if_nothing_matched(t, printout);
      return TableOutcome::read;
    }
    if (t.NCOL != 0 && (t.connection ? connection_row(t, row, line, settings, in, mesh, values)
                                     : element_row(t, row, line, settings, in, mesh, values))) {
      t.witness.named_element = true;
      continue;
    }
    // A row passed over (a table without columns adds nothing): a unit
    // line, a page break, or a header line that ends a table printed
    // without its terminator.
    if (is_header_line(row.cols(1, static_cast<int>(LowerLine::length)))) {
      warn_if_nothing_matched(t, printout);
      warn(where(printout, in.line_number()) + ": a header line ends the table headed at line " +
           std::to_string(t.witness.heading_line) + ", which has no terminator line");
      line.assign(record);
      return TableOutcome::header;
    }
    witness_row(t.witness, t, row);
  }
}

}  // namespace pz
