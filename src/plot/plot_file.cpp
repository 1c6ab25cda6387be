#include "plot/plot_file.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "records/failure.hpp"
#include "records/layouts.hpp"

namespace pz {

namespace {

std::size_t name_start(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

// The printout file name with its name proper lower-cased.
std::string lower_case_name(const std::string& printout_file) {
  std::string name = printout_file;
  for (std::size_t i = name_start(name); i < name.size(); ++i) name[i] = lower_case(name[i]);
  return name;
}
}  // namespace

std::string plot_file_name(const std::string& printout_file, long n) {
  return lower_case_name(printout_file) + "." + std::to_string(n);
}

std::string collection_file_name(const std::string& printout_file) {
  return lower_case_name(printout_file) + ".pvd";
}

std::string file_name_part(const std::string& path) { return path.substr(name_start(path)); }

PlotFile::PlotFile(std::string name) : name_(std::move(name)) {
  const Source source{unit::plot, name_};
  struct stat st;
  if (::stat(name_.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) fail(failure::open, source, Routine::main_program);
    if (::access(name_.c_str(), W_OK) != 0 && failure_for_open_error(errno, false) == failure::permission)
      fail(failure::permission, source, Routine::main_program);
  }
  const std::size_t start = name_start(name_);
  temp_ = name_.substr(0, start) + "." + name_.substr(start) + ".tmp";
  const int err = out_.create(temp_);
  if (err != 0) fail(failure_for_open_error(err, false), source, Routine::main_program);
  out_.set_source(source, Routine::main_program);
}

PlotFile::~PlotFile() {
  if (!committed_) {
    out_.abandon();
    ::unlink(temp_.c_str());
  }
}

void PlotFile::commit() { finish().commit(); }

FinishedFile PlotFile::finish() {
  out_.close();
  committed_ = true;  // the finished file now answers for the temporary
  return FinishedFile(temp_, name_);
}

FinishedFile::FinishedFile(FinishedFile&& other) noexcept
    : temp_(std::move(other.temp_)), name_(std::move(other.name_)), pending_(other.pending_) {
  other.pending_ = false;
}

FinishedFile::~FinishedFile() {
  if (pending_) ::unlink(temp_.c_str());
}

void FinishedFile::commit() {
  if (std::rename(temp_.c_str(), name_.c_str()) != 0) fail(failure::open, Source{unit::plot, name_}, Routine::main_program);
  pending_ = false;
}

}  // namespace pz
