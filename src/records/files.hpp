// Sequential text files, read and written in large blocks.
//
// LineReader hands out the records (lines) of a file as views into its
// block buffer: a view stays valid until the next call. A line end is "\n";
// a carriage return just before it is not part of the record. A record
// longer than the reader's record limit is cut to that many characters
// (files: 1024, beyond every column a layout reads; the console: 64 KiB,
// beyond the longest path the system takes), so memory does not grow with
// the length of a line or the size of the file. A failed read is the
// run-time failure "error during read" of the file. A file that begins with
// a UTF-8 byte-order mark (EF BB BF, which some editors write) is read as if
// it began after it: the first record starts behind the mark, whose bytes
// still count in the file's offsets.
//
// OutFile collects one file's output in a buffer and writes it in large
// blocks; a failed write or close is the run-time failure "error during
// write" of the file.
//
// The console output goes through write_console, which treats a failed
// write the same way: failure 38 on unit 6 (CONOUT$).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "records/failure.hpp"

namespace pz {

// The block buffers of files. The kernel copies a block between the page
// cache and a buffer fastest when each byte lands at the place in a cache
// line it has in its page (a quarter faster for writes, a twelfth for
// reads, than 16 bytes off, where a block of malloc's begins): the bytes
// of a buffer are placed so that they keep their file offsets' places. The
// buffer itself is an ordinary block, a little larger: blocks of malloc's
// asked for with an alignment are reused less and less well as a long run
// frees and asks for them, printout after printout, and memory would grow.
//
// A file done with its buffer hands it back for the next file to take: a
// run opens a plot file a printout, and a buffer taken anew is memory that
// the kernel clears and maps page by page on its first touch.
inline constexpr std::size_t cache_line = 64;
struct HandBack {
  std::size_t size = 0;
  void operator()(char* block) const noexcept;
};
using BlockBuffer = std::unique_ptr<char[], HandBack>;
// n bytes, and room to begin them anywhere in a cache line.
BlockBuffer block_buffer(std::size_t n);
// Frees the buffers handed back and kept for later files (where memory runs short).
void release_spare_buffers();
// The place in buffer b for the byte at file offset `offset`.
inline char* place_of(const BlockBuffer& b, std::uint64_t offset) {
  const auto start = reinterpret_cast<std::uintptr_t>(b.get());
  return reinterpret_cast<char*>((start + cache_line - 1) / cache_line * cache_line + offset % cache_line);
}

// Told of each block a LineReader reads, with the bytes read so far.
class ReadWatcher {
 public:
  virtual ~ReadWatcher() = default;
  virtual void block_read(std::uint64_t bytes_so_far) = 0;
};

class LineReader {
 public:
  static constexpr std::size_t max_record = 1024;             // the files' record limit
  static constexpr std::size_t console_max_record = 1 << 16;  // the console's

  explicit LineReader(std::size_t record_limit = max_record) : record_limit_(record_limit) {}
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Opens an existing file for reading; a failure to open it ends the run
  // with failure 29 (no such file), 9 (no permission) or 30 (anything else,
  // a directory for example), reported against source, with the file's
  // full path, the reason and the hint (where the file is looked for).
  void open(const std::string& path, const Source& source, Routine routine, std::string_view hint = {});
  // Reads from an already open descriptor (standard input); not closed.
  void attach(int fd, const Source& source, Routine routine);
  // Reads an open file (fd, not taken over) from byte offset on, its lines
  // numbered from lines_before + 1, by position: the descriptor's own
  // offset is neither used nor moved, so that readers on several threads
  // may share one descriptor.
  void attach_at(int fd, std::uint64_t offset, long long lines_before, const Source& source, Routine routine);

  // Next record, or false at the end of the file. A line standing whole in
  // the block already read is handed out here; the rest (refilling the
  // block, a record cut at the limit, the end) is next_across().
  bool next(std::string_view& record) {
    if (fd_ >= 0 && !skipping_ && begin_ != end_) {
      if (const void* nl = std::memchr(data_ + begin_, '\n', end_ - begin_)) {
        ++line_number_;
        record = take_line(static_cast<const char*>(nl));
        return true;
      }
    }
    return next_across(record);
  }
  // Next record; the end of the file is failure 24 ("a read without an end
  // branch").
  std::string_view next_required();
  // Next record, passing over (and counting) the records for which
  // wanted(record) is false while they stand whole in the block already
  // read: the record handed out is a wanted one, or the first read after
  // the block ran out (which the caller tests in turn). A scan for rare
  // lines so costs a search for the line end and the test, a record; and
  // it returns at least once a block, to be stopped between lines.
  template <class Wanted>
  bool next_wanted(std::string_view& record, Wanted&& wanted) {
    if (fd_ >= 0 && !skipping_) {
      while (const void* nl = std::memchr(data_ + begin_, '\n', end_ - begin_)) {
        ++line_number_;
        const std::string_view line = take_line(static_cast<const char*>(nl));
        if (wanted(line)) {
          record = line;
          return true;
        }
      }
    }
    return next(record);
  }

