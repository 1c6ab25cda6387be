#include "records/failure.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

namespace pz {

namespace {
std::string_view routine_name(Routine r) {
  switch (r) {
    case Routine::mesh_reader: return "rmesh";
    case Routine::table_reader: return "read_table";
    default: return "printzone";
  }
}

// The text of a failure number ("file not found", ...).
std::string_view failure_message(int number) {
  switch (number) {
    case failure::permission: return "permission to access file denied";
    case failure::end_of_file: return "end-of-file during read";
    case failure::not_found: return "file not found";
    case failure::open: return "open failure";
    case failure::write: return "error during write";
    case failure::read: return "error during read";
    case failure::conversion: return "input conversion error";
    default: return "run-time failure";
  }
}

StatusLine* status_line = nullptr;
thread_local ConsoleCapture* active_capture = nullptr;

// The report's text: the first line, then the context line when there is one.
std::string with_context(std::string text, const std::string& context) {
  if (!context.empty()) text += "\nprintzone: " + context;
  return text;
}
}  // namespace

void write_error_text(const std::string& text) {
  erase_status_line();
  std::fflush(stdout);
  std::fwrite(text.data(), 1, text.size(), stderr);
}

std::string full_path(std::string_view path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(path), ec);
  return ec ? std::string(path) : absolute.lexically_normal().string();
}

std::string file_error(std::string_view path, int error) {
  std::string text = full_path(path);
  text += ": ";
  text += std::strerror(error);
  return text;
}

int failure_for_open_error(int error, bool input) {
  switch (error) {
    case ENOENT: case ENOTDIR: return input ? failure::not_found : failure::open;
    case EACCES: case EPERM: case EROFS: return failure::permission;
    default: return failure::open;
  }
}

std::string Failure::first_line() const {
  std::string s = "forrtl: severe (" + std::to_string(number) + "): ";
  s += failure_message(number);
  s += ", unit " + std::to_string(unit) + ", file " + file;
  return s;
}

int Failure::report() const {
  // Then the listing of active routines: the routine that met the failure,
  // then the main program that called it.
  std::string text = with_context(first_line(), context);
  text += "\n  in ";
  text += routine_name(routine);
  if (routine != Routine::main_program) text += "\n  in printzone";
  text += '\n';
  write_error_text(text);
  return number;
}

void Failure::at_line(long long line) {
  if (!context.empty()) context = "line " + std::to_string(line) + ", " + context;
}

int Stop::report() const {
  write_error_text(with_context(message, context) + '\n');
  return 1;
}

void stop(std::string_view message, std::string context) { throw Stop(std::string(message), std::move(context)); }

void fail(int number, const Source& source, Routine routine, std::string context) {
  throw Failure(number, source, routine, std::move(context));
}

void set_status_line(StatusLine* line) { status_line = line; }

void erase_status_line() {
  if (status_line) status_line->erase();
}

void warn(std::string_view message) {
  std::string text = "printzone: warning: ";
  text += message;
  text += '\n';
  if (ConsoleCapture* capture = ConsoleCapture::active()) {
    capture->entries.push_back({true, false, std::move(text)});
    return;
  }
  write_error_text(text);
}

ConsoleCapture::Scope::Scope(ConsoleCapture& capture) : previous_(active_capture) { active_capture = &capture; }

ConsoleCapture::Scope::~Scope() { active_capture = previous_; }

ConsoleCapture* ConsoleCapture::active() { return active_capture; }

}  // namespace pz
