// Record layouts, line reading and output files.
#include "records/failure.hpp"
#include "records/files.hpp"
#include "records/layouts.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run.hpp"

namespace {

using pz::Failure;

const pz::Source mesh_src{pz::unit::mesh, "MESH"};

// Runs f, which must end with failure `number` reported against unit/file.
template <class F>
void expect_failure(F f, int number, int unit, const std::string& file) {
  try {
    f();
    ADD_FAILURE() << "no failure";
  } catch (const Failure& e) {
    EXPECT_EQ(e.number, number);
    EXPECT_EQ(e.unit, unit);
    EXPECT_EQ(e.file, file);
  }
}

std::string pad_to(std::string s, std::size_t col) { return s.resize(col - 1, ' '), s; }

TEST(InputLayouts, ElementRecord) {
  const std::string rec = pad_to("A1  1", 51) + "  1.5E+02     15       1 5";
  const pz::ElementRecord r = pz::read_element_record(rec, mesh_src, "RMESH");
  EXPECT_EQ(std::string(r.name.data(), 5), "A1  1");
  EXPECT_EQ(r.x[0], 150);
  EXPECT_EQ(r.x[1], 0.0015);
  EXPECT_EQ(r.x[2], 0.0015);
  // A record ending before column 51, or inside the second field.
  for (const std::string& s : {std::string("B  2"), pad_to("B  2", 51) + "12345     -2"}) {
    const pz::ElementRecord b = pz::read_element_record(s, mesh_src, "RMESH");
    EXPECT_EQ(std::string(b.name.data(), 5), "B  2 ");
    EXPECT_EQ(b.x[0], s.size() > 5 ? 1.2345 : 0.0);
    EXPECT_EQ(b.x[1], s.size() > 5 ? -0.0002 : 0.0);
    EXPECT_EQ(b.x[2], 0);
  }
  expect_failure([&] { pz::read_element_record(pad_to("C  3", 61) + "1.0*", mesh_src, "RMESH"); }, 64, 1, "MESH");
}

TEST(InputLayouts, ConnectionAndLocationRecords) {
  const pz::ConnectionRecord c = pz::read_connection_record(pad_to("A1  1B1  2", 51) + "        12", mesh_src, "RMESH");
  EXPECT_EQ(std::string(c.first.data(), 5), "A1  1");
  EXPECT_EQ(std::string(c.second.data(), 5), "B1  2");
  EXPECT_EQ(c.value, 12);  // f10.0: digits without a point are a whole number
  const pz::Source locat{pz::unit::locat, "locat"};
  const pz::LocationRecord l =
      pz::read_location_record("A1  1xxxxx               1.5-3              -2.5d1", locat, "RLOCAT");
  EXPECT_EQ(l.x, 0.0015);
  EXPECT_EQ(l.y, -25);
  expect_failure([&] { pz::read_location_record("A1  1     1.5.5", locat, "RLOCAT"); }, 64, 2, "locat");
}

TEST(InputLayouts, OptionAnswerAndTableCell) {
  const auto opt = [](const char* s) { return pz::read_option_answer(s, pz::console_in, "MAIN"); };
  EXPECT_EQ(opt("3"), 3);
  EXPECT_EQ(opt(""), 0);
  EXPECT_EQ(opt(" 3"), 0);
  EXPECT_EQ(opt("12"), 1);
  expect_failure([&] { opt("x"); }, 64, 5, "CONIN$");
  double cell = 0;
  EXPECT_TRUE(pz::read_table_cell("    0.12345E+03", cell) && cell == 123.45);
  // Only the first 40 characters of a cell count.
  EXPECT_TRUE(pz::read_table_cell(std::string(38, ' ') + "12345", cell) && cell == 12);
  EXPECT_FALSE(pz::read_table_cell("  0.1E+0x", cell));
}

TEST(OutputLayouts, ZoneHeadersPointAndCellRecords) {
  pz::test::ScratchDir dir;
  const std::string path = (dir.path() / "plot.1").string();
  {
    pz::OutFile out;
    ASSERT_EQ(out.create(path), 0);
    out.set_source({pz::unit::plot, "plot.1"}, "ZONE");
    pz::write_point_zone_header(out, 7);
    pz::write_cell_zone_header(out, "Zone", 99999, 0);
    pz::write_cell_zone_header(out, "Zone", 1234, 140000);  // too wide for 5 columns: in full
    pz::write_cell_zone_header(out, "ZONE \"A\"", 12, 3);
    pz::RealRecord rec(out);
    for (int i = 0; i < 103; ++i) rec.add(i == 100 ? -0.5 : 1.0);
    rec.end();
    rec.end();  // no numbers: an empty record
    pz::write_cell_record(out, {1, 22, 333, 100000});
    out.close();
  }
  std::string ones;
  for (int i = 0; i < 100; ++i) ones += "  1.000000E+00";
  EXPECT_EQ(dir.read("plot.1"),
            "Zone F=POINT I=    7\n"
            "Zone F=FEPOINT I=99999 J=    0\n"
            "Zone F=FEPOINT I= 1234 J=140000\n"
            "ZONE \"A\" F=FEPOINT I=   12 J=    3\n" +
                ones + "\n -5.000000E-01  1.000000E+00  1.000000E+00\n\n     1    22   333100000\n");
}

TEST(LineReader, RecordsAndEnds) {
  pz::test::ScratchDir dir;
  const std::string longline(2000, 'x');
  dir.write("f", "abc\r\nde\n\n" + longline + "\r\nafter\r\r\nlast\r");
  pz::LineReader in;
  in.open((dir.path() / "f").string(), {pz::unit::zone, "f"}, "ZONES");
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<std::string> got;
    std::string_view r;
    while (in.next(r)) got.emplace_back(r);
    EXPECT_EQ(got, (std::vector<std::string>{"abc", "de", "", longline.substr(0, pz::LineReader::max_record),
                                             "after\r", "last"}));
    in.rewind();
  }
  std::string_view r;
  while (in.next(r)) {
  }
  expect_failure([&] { in.next_required(); }, 24, 3, (dir.path() / "f").string());
}