  void rewind();
  // Goes on reading a file from byte offset, its line number lines_before +
  // 1 (a seek error is the run-time failure "error during read").
  void seek(std::uint64_t offset, long long lines_before);
  void close();
  // The watcher told of each block from now on (nullptr: none).
  void watch(ReadWatcher* watcher) { watcher_ = watcher; }
  bool is_open() const { return fd_ >= 0; }
  const Source& source() const { return source_; }
  // Number of the record last handed out (1 for the first); 0 before any.
  long long line_number() const { return line_number_; }
  // True once a read has met the end of the file.
  bool at_end_of_file() const { return eof_; }
  // The bytes read so far, counted from the file's start.
  std::uint64_t bytes_read() const { return bytes_read_; }
  // The offset in the file where the record last handed out begins.
  std::uint64_t last_record_offset() const {
    return bytes_read_ - end_ + static_cast<std::uint64_t>(last_record_ - data_);
  }
  // The offset where the next record begins; none while the rest of a cut
  // record's line is still to be passed over.
  std::optional<std::uint64_t> next_record_offset() const {
    if (skipping_) return std::nullopt;
    return bytes_read_ - end_ + begin_;
  }
  // The descriptor of an open file, or -1.
  int descriptor() const { return fd_; }
  // Where the file ended, for messages: "<full path>: the file is empty" or
  // "<full path>: the file ends after line N".
  std::string end_of_file_context() const;
  // The record last handed out, for messages: "<full path>, line N".
  std::string where() const;

 private:
  bool fill();
  // fill() without the look for a byte-order mark.
  bool fill_once();
  // Passes over a byte-order mark at the front of the block, the file's
  // first bytes.
  void pass_over_mark();
  // next() where the line does not stand whole in the block.
  bool next_across(std::string_view& record);
  // The record of the line that ends at the line end nl, in the block:
  // without a carriage return before nl, cut to the record limit; the next
  // begins after nl.
  std::string_view take_line(const char* nl) {
    const std::size_t stop = static_cast<std::size_t>(nl - data_);
    std::size_t len = stop - begin_;
    if (len > 0 && data_[stop - 1] == '\r') --len;
    const std::string_view record(data_ + begin_, len > record_limit_ ? record_limit_ : len);
    last_record_ = record.data();
    begin_ = stop + 1;
    return record;
  }

  int fd_ = -1;
  bool owned_ = false;
  bool eof_ = false;
  bool skipping_ = false;
  bool positional_ = false;      // reading by position (attach_at)
  bool at_file_start_ = false;   // the next read begins the file: a byte-order mark may stand there
  std::size_t positional_block_ = 0;  // bytes the next read by position asks for
  BlockBuffer buf_;              // the block buffer of a file
  char* data_ = nullptr;         // where in it the bytes read begin
  const char* last_record_ = nullptr;
  std::size_t record_limit_;
  std::size_t begin_ = 0, end_ = 0;
  long long line_number_ = 0;
  std::uint64_t bytes_read_ = 0;
  ReadWatcher* watcher_ = nullptr;
  std::string name_;
  Source source_{0, {}};
  Routine routine_ = Routine::main_program;
};

class OutFile {
 public:
  static constexpr std::size_t block = 1 << 20;

  OutFile() = default;
  ~OutFile();
  OutFile(const OutFile&) = delete;
  OutFile& operator=(const OutFile&) = delete;

  // Creates or truncates path. Returns 0 or the errno of the failed open.
  int create(const std::string& path);
  // Creates path as a new file, never through an existing file or link.
  // Returns 0 or the errno of the failed open (EEXIST when path exists).
  int create_new(const std::string& path);
  void set_source(const Source& source, Routine routine);

  // Room for n more characters (n at most block); the caller fills them and
  // then calls commit(n) or advances with the returned pointer through
  // commit_to().
  char* reserve(std::size_t n) {
    if (block - used_ < n) flush();
    return front_ + used_;
  }
  void commit_to(char* end) { used_ = static_cast<std::size_t>(end - front_); }
  void put(std::string_view s);
  void put(char c) {
    if (used_ == block) flush();
    front_[used_++] = c;
  }
  void newline() { put('\n'); }

  void flush();
  // Tells the file system that `bytes` more bytes follow those put so far,
  // so that it allocates their blocks at once, the file's size staying as
  // it is: writes into allocated blocks cost the kernel about a quarter
  // less than writes whose blocks it allocates as they come. A request:
  // where it is refused (no such request, no room), the writes go on as
  // before and meet any failure themselves. Asking for more than is then
  // written would leave blocks beyond the file's end.
  void expect(std::uint64_t bytes);
  // Flushes and closes; a failure is failure 38 against the source.
  void close();
  // Closes without flushing or reporting (on a failure path).
  void abandon();
  // Flushes and hands the open descriptor over to the caller.
  int release();
  bool is_open() const { return fd_ >= 0; }

  // The bytes put so far, since the file was created.
  std::uint64_t position() const { return flushed_ + used_; }

 private:
  int open_file(const std::string& path, int flags);
  int fd_ = -1;
  std::uint64_t flushed_ = 0;  // bytes written so far
  BlockBuffer buf_;
  char* front_ = nullptr;  // where in it the bytes not yet written begin
  std::size_t used_ = 0;
  std::string name_;
  int unit_ = 0;
  Routine routine_ = Routine::main_program;
};

// Writes text to standard output, and flushes it when flush is set. A write
// that fails (the reading end of a pipe closed, a full disk) is failure 38
// on the console output: the run ends as at any
// other failed write, and a plot file in progress is removed.
void write_console(std::string_view text, bool flush = true);
inline void flush_console() { write_console({}, true); }

}  // namespace pz
