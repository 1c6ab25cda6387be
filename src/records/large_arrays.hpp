// Arrays of many megabytes: the mesh tables and a printout's values.
//
// A table of 100 000 elements or a million connections takes tens of
// megabytes that are written once, front to back, right after they are
// allocated. Backed by ordinary 4 KiB pages, every page of it costs a page
// fault on first touch, about as much time as filling the page; on a virtual
// machine several times more (a first touch there fills 1.5-2 GB/s on
// ordinary pages, against usually 7-9 GB/s on 2 MiB pages, and over 25 GB/s
// for memory touched before). LargeArrayAllocator aligns blocks of 1 MiB and
// more to 2 MiB and asks the kernel to back them with 2 MiB pages where it
// can (Linux's transparent huge pages, which most systems grant on request):
// 512 times fewer faults. A 2 MiB page is cleared whole on its first touch,
// so the block's last part gets one only when it fills half a page or more,
// the block then reaching to the page's end: clearing at most 1 MiB never
// used costs less than a first touch of the 1 MiB or more used on ordinary
// pages. A shorter last part keeps ordinary pages. Smaller blocks, and
// systems without the request, get ordinary memory: the contents are the same
// either way.
//
// Under a hypervisor that takes back the memory a guest frees (free page
// reporting), a 2 MiB page the guest has not used lately is filled in by
// the host 4 KiB at a time on its first touch: 0.4-0.5 GB/s, a quarter of
// ordinary pages' speed, where a page freed lately takes 7-10 GB/s. Which
// kind a block gets shows only on its first touch: the first huge page of
// each block is touched as the block is allocated, and when that took
// longer than ordinary pages would have, the rest of the block keeps
// ordinary pages. One such block now and then is a chunk the host took back
// among lately freed ones (3 of 216 first touches over eighteen runs of the
// largest case, each soon after the one before, and the block after them
// fast again); a second in the run tells that the lately freed memory may
// have run out, and every block after it keeps ordinary pages.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <vector>

namespace pz {

// The requests for 2 MiB pages of a run's blocks (see above).
class HugePageRequests {
 public:
  // About what ordinary pages take for 2 MiB on such a guest (1.8 GB/s).
  static constexpr std::chrono::microseconds ordinary_pages_time{1200};
  // Blocks of a run whose first huge page was slow to touch, after which
  // later blocks are not asked for huge pages.
  static constexpr int slow_blocks_allowed = 2;
  explicit HugePageRequests(std::chrono::nanoseconds slow_touch = ordinary_pages_time,
                            int slow_blocks = slow_blocks_allowed)
      : slow_touch_(slow_touch), slow_blocks_allowed_(slow_blocks) {}

  // Asks for 2 MiB pages over the first `bytes` of block p (2 MiB aligned,
  // a whole number of such pages), unless slow_blocks earlier blocks' first
  // huge pages were slow to touch; touches the first and, when that took
  // longer than slow_touch, leaves the rest of the block to ordinary pages.
  void ask(void* p, std::size_t bytes) noexcept;

 private:
  std::chrono::nanoseconds slow_touch_;
  int slow_blocks_allowed_;
  std::atomic<int> slow_blocks_{0};
};

// Those of the run's large arrays.
HugePageRequests& huge_page_requests();

template <class T>
struct LargeArrayAllocator {
  using value_type = T;
  static constexpr std::size_t page = std::size_t{2} << 20;  // 2 MiB
  static constexpr std::size_t smallest = page / 2;          // the least block on such pages

  LargeArrayAllocator() = default;
  template <class U>
  LargeArrayAllocator(const LargeArrayAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    const std::size_t bytes = n * sizeof(T);
    if (bytes < smallest) return static_cast<T*>(::operator new(bytes));
    // The whole pages: the last part counted as one from half a page on.
    const std::size_t whole_pages = (bytes + page / 2) / page * page;
    void* p = nullptr;
    if (posix_memalign(&p, page, bytes > whole_pages ? bytes : whole_pages) != 0) throw std::bad_alloc();
    huge_page_requests().ask(p, whole_pages);
    return static_cast<T*>(p);
  }

  void deallocate(T* p, std::size_t n) noexcept {
    if (n * sizeof(T) < smallest) ::operator delete(p);
    else std::free(p);
  }

  template <class U>
  bool operator==(const LargeArrayAllocator<U>&) const noexcept { return true; }
};

template <class T>
using LargeArray = std::vector<T, LargeArrayAllocator<T>>;

}  // namespace pz
