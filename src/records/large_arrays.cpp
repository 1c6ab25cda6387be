#include "records/large_arrays.hpp"

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

namespace pz {

void HugePageRequests::ask(void* p, std::size_t bytes) noexcept {
#if defined(MADV_HUGEPAGE) && defined(MADV_NOHUGEPAGE)
  // After slow_blocks slow first touches, the guest's lately freed memory
  // has run out: later blocks are not asked for huge pages at all.
  if (slow_blocks_.load(std::memory_order_relaxed) >= slow_blocks_allowed_) return;
  if (madvise(p, bytes, MADV_HUGEPAGE) != 0) return;  // a request: refused, the memory stays as it is
  // (a huge page lately freed takes 0.2-0.3 ms, one the host fills in 4-5)
  const auto start = std::chrono::steady_clock::now();
  *static_cast<volatile char*>(p) = 0;  // (the storage holds no object yet)
  if (std::chrono::steady_clock::now() - start <= slow_touch_) return;
  slow_blocks_.fetch_add(1, std::memory_order_relaxed);
  constexpr std::size_t page = LargeArrayAllocator<char>::page;
  if (bytes > page) (void)madvise(static_cast<char*>(p) + page, bytes - page, MADV_NOHUGEPAGE);
#else
  (void)p;
  (void)bytes;
#endif
}

HugePageRequests& huge_page_requests() {
  static HugePageRequests requests;
  return requests;
}

}  // namespace pz
