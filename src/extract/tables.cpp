#include "extract/tables.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

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

// One column of a table: its heading name's span, then its value window.
struct Column {
  int C1 = 0, CL = 0;
  int UV = 1;  // 1 take, -1 take as a velocity column, 0 skip
};

struct Table {
  bool connection = false;
  Word name1, name2;   // name fields of the rows
  int index_first = 0; // first column of the index word
  int NCOL = 0;
  Column col[max_columns + 2];  // 1..NCOL, and the sentinel NCOL+1
  int taken = 0;
  int NOFF = 0;
  bool fixed = false;
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
// taken column of the table); false when they would not fit.
bool append_names(const Table& t, std::string_view word, int IOPT, Values& values) {
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

// Fixes the value windows from the table's first accepted row: each
// column's window ends where the first word after the previous window ends,
// searching no further than the end of the next column's heading name.
void fix_windows(Table& t, const Row& row) {
  const Positions r = inspect(row.cols(t.index_first, static_cast<int>(LowerLine::length)));
  const int R = t.index_first - 1 + r.ILAST;
  int p = t.index_first - 1 + r.IWORD;
  Column* col = t.col;
  if (col[t.NCOL].CL < R) col[t.NCOL].CL = R;
  col[t.NCOL + 1].C1 = col[t.NCOL + 1].CL = R + 1;
  for (int k = 1; k <= t.NCOL; ++k) {
    const int end = col[k + 1].CL;
    const int W = p + 1 > end ? 1 : inspect(row.cols(p + 1, end)).IWORD;
    col[k].CL = p + W;
    col[k].C1 = W > 40 ? p + W - 39 : p + 1;
    p += W;
  }
  t.fixed = true;
}

double cell(const Row& row, const Column& c, const LineReader& in) {
  return read_table_cell(row.cols(c.C1, c.CL), in.source(), routine);
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

void element_row(Table& t, const Row& row, const LineReader& in, const Mesh& mesh, Values& values) {
  const int e = ihash(mesh.index, row.cols(t.name1.first, t.name1.last), mesh.located);
  if (e == 0) return;
  if (!t.fixed) fix_windows(t, row);
  int j = t.NOFF;
  for (int k = 1; k <= t.NCOL; ++k) {
    if (t.col[k].UV == 0) continue;
    values.slot(++j)[e] = cell(row, t.col[k], in);
  }
}

void connection_row(Table& t, const Row& row, const LineReader& in, const Mesh& mesh, Values& values) {
  const int bound = mesh.located;
  int e1 = ihash(mesh.index, row.cols(t.name1.first, t.name1.last), bound);
  int e2 = ihash(mesh.index, row.cols(t.name2.first, t.name2.last), bound);
  if (!t.fixed && e1 == 0 && e2 == 0 && row.at(t.name1.first) == ' ' && row.at(t.name1.first + 1) == ' ') {
    // The names may stand two columns right of the heading's name words.
    const int s1 = ihash(mesh.index, row.cols(t.name1.first + 2, t.name1.last + 2), bound);
    const int s2 = ihash(mesh.index, row.cols(t.name2.first + 2, t.name2.last + 2), bound);
    if (s1 == 0 || s2 == 0) return;
    t.name1.first += 2;
    t.name1.last += 2;
    t.name2.first += 2;
    t.name2.last += 2;
    e1 = s1;
    e2 = s2;
  }
  if (e1 == 0 || e2 == 0) return;
  if (!t.fixed) fix_windows(t, row);

  const auto& x1 = mesh.X[static_cast<std::size_t>(e1)];
  const auto& x2 = mesh.X[static_cast<std::size_t>(e2)];
  const double dx = x1[0] - x2[0], dy = x1[1] - x2[1], dz = x1[2] - x2[2];
  const int NCOORD = values.NCOORD;
  double d2 = dx * dx + dy * dy;
  if (NCOORD == 3) d2 += dz * dz;
  if (d2 <= 0) return;  // centres coincide in the plotted coordinates
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
}

}  // namespace

Positions inspect_line(const Line& LINE, LowerLine& LC) { return inspect(LINE.view(), LC.c, LowerLine::length); }

bool wanted(std::string_view WANT, const LowerLine& LC, int s, int t) {
  return WANT.find(LC.cols(s - 1, t + 1)) != std::string_view::npos;
}

TableOutcome read_table(LineReader& in, const Line& LINE, const LowerLine& LC, const Positions& pos,
                        const TableSettings& settings, const Mesh& mesh, Values& values) {
  // A heading line met while no slot is in use starts the variables header
  // afresh, whatever the line turns out to head.
  if (values.NVAL == 0) values.start_header(settings.IOPT, LINE.at(static_cast<std::size_t>(pos.IFIRST)) == 'E');

  Table t;
  t.name1 = {pos.IFIRST, pos.IWORD};
  const Word second = next_word(LC, pos.IWORD, pos.ILAST);
  Word index;
  if (word_is(LC, second, "index")) {
    index = second;
  } else if (word_is(LC, second, "elem2")) {
    const Word third = next_word(LC, second.last, pos.ILAST);
    if (!word_is(LC, third, "index")) return TableOutcome::not_a_table;
    t.connection = true;
    t.name2 = second;
    index = third;
  } else {
    return TableOutcome::not_a_table;
  }
  t.index_first = index.first;

  // Column list.
  const int LV1_before = values.LV1;
  const int NARR_before = values.NARR;
  bool overflow = false;
  for (Word w = next_word(LC, index.last, pos.ILAST); w.found(); w = next_word(LC, w.last, pos.ILAST)) {
    if (t.NCOL == max_columns) {
      overflow = true;
      break;
    }
    Column& c = t.col[++t.NCOL];
    c.C1 = w.first;
    c.CL = w.last;
    c.UV = 1;
    if (settings.LWANT != 0 && !wanted(settings.WANT, LC, w.first, w.last)) {
      c.UV = 0;
      continue;
    }
    if (LC.cols(w.first, w.first + 2) == "vel") c.UV = -1;
    ++t.taken;
    if (!append_names(t, LINE.cols(static_cast<std::size_t>(w.first), static_cast<std::size_t>(w.last)),
                      settings.IOPT, values)) {
      overflow = true;
      break;
    }
  }

  // Capacity: the table is dropped whole when its slots would not fit.
  const int added = t.connection ? t.taken * values.NCOORD : t.taken;
  if (overflow || values.NVAL + added > Values::slot_capacity) {
    values.LV1 = LV1_before;
    values.NARR = NARR_before;
    return TableOutcome::overflow;
  }
  t.NOFF = values.NVAL;
  values.add_slots(added);

  // Rows, up to the terminator line.
  // A row read has no end branch: the end of the file here is failure 24,
  // met in this routine.
  Row row;
  for (;;) {
    std::string_view record;
    if (!in.next(record)) fail(failure::end_of_file, in.source(), routine);
    row.assign(record);
    if (row.terminator()) return TableOutcome::read;
    if (t.NCOL == 0) continue;  // a table without columns adds nothing
    if (t.connection) connection_row(t, row, in, mesh, values);
    else element_row(t, row, in, mesh, values);
  }
}

}  // namespace pz
