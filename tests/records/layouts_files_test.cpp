// The fixed-column input records and the line reader. (Files that are
// missing, folders or end too soon are whole-run failures in tests/run.)
#include <gtest/gtest.h>

#include <charconv>

#include "records/layouts.hpp"
#include "support/run.hpp"

namespace pz {
namespace {

std::string brief(const Failure& f) {
  return "failure " + std::to_string(f.number) + " unit " + std::to_string(f.unit) + " file " + f.file;
}
std::string text(const Name& n) { return std::string(n.data(), 5) + '|'; }
std::string text(double v) {
  char b[32];
  return std::string(b, std::to_chars(b, b + sizeof b, v).ptr) + '|';  // the shortest exact form
}
std::string text(const ElementRecord& r) { return text(r.name) + text(r.x[0]) + text(r.x[1]) + text(r.x[2]); }
std::string text(const ConnectionRecord& r) { return text(r.first) + text(r.second) + text(r.value); }
std::string text(const LocationRecord& r) { return text(r.name) + text(r.x) + text(r.y); }

// A record read by one of the input layouts as "field|field|...", or the
// failure it ends with.
std::string read_as(char layout, const std::string& record) {
  const Source mesh{unit::mesh, "MESH"}, locat{unit::locat, "locat"};
  const Routine in = Routine::mesh_reader;
  try {
    switch (layout) {
      case 'e': return text(read_element_record(record, mesh, in));
      case 'c': return text(read_connection_record(record, mesh, in));
      case 'l': return text(read_location_record(record, locat, in));
      case 'o': return text(read_option_answer(record, console_in, Routine::main_program));
    }
    double v;
    return read_table_cell(record, v) ? text(v) : "not a number";
  } catch (const Failure& f) {
    return brief(f);
  }
}

TEST(InputLayouts, FieldsColumnsAndFailures) {
  const std::string to51(50, ' ');
  const struct { char layout; std::string record, read; } cases[] = {
      {'e', "A1  1" + to51.substr(5) + "  1.5E+02     15       1 5", "A1  1|150|0.0015|0.0015|"},  // e10.4
      {'e', "B  2", "B  2 |0|0|0|"},  // a record ending before column 51, or inside a field
      {'e', "B  2" + to51.substr(4) + "12345     -2", "B  2 |1.2345|-2e-04|0|"},
      {'e', to51 + "          1.0*", "failure 64 unit 1 file MESH"},
      {'c', "A1  1B1  2" + to51.substr(10) + "        12", "A1  1|B1  2|12|"},  // f10.0: no implied decimals
      {'c', to51 + "  1.0E", "failure 64 unit 1 file MESH"},
      {'l', "A1  1xxxxx               1.5-3              -2.5d1", "A1  1|0.0015|-25|"},
      {'l', "A1  1     1.5.5", "failure 64 unit 2 file locat"},
      {'o', "3", "3|"}, {'o', "", "0|"}, {'o', " 3", "0|"}, {'o', "12", "1|"},  // i1: column 1 alone
      {'o', "x", "failure 64 unit 5 file CONIN$"}, {'o', "-", "failure 64 unit 5 file CONIN$"},
      {'t', "    0.12345E+03", "123.45|"}, {'t', std::string(38, ' ') + "12345", "12|"},  // 40 columns count
      {'t', "  0.1E+0x", "not a number"}};
  for (const auto& c : cases) EXPECT_EQ(read_as(c.layout, c.record), c.read) << c.layout << " \"" << c.record << '"';
}

// Lines of many lengths across the reader's blocks with both line ends,
// long lines cut, a carriage return kept where no line end follows it, and
// a last line without a line end; twice, the second time after a rewind.
TEST(LineReader, RecordsAndLineNumbers) {
  test::ScratchDir dir;
  const std::string cut(LineReader::max_record, 'y'), path = (dir.path() / "f").string();
  std::string file = "abc\r\nde\n\n" + cut + "yyy\r\n" + std::string(300000, 'z') + "\n";  // longer than a block
  std::vector<std::string> lines{"abc", "de", "", cut, std::string(LineReader::max_record, 'z')};
  for (int i = 0; i < 60000; ++i) {
    lines.push_back(std::string(i * 7919 % 23, static_cast<char>('a' + i % 26)) + std::to_string(i));
    file += lines.back() + (i % 3 ? "\n" : "\r\n");
  }
  dir.write("f", file + cut + std::string(2000, 'x') + "\nafter\r\r\nlast\r");
  lines.insert(lines.end(), {cut, "after\r", "last"});
  LineReader in;
  in.open(path, {unit::zone, "f"}, Routine::main_program);
  for (int pass = 0; pass < 2; ++pass, in.rewind()) {
    std::string_view r;
    for (std::size_t k = 0; k < lines.size(); ++k)
      ASSERT_TRUE(in.next(r) && r == lines[k] && in.line_number() == static_cast<long long>(k + 1)) << k;
    EXPECT_FALSE(in.next(r));
    EXPECT_EQ(in.line_number(), static_cast<long long>(lines.size()));
  }
}

}  // namespace
}  // namespace pz
