#include "records/files.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pz {

namespace {
constexpr std::size_t read_block = 1 << 18;
}  // namespace

LineReader::~LineReader() { close(); }

void LineReader::open(const std::string& path, const Source& source, Routine routine, std::string_view hint) {
  close();
  name_ = path;
  source_ = Source{source.unit, name_};
  routine_ = routine;
  const auto open_failure = [&](int number, int error) {
    std::string context = file_error(path, error);
    if (!hint.empty()) context.append("; ").append(hint);
    fail(number, source_, routine_, std::move(context));
  };
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) open_failure(failure_for_open_error(errno, true), errno);
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    open_failure(failure::open, error);
  }
  attach(fd, Source{source.unit, path}, routine);
  owned_ = true;
  at_file_start_ = true;
}

void LineReader::attach(int fd, const Source& source, Routine routine) {
  close();
  name_ = std::string(source.file);
  source_ = Source{source.unit, name_};
  routine_ = routine;
  fd_ = fd;
  owned_ = false;
  eof_ = false;
  skipping_ = false;
  at_file_start_ = false;
  begin_ = end_ = 0;
  line_number_ = 0;
  bytes_read_ = 0;
  if (!buf_) buf_ = block_buffer(read_block + record_limit_ + 1);
  data_ = place_of(buf_, 0);
}

void LineReader::attach_at(int fd, std::uint64_t offset, long long lines_before, const Source& source,
                          Routine routine) {
  attach(fd, source, routine);
  positional_ = true;
  positional_block_ = std::size_t{1} << 14;
  seek(offset, lines_before);
}

void LineReader::close() {
  if (fd_ >= 0 && owned_) ::close(fd_);
  fd_ = -1;
  positional_ = false;
}

void LineReader::rewind() { seek(0, 0); }

void LineReader::seek(std::uint64_t offset, long long lines_before) {
  if (fd_ >= 0 && !positional_ && ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0)
    fail(failure::read, source_, routine_, file_error(name_, errno));
  eof_ = false;
  skipping_ = false;
  begin_ = end_ = 0;
  line_number_ = lines_before;
  bytes_read_ = offset;
  at_file_start_ = offset == 0 && (owned_ || positional_);
}

namespace {
constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";

// Whether the bytes at the front of a file may still turn out to be a
// byte-order mark when more are read.
bool may_begin_mark(const char* bytes, std::size_t n) {
  return n < byte_order_mark.size() && std::string_view(bytes, n) == byte_order_mark.substr(0, n);
}
}  // namespace

void LineReader::pass_over_mark() {
  at_file_start_ = false;
  if (std::string_view(data_ + begin_, end_ - begin_).starts_with(byte_order_mark)) begin_ += byte_order_mark.size();
}

// Moves the unread rest to the front (each byte at its file offset's place
// in a cache line) and reads another block behind it. At the file's start
// it reads on until the first bytes tell whether a byte-order mark stands
// there (a pipe may hand them out one by one), and passes over one.
bool LineReader::fill() {
  if (eof_) return false;
  if (at_file_start_) {
    bool read = false;
    while (may_begin_mark(data_ + begin_, end_ - begin_) && fill_once()) read = true;
    pass_over_mark();
    return read;
  }
  return fill_once();
}

bool LineReader::fill_once() {
  if (eof_) return false;
  const std::size_t rest = end_ - begin_;
  char* const front = place_of(buf_, bytes_read_ - rest);
  if (front != data_ + begin_) std::memmove(front, data_ + begin_, rest);
  data_ = front;
  begin_ = 0;
  end_ = rest;
  for (;;) {
    std::size_t room = read_block + record_limit_ + 1 - end_;
    if (positional_) {
      // From a small first block up: a reader by position often reads a
      // short part of the file (a printout of a small grid).
      room = std::min(room, positional_block_);
      positional_block_ = std::min(2 * positional_block_, read_block);
    }
    const ssize_t got = positional_ ? ::pread(fd_, data_ + end_, room, static_cast<off_t>(bytes_read_))
                                    : ::read(fd_, data_ + end_, room);
    if (got > 0) {
      end_ += static_cast<std::size_t>(got);
      bytes_read_ += static_cast<std::uint64_t>(got);
      if (watcher_) watcher_->block_read(bytes_read_);
      return true;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) fail(failure::read, source_, routine_, file_error(name_, errno));
    eof_ = true;
    return false;
  }
}

