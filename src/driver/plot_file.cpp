#include "driver/plot_file.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "records/failure.hpp"

namespace pz {

namespace {
constexpr std::string_view routine = "printzone";

std::size_t name_start(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? 0 : slash + 1;
}
}  // namespace

std::string plot_file_name(const std::string& printout_file, long n) {
  std::string name = printout_file;
  for (std::size_t i = name_start(name); i < name.size(); ++i) {
    if (name[i] >= 'A' && name[i] <= 'Z') name[i] = static_cast<char>(name[i] + 32);
  }
  return name + "." + std::to_string(n);
}

PlotFile::PlotFile(std::string name) : name_(std::move(name)) {
  const Source source{unit::plot, name_};
  struct stat st;
  if (::stat(name_.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) fail(failure::open, source, routine);
    if (::access(name_.c_str(), W_OK) != 0 && (errno == EACCES || errno == EPERM || errno == EROFS))
      fail(failure::permission, source, routine);
  }
  const std::size_t start = name_start(name_);
  temp_ = name_.substr(0, start) + "." + name_.substr(start) + ".tmp";
  const int err = out_.create(temp_);
  if (err != 0) {
    fail(err == EACCES || err == EPERM || err == EROFS ? failure::permission : failure::open, source, routine);
  }
  out_.set_source(source, routine);
}

PlotFile::~PlotFile() {
  if (!committed_) {
    out_.abandon();
    ::unlink(temp_.c_str());
  }
}

void PlotFile::commit() {
  out_.close();
  if (std::rename(temp_.c_str(), name_.c_str()) != 0) fail(failure::open, Source{unit::plot, name_}, routine);
  committed_ = true;
}

}  // namespace pz
