// The scan for where printouts begin in a printout file.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "driver/conversion.hpp"
#include "extract/printout_start.hpp"
#include "records/files.hpp"

namespace pz {

// Where a printout begins: the offset of its first line, and that line's
// number.
struct PrintoutStart {
  std::uint64_t offset = 0;
  long long line = 0;
};

// Where printouts begin: each at a header line that has a line after it
// (its values line), the next looked for after that values line; or, in a
// file whose first such line is an OUTPUT AFTER line, at each OUTPUT AFTER
// line of a new step count (see extract/printout_start.hpp).
//
// The printouts of one run are often alike, to the byte or nearly. Once two
// are found, the next is first looked for as far after the last as the last
// is after the one before, on as many lines, and taken without reading what
// lies between when a header line and a values line begin there, or else
// nearest there within a sixteenth of that distance (its line number then
// counted from the guess); in files of header lines only. A guess at or past the end of the file ends the
// scan without reading the last printout through. With one found, and much
// of a large file read without finding the next, the next is looked for
// where the rest of the file would have its second printout, were its
// printouts alike (see guess_second). The conversions check every guess:
// where a printout ends, the next must begin, and the last must end with
// the file (see Parallel::commit_all); a wrong guess costs the printouts
// after it, a wrong line number those whose messages name lines.
//
// What guessing buys, measured (15 alternating runs with and without it,
// medians, on a shared 2-core machine): on the largest grid (99 999
// elements, 3 printouts alike, 98 MB) at -j 2, a run without it takes 1.12
// of the wall time (1.11 of the CPU time); on 40 printouts of 2 600
// elements in the layout simulators print, 1.10 (within the noise).
class PrintoutScanner {
 public:
  // A scan of a regular file of file_size bytes.
  PrintoutScanner(LineReader& in, std::uint64_t file_size) : in_(in), file_size_(file_size) {}

  // Goes on from the line that begins at offset `at`, numbered `line`.
  void restart(std::uint64_t at, long long line) {
    in_.seek(at, line);
    before_last_ = last_ = {};
    steps_.clear();  // (the scan goes on from a printout's first line)
    ended_at_guess_ = false;
    tried_second_ = true;  // (a restart follows a wrong guess: read on)
  }

  // Whether the scan ended at a guess that no printout follows the last.
  bool ended_at_guess() const { return ended_at_guess_; }

  // The layout of the file, once a printout is found.
  PrintoutLayout layout() const { return layout_; }

  // The next printout's first line; false when there is none.
  bool next(std::uint64_t& start, long long& line) {
    if (layout_ == PrintoutLayout::header_lines && guess(start, line)) return true;
    if (ended_at_guess_) return false;
    std::string_view text;
    const auto wanted = [this](std::string_view record) { return may_begin_printout(record, layout_); };
    for (;;) {
      // (with one printout found)
      if (layout_ == PrintoutLayout::header_lines && before_last_.line == 0 && last_.line != 0 &&
          guess_second(start, line))
        return true;
      if (!in_.next_wanted(text, wanted)) return false;
      const std::string_view record = text.substr(0, std::min(text.size(), line_width));
      if (!begins_printout(record, layout_, steps_)) continue;
      start = in_.last_record_offset();
      line = in_.line_number();
      if (layout_ == PrintoutLayout::output_after) {
        steps_ = read_output_after(record)->steps;
      } else if (!in_.next(text)) {
        return false;  // the values line: a header line ending the file starts no printout
      }
      found_printout({start, line});
      return true;
    }
  }

 private:
  // Whether a line may begin a printout of a file in layout.
  static bool may_begin_printout(std::string_view record, PrintoutLayout layout);
  // Up to `size` bytes of a file from byte offset on, read by position into
  // buffer: those read (none at the end of the file or on an error).
  static std::string_view read_at(int fd, std::uint64_t offset, char* buffer, std::size_t size);
  // A line's text as a line reader hands it out: without a carriage return
  // before its end, cut to the record limit.
  static std::string_view as_record(std::string_view line);
  // The lines that begin at byte offset `at` of a file, read by position:
  // the first (as a record) and where the second ends; none unless a line
  // ends just before `at` and both lines end within a few kilobytes.
  struct TwoLines {
    std::string_view first;
    std::uint64_t after_second = 0;  // the offset after the second line's end
  };
  static std::optional<TwoLines> two_lines_at(int fd, std::uint64_t at, std::array<char, 4096>& buffer);

  void found_printout(PrintoutStart printout) {
    before_last_ = last_;
    last_ = printout;
  }

  static bool is_header_candidate(std::string_view record) {
    return may_begin_printout(record, PrintoutLayout::header_lines) && is_header_record(record);
  }

