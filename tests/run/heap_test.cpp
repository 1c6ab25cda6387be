// The heap set-up of a run (driver/heap.hpp).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#if defined(__linux__)
#include <unistd.h>

#include "driver/heap.hpp"
#include "support/run.hpp"

namespace pz {
namespace {

// The flags of the mapping that holds address a, as /proc/self/smaps lists them.
std::string mapping_flags(const void* a) {
  const std::string smaps = test::slurp("/proc/self/smaps");
  const auto at = reinterpret_cast<std::uintptr_t>(a);
  bool inside = false;
  std::string flags;
  for (std::size_t from = 0, end; from < smaps.size(); from = end + 1) {
    end = std::min(smaps.find('\n', from), smaps.size());
    const std::string line = smaps.substr(from, end - from);
    unsigned long first = 0, last = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx ", &first, &last) == 2 && line.find('-') < line.find(' '))
      inside = first <= at && at < last;
    else if (inside && line.starts_with("VmFlags:")) flags = line.substr(8);
  }
  return flags;
}

// After prepare_heap a large block comes from the heap, on 2 MiB pages where the trial found them to pay.
TEST(Heap, LargeBlocksComeFromTheOneHeap) {
  const HeapPages pages = prepare_heap();
  if (pages == HeapPages::as_given) GTEST_SKIP() << "malloc is not the C library's here";
  std::vector<char> block(std::size_t{8} << 20, 1);
  EXPECT_LT(static_cast<const void*>(block.data() + block.size()), sbrk(0));
  if (pages == HeapPages::huge) {
    // (its first bytes may lie on the ordinary page before the reserve)
    EXPECT_NE(mapping_flags(block.data() + block.size() / 2).find(" hg"), std::string::npos);
    EXPECT_NE(mapping_flags(block.data() + block.size() - 1).find(" hg"), std::string::npos);
  }
}

}  // namespace
}  // namespace pz
#endif
