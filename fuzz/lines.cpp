// The line reader, against a plain split of the same file: records end at
// "\n", lose one "\r" before it, are cut to max_record characters, and a
// last record without a line end counts unless it is empty.
//
// Input: two bytes placing the text near the end of the reader's first
// block (or at the start of the file), one byte for how often the rest
// repeats, then the text itself. Filler lines of assorted lengths come
// first, so records of the text straddle the block boundary at every
// offset. The reader must give the same records before and after a rewind,
// and fail with 24 on a required read at the end.
#include <string>

#include "common.hpp"
#include "records/files.hpp"

namespace {

constexpr std::size_t block = 1 << 18;  // the reader's read size
constexpr std::size_t cut = pz::LineReader::max_record;

std::vector<std::string_view> reference(std::string_view text) {
  std::vector<std::string_view> out;
  std::size_t b = 0;
  while (b < text.size()) {
    std::size_t e = text.find('\n', b);
    const bool last = e == std::string_view::npos;
    if (last) e = text.size();
    std::string_view r = text.substr(b, e - b);
    if (!r.empty() && r.back() == '\r') r.remove_suffix(1);
    out.push_back(r.substr(0, cut));
    b = e + 1;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::make_scratch("lines");
  fuzz::InScratch here;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::InScratch here;
  if (size < 3) return 0;
  const std::size_t offset = (data[0] | (data[1] << 8)) & 0x1fff;  // 0..8191
  const int repeat = 1 + data[2] % 4;
  const std::string_view body(reinterpret_cast<const char*>(data) + 3, size - 3);
  std::string text;
  if (offset != 0) {
    // Filler up to block - 4096 + offset, in lines of 1..1500 characters.
    const std::size_t target = block - 4096 + offset;
    for (std::size_t k = 0; text.size() < target; ++k) {
      const std::size_t len = std::min<std::size_t>(1 + (k * 7919) % 1500, target - text.size() - 1);
      text.append(len, static_cast<char>('a' + k % 26));
      text.push_back('\n');
    }
  }
  for (int i = 0; i < repeat; ++i) text.append(body);
  fuzz::write_file("f", text);
  const auto want = reference(text);

  pz::LineReader in;
  in.open("f", {1, "f"}, pz::Routine::main_program);
  for (int pass = 0; pass < 2; ++pass) {
    std::string_view r;
    for (std::size_t i = 0; i < want.size(); ++i) {
      if (!in.next(r)) fuzz::fault("the reader ended early");
      if (r != want[i]) fuzz::fault("record " + std::to_string(i) + " differs");
    }
    if (in.next(r)) fuzz::fault("the reader gave an extra record");
    try {
      in.next_required();
      fuzz::fault("no failure at the end");
    } catch (const pz::Failure& f) {
      if (f.number != 24 || f.unit != 1 || f.file != "f") fuzz::fault("end-of-file report");
    }
    in.rewind();
  }
  return 0;
}
