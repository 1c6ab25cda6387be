// How a run ends when it cannot go on.
//
// Two kinds of ending exist:
//  * a stop: the program's own fatal condition ("no eleme in MESH", "unknown
//    argument", ...). The message alone is written as one line on standard
//    error and the run ends with status 1: a stop is a failed run, and
//    scripts that call the program must be able to tell it from success.
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
// Both are thrown as exceptions and reported once, by the program's main.
#pragma once

#include <string>
#include <string_view>

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
inline constexpr int conversion = 64;   // "input conversion error"
}  // namespace failure

struct Stop {
  std::string message;
};

struct Failure {
  int number;
  int unit;
  std::string file;
  std::string routine;  // innermost active routine, for the listing
  std::string context;  // where and what, when known: a line of its own

  // "forrtl: severe (N): <message>, unit U, file F"
  std::string report() const;
};

// Names a file or console stream in failure reports.
struct Source {
  int unit;
  std::string_view file;
};

inline constexpr Source console_in{unit::console_in, "CONIN$"};
inline constexpr Source console_out{unit::console_out, "CONOUT$"};

[[noreturn]] void stop(std::string_view message);
[[noreturn]] void fail(int number, const Source& source, std::string_view routine, std::string context = {});

// Writes "printzone: warning: <message>" as one line on standard error.
void warn(std::string_view message);

// The text of a failure number ("file not found", ...).
std::string_view failure_message(int number);

// Writes the report of a failure (with its routine listing) or a stop message
// to standard error and returns the exit status the run ends with.
int report(const Failure& f);
int report(const Stop& s);

}  // namespace pz
