// How a run ends when it cannot go on.
//
// Two kinds of ending exist, both thrown as a RunEnd and reported once, by
// the program's main:
//  * a stop: the program's own fatal condition ("no eleme in MESH", "unknown
//    argument", ...). The message is written as one line on standard error,
//    followed, where the program knows more, by one line of context
//        printzone: <what, where, and what to do>
//    and the run ends with status 1: a stop is a failed run, and scripts
//    that call the program must be able to tell it from success.
//  * a run-time failure: a missing file, an end of file where a record is
//    required, a field that is not a number, a file that cannot be opened or
//    written. It is reported as
//        forrtl: severe (N): <message>, unit U, file F
//    followed, where the program knows more, by one line of context
//        printzone: <where in the file, and what>
//    and by the listing of the active routines; the run ends with status N.
//
// Warnings never end the run: each is one line on standard error,
//     printzone: warning: <message>
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pz {

// Stream numbers shown in failure reports.
namespace unit {
inline constexpr int list = 1;       // wanted-column list file
inline constexpr int mesh = 1;       // MESH
inline constexpr int printout = 1;   // the printout file
inline constexpr int locat = 2;      // locat
inline constexpr int plot = 2;       // each plot file in turn
inline constexpr int zone = 3;       // the zone file
inline constexpr int console_in = 5; // standard input, shown as file CONIN$
inline constexpr int console_out = 6;// standard output, shown as file CONOUT$
}  // namespace unit

// Failure numbers.
namespace failure {
inline constexpr int permission = 9;    // "permission to access file denied"
inline constexpr int end_of_file = 24;  // "end-of-file during read"
inline constexpr int not_found = 29;    // "file not found"
inline constexpr int open = 30;         // "open failure"
inline constexpr int write = 38;        // "error during write"
inline constexpr int read = 39;         // "error during read"
inline constexpr int conversion = 64;   // "input conversion error"
}  // namespace failure

// Where a failure happened, as the listing of active routines names it:
// the mesh reader ("rmesh") and the table reader ("read_table") are called
// by the main program ("printzone").
enum class Routine { main_program, mesh_reader, table_reader };

// Names a file or console stream in failure reports.
struct Source {
  int unit;
  std::string_view file;
};

inline constexpr Source console_in{unit::console_in, "CONIN$"};
inline constexpr Source console_out{unit::console_out, "CONOUT$"};

// The end of a run other than its normal end.
class RunEnd {
 public:
  virtual ~RunEnd() = default;
  // Writes the report to standard error and returns the exit status.
  virtual int report() const = 0;
};

struct Stop : RunEnd {
  explicit Stop(std::string m, std::string c = {}) : message(std::move(m)), context(std::move(c)) {}
  std::string message;
  std::string context;  // what, where and what to do, when known: a line of its own
  int report() const override;
};

struct Failure : RunEnd {
  Failure(int n, const Source& source, Routine r, std::string c = {})
      : number(n), unit(source.unit), file(source.file), routine(r), context(std::move(c)) {}
  int number;
  int unit;
  std::string file;
  Routine routine;
  std::string context;  // where and what, when known: a line of its own
  int system_error = 0;  // the system's error number behind it (errno), where one is

  // "forrtl: severe (N): <message>, unit U, file F"
  std::string first_line() const;
  int report() const override;
  // Puts "line N, " before the context (a record reader knows the columns
  // of a bad field, its caller the line).
  void at_line(long long line);
};

[[noreturn]] void stop(std::string_view message, std::string context = {});
[[noreturn]] void fail(int number, const Source& source, Routine routine, std::string context = {});

// Writes "printzone: warning: <message>" as one line on standard error.
void warn(std::string_view message);
// Writes text to standard error as it is, after what standard output holds.
void write_error_text(const std::string& text);

// The console output of work done on another thread than the main one (a
// printout converted by a worker), kept in order and written later, when
// that work's turn comes. While a capture is active on a thread, the
// console writes and warnings made there go into it.
class ConsoleCapture {
 public:
  struct Entry {
    bool error;  // standard error (a warning), else standard output
    bool flush;
    std::string text;
  };
  std::vector<Entry> entries;

  // Writes the entries as they were first written, on this thread.
  void replay() const;
  // Whether a warning is among them (a printout's warnings may name lines
  // of the printout file; its other output never does).
  bool has_warnings() const;

  // Makes a capture the active one on this thread while it lasts.
  class Scope {
   public:
    explicit Scope(ConsoleCapture& capture);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    ConsoleCapture* previous_;
  };
  // The capture active on this thread, or none.
  static ConsoleCapture* active();
};

// A line drawn on standard error and redrawn in place (a progress report).
// Any other console output, on standard output or error, erases it first;
// its owner draws it again at its next update.
class StatusLine {
 public:
  virtual ~StatusLine() = default;
  virtual void erase() = 0;
};
// The status line of the run, or none (nullptr).
void set_status_line(StatusLine* line);
void erase_status_line();

// A path made absolute (without following links), for messages that must
// say which file they mean wherever the run was started.
std::string full_path(std::string_view path);
// "<absolute path>: <the system's text of error>", for the context of a
// failure to open, read or write a file.
std::string file_error(std::string_view path, int error);

// The failure a file that cannot be opened ends the run with, from the
// system's error number: 29 for a missing input, 9 where permission is
// denied (a read-only file system included), 30 for anything else (and for
// a missing folder of an output file).
int failure_for_open_error(int error, bool input);

}  // namespace pz