TEST(LineReader, ManyLinesAcrossBlocks) {
  pz::test::ScratchDir dir;
  std::string text;
  std::vector<std::string> lines;
  for (int i = 0; i < 60000; ++i) {
    lines.push_back(std::string(static_cast<std::size_t>(i * 7919 % 23), static_cast<char>('a' + i % 26)) +
                    std::to_string(i));
    text += lines.back() + (i % 3 ? "\n" : "\r\n");
  }
  text += std::string(3000, 'y') + "\n" + "tail";  // a long line near the end, then no newline
  dir.write("big", text);
  pz::LineReader in;
  in.open((dir.path() / "big").string(), {pz::unit::printout, "big"}, "MAIN");
  std::string_view r;
  for (const std::string& want : lines) {
    ASSERT_TRUE(in.next(r));
    ASSERT_EQ(r, want);
  }
  ASSERT_TRUE(in.next(r));
  EXPECT_EQ(r, std::string(pz::LineReader::max_record, 'y'));
  ASSERT_TRUE(in.next(r));
  EXPECT_EQ(r, "tail");
  EXPECT_FALSE(in.next(r));
}

TEST(Failures, OpeningAndReports) {
  pz::test::ScratchDir dir;
  pz::LineReader in;
  expect_failure([&] { in.open((dir.path() / "MESH").string(), mesh_src, "RMESH"); }, 29, 1,
                 (dir.path() / "MESH").string());
  expect_failure([&] { in.open(dir.path().string(), mesh_src, "RMESH"); }, 30, 1, dir.path().string());
  const Failure f{64, 1, "MESH", "RMESH", {}};
  EXPECT_EQ(f.report(), "forrtl: severe (64): input conversion error, unit 1, file MESH");
  testing::internal::CaptureStderr();
  EXPECT_EQ(pz::report(f), 64);
  EXPECT_EQ(pz::report(pz::Stop{"no eleme in MESH"}), 1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.rfind(f.report() + "\n", 0), 0u);
  EXPECT_NE(err.find("\nno eleme in MESH\n"), std::string::npos);
  try {
    pz::stop("no connection");
  } catch (const pz::Stop& s) {
    EXPECT_EQ(s.message, "no connection");
  }
}

}  // namespace
