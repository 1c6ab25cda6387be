#include "records/failure.hpp"

#include <cstdio>
#include <utility>

namespace pz {

std::string_view failure_message(int number) {
  switch (number) {
    case failure::permission: return "permission to access file denied";
    case failure::end_of_file: return "end-of-file during read";
    case failure::not_found: return "file not found";
    case failure::open: return "open failure";
    case failure::write: return "error during write";
    case failure::conversion: return "input conversion error";
    default: return "run-time failure";
  }
}

std::string Failure::report() const {
  std::string s = "forrtl: severe (" + std::to_string(number) + "): ";
  s += failure_message(number);
  s += ", unit " + std::to_string(unit) + ", file " + file;
  return s;
}

void stop(std::string_view message) { throw Stop{std::string(message)}; }

void fail(int number, const Source& source, std::string_view routine, std::string context) {
  throw Failure{number, source.unit, std::string(source.file), std::string(routine), std::move(context)};
}

void warn(std::string_view message) {
  std::string text = "printzone: warning: ";
  text += message;
  text += '\n';
  std::fflush(stdout);
  std::fwrite(text.data(), 1, text.size(), stderr);
}

int report(const Failure& f) {
  // The listing of active routines: the routine that met the failure, then
  // the main program that called it.
  std::string text = f.report();
  if (!f.context.empty()) text += "\nprintzone: " + f.context;
  text += "\n  in ";
  text += f.routine.empty() ? "printzone" : f.routine;
  if (!f.routine.empty() && f.routine != "printzone") text += "\n  in printzone";
  text += '\n';
  std::fflush(stdout);
  std::fwrite(text.data(), 1, text.size(), stderr);
  return f.number;
}

int report(const Stop& s) {
  std::fflush(stdout);
  std::string text = s.message + '\n';
  std::fwrite(text.data(), 1, text.size(), stderr);
  return 1;
}

}  // namespace pz
