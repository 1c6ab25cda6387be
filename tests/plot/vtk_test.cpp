// What reading the VTK files back cannot single out: base64 across blocks, XML text, array names.
#include <gtest/gtest.h>

#include <tuple>

#include "plot/vtk/vtk_format.hpp"
#include "plot/vtk/xml.hpp"
#include "support/written.hpp"

namespace pz {
namespace {

std::string encode(std::string_view s) {
  std::string out(4 * ((s.size() + 2) / 3), '\0');
  char* end = base64_encode(reinterpret_cast<const unsigned char*>(s.data()), s.size(), out.data());
  EXPECT_EQ(end, out.data() + out.size());
  return out;
}

using test::written;

TEST(Base64, KnownVectorsAndStreamedPieces) {
  const std::pair<std::string, const char*> known[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"},
      {{"\xff\xfe\0>?", 5}, "//4APj8="}};
  for (const auto& [data, text] : known) EXPECT_EQ(encode(data), text);
  // Lengths around the writer's block, in uneven pieces, encode as the whole; finish() starts again.
  constexpr std::size_t block = Base64Writer::block;
  for (std::size_t n : {std::size_t{0}, std::size_t{1}, block - 1, block, block + 1, 3 * block + 2}) {
    std::string data(n, '\0');
    for (std::size_t i = 0; i < n; ++i) data[i] = static_cast<char>(i * 131 + n);
    const std::string got = written([&](OutFile& out) {
      Base64Writer b64(out);
      for (std::size_t i = 0, piece = 1; i < n; i += piece, piece = piece % 13 + 5)
        b64.put(data.data() + i, std::min(piece, n - i));
      b64.finish(), out.put("|"), b64.put(data.data(), std::min<std::size_t>(n, 4)), b64.finish();
    });
    EXPECT_EQ(got, encode(data) + "|" + encode(data.substr(0, 4))) << n;
  }
}

TEST(XmlText, EscapesAndReplacesWhatXmlCannotHold) {
  // UTF-8 stays up to U+10FFFF; Latin-1, overlong forms, surrogates and cut sequences do not.
  const std::pair<std::string, const char*> cases[] = {
      {"Zone T=\"a<b>\" & 'c'", "Zone T=&quot;a&lt;b&gt;&quot; &amp; &apos;c&apos;"}, {"a\tb", "a&#9;b"},
      {{"a\0b\x1f\x7f", 5}, "a?b??"},
      {"T(\xc2\xb0" "C) \xe2\x82\xac \xf4\x8f\xbf\xbd", "T(\xc2\xb0" "C) \xe2\x82\xac \xf4\x8f\xbf\xbd"},
      {"T(\xb0" "C)", "T(?C)"}, {"\xc0\xaf|\xed\xa0\x80|\xe2\x82|\xf4\x90\x80\x80", "??|???|??|????"}};
  for (const auto& [text, xml] : cases) EXPECT_EQ(written([&](OutFile& out) { put_xml_text(out, text); }), xml);
}

TEST(ArrayNames, WholeNamesFirstAndRepeatsGetTheFirstFreeSuffix) {
  PrintoutData data;
  data.start(Projection::xy, true);
  // A whole name beyond 64 bytes is cut before the character it would split.
  const std::string long_name = std::string(63, 'a') + "\xc2\xb0" + "C";
  const std::tuple<const char*, int, std::string> arrays[] = {
      {"P", 1, ""}, {"T", 1, ""}, {"P_2", 1, ""}, {"P", 1, ""}, {"FGAS", 2, ""}, {"FGAS", 1, ""}, {"", 1, ""},
      {"P", 1, ""}, {"XAIR(", 1, "XAIR(L)"}, {"XAIR(", 1, "XAIR(G)"}, {"V12", 1, "XAIR(L)"}, {"aaaaa", 1, long_name},
      {"eleme", 1, "element"}};  // (the name of the grid's own array)
  for (int slot = 1; const auto& [name, components, whole] : arrays)
    ASSERT_TRUE(data.add_array(name, std::exchange(slot, slot + components), components, whole));
  EXPECT_EQ(unique_array_names(data),
            (std::vector<std::string>{"P", "T", "P_2", "P_3", "FGAS", "FGAS_2", "slot8", "P_4", "XAIR(L)", "XAIR(G)",
                                      "XAIR(L)_2", std::string(63, 'a'), "element_2"}));
  EXPECT_TRUE((data.start(Projection::xy, true), unique_array_names(data).empty()));  // a new printout: afresh
}

}  // namespace
}  // namespace pz