bool LineReader::next_across(std::string_view& record) {
  if (fd_ < 0) return false;
  ++line_number_;
  if (skipping_) {
    // The previous record was cut: drop the rest of its line.
    skipping_ = false;
    for (;;) {
      const void* nl = std::memchr(data_ + begin_, '\n', end_ - begin_);
      if (nl != nullptr) {
        begin_ = static_cast<std::size_t>(static_cast<const char*>(nl) - data_) + 1;
        break;
      }
      begin_ = end_ = 0;
      if (!fill()) {
        --line_number_;
        return false;
      }
    }
  }
  std::size_t scanned = begin_;
  for (;;) {
    const char* base = data_;
    const void* nl = std::memchr(base + scanned, '\n', end_ - scanned);
    if (nl != nullptr) {
      record = take_line(static_cast<const char*>(nl));
      return true;
    }
    if (end_ - begin_ > record_limit_) {
      record = std::string_view(base + begin_, record_limit_);
      last_record_ = record.data();
      begin_ += record_limit_;
      skipping_ = true;
      return true;
    }
    scanned = end_ - begin_;  // relative to the front after fill()
    if (!fill()) {
      if (end_ == begin_) {
        --line_number_;
        return false;
      }
      // The last record has no line end.
      std::size_t len = end_ - begin_;
      if (data_[end_ - 1] == '\r') --len;
      record = std::string_view(data_ + begin_, len);
      last_record_ = record.data();
      begin_ = end_;
      return true;
    }
    scanned += begin_;
  }
}

std::string_view LineReader::next_required() {
  std::string_view r;
  if (!next(r)) {
    fail(failure::end_of_file, source_, routine_,
         owned_ ? end_of_file_context() : "standard input ended before the answer");
  }
  return r;
}

void ConsoleCapture::replay() const {
  for (const Entry& e : entries) {
    if (!e.error) write_console(e.text, e.flush);
    else write_error_text(e.text);
  }
}

bool ConsoleCapture::has_warnings() const {
  return std::any_of(entries.begin(), entries.end(), [](const Entry& e) { return e.error; });
}

std::string LineReader::where() const { return full_path(name_) + ", line " + std::to_string(line_number_); }

std::string LineReader::end_of_file_context() const {
  return full_path(name_) +
         (line_number_ == 0 ? ": the file is empty" : ": the file ends after line " + std::to_string(line_number_));
}

OutFile::~OutFile() { abandon(); }

int OutFile::create(const std::string& path) { return open_file(path, O_TRUNC); }

int OutFile::create_new(const std::string& path) { return open_file(path, O_EXCL | O_NOFOLLOW); }

int OutFile::open_file(const std::string& path, int flags) {
  abandon();
  // (the buffer first: memory that runs out leaves no file behind)
  if (!buf_) buf_ = block_buffer(block);
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0666);
  if (fd < 0) return errno;
  fd_ = fd;
  used_ = 0;
  flushed_ = 0;
  front_ = place_of(buf_, position());
  return 0;
}

void OutFile::set_source(const Source& source, Routine routine) {
  name_ = std::string(source.file);
  unit_ = source.unit;
  routine_ = routine;
}

void OutFile::put(std::string_view s) {
  while (!s.empty()) {
    if (used_ == block) flush();
    std::size_t n = std::min(s.size(), block - used_);
    std::memcpy(front_ + used_, s.data(), n);
    used_ += n;
    s.remove_prefix(n);
  }
}

void OutFile::flush() {
  std::size_t done = 0;
  while (done < used_) {
    ssize_t w = ::write(fd_, front_ + done, used_ - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      const int error = w < 0 ? errno : ENOSPC;
      used_ = 0;
      fail(failure::write, Source{unit_, name_}, routine_, file_error(name_, error));
    }
    done += static_cast<std::size_t>(w);
    flushed_ += static_cast<std::uint64_t>(w);
  }
  used_ = 0;
  front_ = place_of(buf_, position());
}

void OutFile::expect(std::uint64_t bytes) {
#if defined(FALLOC_FL_KEEP_SIZE)
  if (fd_ >= 0 && bytes > 0)
    (void)::fallocate(fd_, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(position()), static_cast<off_t>(bytes));
#else
  (void)bytes;
#endif
}

void OutFile::close() {
  if (fd_ < 0) return;
  flush();
  int fd = fd_;
  fd_ = -1;
  // A finished plot file may wait for the printouts before it: its buffer
  // goes now, for the next file's.
  buf_.reset();
  if (::close(fd) != 0) fail(failure::write, Source{unit_, name_}, routine_, file_error(name_, errno));
}

int OutFile::release() {
  flush();
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void OutFile::abandon() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  used_ = 0;
}

void write_console(std::string_view text, bool flush) {
  if (ConsoleCapture* capture = ConsoleCapture::active()) {
    capture->entries.push_back({false, flush, std::string(text)});
    return;
  }
  if (!text.empty()) erase_status_line();
  const bool written = text.empty() || std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  if (!written || (flush && std::fflush(stdout) != 0))
    fail(failure::write, console_out, Routine::main_program, std::string("standard output: ") + std::strerror(errno));
}

}  // namespace pz
