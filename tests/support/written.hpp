// What a writer puts into an OutFile, read back from its file.
#pragma once

#include <functional>
#include <string>

#include "records/files.hpp"
#include "support/run.hpp"

namespace pz::test {

inline std::string written(const std::function<void(OutFile&)>& write) {
  ScratchDir dir;
  OutFile out;
  EXPECT_EQ(out.create((dir.path() / "f").string()), 0);
  write(out);
  out.close();
  return dir.read("f");
}

}  // namespace pz::test
