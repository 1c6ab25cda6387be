// The pieces of the VTK output that the reader tests (tests/vtk) cannot
// single out: base64 across block boundaries, XML text, array names, cell
// shapes and the time of a printout.
#include "plot/vtk.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run.hpp"

namespace pz {
namespace {

std::string encode(std::string_view s) {
  std::string out(4 * ((s.size() + 2) / 3), '\0');
  char* end = base64_encode(reinterpret_cast<const unsigned char*>(s.data()), s.size(), out.data());
  EXPECT_EQ(end, out.data() + out.size());
  return out;
}

TEST(Base64, KnownVectors) {
  EXPECT_EQ(encode(""), "");
  EXPECT_EQ(encode("f"), "Zg==");
  EXPECT_EQ(encode("fo"), "Zm8=");
  EXPECT_EQ(encode("foo"), "Zm9v");
  EXPECT_EQ(encode("foobar"), "Zm9vYmFy");
  EXPECT_EQ(encode(std::string("\xff\xfe\x00\x3e\x3f", 5)), "//4APj8=");
}

TEST(Base64, StreamedInPiecesEqualsOneEncoding) {
  // Lengths around the writer's block, put in pieces of uneven sizes, must
  // give the encoding of the whole; finish() lets the writer start again.
  test::ScratchDir dir;
  const std::string path = (dir.path() / "b64").string();
  for (std::size_t n : {std::size_t{0}, std::size_t{1}, Base64Writer::block - 1, Base64Writer::block,
                        Base64Writer::block + 1, 3 * Base64Writer::block + 2}) {
    std::string data(n, '\0');
    for (std::size_t i = 0; i < n; ++i) data[i] = static_cast<char>(i * 131 + n);
    OutFile out;
    ASSERT_EQ(out.create(path), 0);
    Base64Writer b64(out);
    for (std::size_t i = 0, piece = 1; i < n; i += piece, piece = piece % 13 + 5) {
      b64.put(data.data() + i, std::min(piece, n - i));
    }
    b64.finish();
    out.put("|");
    b64.put(data.data(), std::min<std::size_t>(n, 4));
    b64.finish();
    out.close();
    EXPECT_EQ(dir.read("b64"), encode(data) + "|" + encode(data.substr(0, 4))) << n;
  }
}

TEST(XmlText, EscapesAndReplacesWhatXmlCannotHold) {
  EXPECT_EQ(xml_text("Zone T=\"a<b>\" & 'c'"), "Zone T=&quot;a&lt;b&gt;&quot; &amp; &apos;c&apos;");
  EXPECT_EQ(xml_text("a\tb"), "a&#9;b");
  EXPECT_EQ(xml_text(std::string("a\0b\x1f\x7f", 5)), "a?b??");
  // UTF-8 stays; a Latin-1 byte, an overlong form and a surrogate do not.
  EXPECT_EQ(xml_text("T(\xc2\xb0" "C) \xe2\x82\xac"), "T(\xc2\xb0" "C) \xe2\x82\xac");
  EXPECT_EQ(xml_text("T(\xb0" "C)"), "T(?C)");
  EXPECT_EQ(xml_text("\xc0\xaf|\xed\xa0\x80|\xe2\x82"), "??|???|??");
}

void add(Values& v, std::string_view name, int components = 1) {
  const int first = v.NVAL + 1;
  v.NVAL += components;
  ASSERT_TRUE(v.add_array(name, first, components));
}

TEST(ArrayNames, RepeatsGetTheFirstFreeSuffix) {
  Values v;
  v.start_header(3, true);
  add(v, "P");
  add(v, "T");
  add(v, "P_2");
  add(v, "P");
  add(v, "FGAS", 2);
  add(v, "FGAS");
  add(v, "");
  add(v, "P");
  EXPECT_EQ(unique_array_names(v),
            (std::vector<std::string>{"P", "T", "P_2", "P_3", "FGAS", "FGAS_2", "slot8", "P_4"}));
  // A new printout starts the list afresh.
  v.start_header(3, true);
  EXPECT_TRUE(unique_array_names(v).empty());
}

TEST(Cells, RepeatedCornersGiveTheShapeOfTheDistinctOnes) {
  struct {
    std::array<int, 4> corners;
    std::vector<int> distinct;
    unsigned char type;
  } cases[] = {
      {{1, 2, 6, 5}, {1, 2, 6, 5}, vtk_cell::quad},
      {{1, 2, 3, 3}, {1, 2, 3}, vtk_cell::triangle},  // the tracer's triangle
      {{4, 4, 2, 3}, {4, 2, 3}, vtk_cell::triangle},
      {{1, 2, 1, 2}, {1, 2}, vtk_cell::line},
      {{7, 7, 7, 7}, {7}, vtk_cell::vertex},
  };
  for (auto& c : cases) {
    int out[4];
    const int n = distinct_corners(c.corners, out);
    EXPECT_EQ(std::vector<int>(out, out + n), c.distinct);
    EXPECT_EQ(cell_type(n), c.type);
  }
}

TEST(PrintoutTime, FirstWordOfTheValuesLineOrThePrintoutNumber) {
  EXPECT_EQ(printout_time(" 0.86400E+05     12      3", 1), 86400);
  EXPECT_EQ(printout_time("1.5D2", 2), 150);
  EXPECT_EQ(printout_time("  -2.5-3 x", 2), -0.0025);
  EXPECT_EQ(printout_time(" 12345", 2), 12345);  // no implied decimals
  EXPECT_EQ(printout_time(" TIME 1.0", 7), 7);
  EXPECT_EQ(printout_time(" 1.0E", 8), 8);
  EXPECT_EQ(printout_time("", 9), 9);
}

}  // namespace
}  // namespace pz