  // The guess after the last two printouts found, taken where it holds.
  bool guess(std::uint64_t& start, long long& line) {
    if (ended_at_guess_ || before_last_.line == 0) return false;
    const std::uint64_t at = 2 * last_.offset - before_last_.offset;
    const long long at_line = 2 * last_.line - before_last_.line;
    if (at >= file_size_) {
      ended_at_guess_ = true;
      return false;
    }
    PrintoutStart found{at, at_line};
    std::optional<TwoLines> lines = two_lines_at(in_.descriptor(), at, buffer_);
    if (!lines || !is_header_record(lines->first)) {
      if (!line_near(found, spacing() / 16, is_header_candidate)) return false;
      lines = two_lines_at(in_.descriptor(), found.offset, buffer_);
      if (!lines) return false;
    }
    take_guess(found, *lines, start, line);
    return true;
  }
  // The guess after the one printout found, tried once: when the scan has
  // read at least least_read bytes past its header line without finding the next, and at least a sixteenth of the
  // rest of the file from there (the header line found) on. Were the
  // printouts alike, n of them in the rest, the second would begin 1/n of
  // it on, and n is at most the rest over what the scan has read. The
  // earliest header line nearest such a place, within a sixteenth of 1/n
  // of the rest (at most 128 KiB) either side, for each such n from 2 on, is
  // the guess: the places of the other n lie inside the first printout, were
  // the printouts alike. Its line number is counted from the lines per byte
  // of what the scan read.
  static constexpr std::uint64_t least_read = 4 << 20;
  bool guess_second(std::uint64_t& start, long long& line) {
    const std::optional<std::uint64_t> here = in_.next_record_offset();
    if (tried_second_ || !here || *here - last_.offset < least_read) return false;
    const std::uint64_t read = *here - last_.offset, rest = file_size_ - last_.offset;
    if (rest / read > 16) return false;
    tried_second_ = true;
    std::optional<PrintoutStart> earliest;
    for (std::uint64_t n = 2; rest / n > read; ++n) {
      PrintoutStart found{last_.offset + rest / n, 0};
      if (line_near(found, rest / n / 16, is_header_candidate) && found.offset >= *here &&
          (!earliest || found.offset < earliest->offset))
        earliest = found;
    }
    if (!earliest) return false;
    const std::optional<TwoLines> lines = two_lines_at(in_.descriptor(), earliest->offset, buffer_);
    if (!lines) return false;
    const long long lines_read = in_.line_number() - last_.line + 1;
    earliest->line = last_.line + static_cast<long long>(static_cast<double>(earliest->offset - last_.offset) *
                                                         static_cast<double>(lines_read) / static_cast<double>(read));
    take_guess(*earliest, *lines, start, line);
    return true;
  }
  // Goes on after a guessed printout's values line.
  void take_guess(const PrintoutStart& found, const TwoLines& lines, std::uint64_t& start, long long& line) {
    in_.seek(lines.after_second, found.line + 1);
    start = found.offset;
    line = found.line;
    found_printout(found);
  }
  std::uint64_t spacing() const { return last_.offset - before_last_.offset; }
  // The line that begins nearest the guess, within `reach` bytes either
  // side (at most near_size / 2), for which wanted(record) holds, with a
  // line after it; its line number counted from the guess's. False when
  // there is none.
  template <class Wanted>
  bool line_near(PrintoutStart& guess, std::uint64_t reach, Wanted&& wanted) {
    reach = std::min<std::uint64_t>(reach, near_size / 2);
    const std::uint64_t from = guess.offset > reach ? guess.offset - reach : 0;
    if (!near_) near_ = std::make_unique_for_overwrite<char[]>(near_size);
    const std::string_view window = read_at(in_.descriptor(), from, near_.get(), 2 * reach);
    const std::size_t at = static_cast<std::size_t>(guess.offset - from);
    const auto distance = [&](std::size_t b) { return b > at ? b - at : at - b; };
    std::optional<std::size_t> best;
    for (std::size_t nl = window.find('\n'); nl != std::string_view::npos;) {
      const std::size_t begin = nl + 1, end = window.find('\n', begin);
      if (end == std::string_view::npos || window.find('\n', end + 1) == std::string_view::npos) break;
      if (best && begin > at && distance(begin) > distance(*best)) break;
      if (wanted(as_record(window.substr(begin, end - begin))) && (!best || distance(begin) < distance(*best)))
        best = begin;
      nl = end;
    }
    if (!best) return false;
    const auto lines_between = [&](std::size_t a, std::size_t b) {
      return static_cast<long long>(std::count(window.begin() + static_cast<std::ptrdiff_t>(a),
                                               window.begin() + static_cast<std::ptrdiff_t>(b), '\n'));
    };
    guess.line += *best >= at ? lines_between(at, *best) : -lines_between(*best, at);
    guess.offset = from + *best;
    return true;
  }

  LineReader& in_;
  const std::uint64_t file_size_;
  PrintoutLayout layout_ = PrintoutLayout::unknown;
  std::string steps_;  // the OUTPUT AFTER layout: the last printout's step count
  PrintoutStart before_last_, last_;            // the last two printouts found (line 0: none)
  bool ended_at_guess_ = false;
  bool tried_second_ = false;  // the guess after one printout found was tried
  std::array<char, 4096> buffer_;
  static constexpr std::size_t near_size = 256 << 10;
  std::unique_ptr<char[]> near_;  // the bytes around a guess
};

}  // namespace pz
