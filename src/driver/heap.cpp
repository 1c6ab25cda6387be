#include "driver/heap.hpp"

#if defined(__GLIBC__) && __has_include(<malloc.h>) && __has_include(<sys/mman.h>)
#define PZ_HEAP_OPTIONS 1
#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#endif

namespace pz {

#if PZ_HEAP_OPTIONS && defined(MADV_HUGEPAGE) && defined(MADV_NOHUGEPAGE)
namespace {

constexpr std::size_t huge_page = std::size_t{2} << 20;
constexpr std::size_t ordinary_page = 4096;
// Makes the 2 MiB stretch at an address one 2 MiB page at once, pages
// touched before with it (Linux 6.1 on; older systems refuse the request).
constexpr int collapse_request = 25;  // MADV_COLLAPSE

char* next_boundary(char* p) {
  const auto at = reinterpret_cast<std::uintptr_t>(p);
  return p + ((huge_page - at % huge_page) % huge_page);
}

// Whether a first touch of fresh memory on a 2 MiB page takes no longer
// than on ordinary pages over as many bytes, here and now.
bool huge_pages_pay() {
  constexpr int trial_pages = 16;
  constexpr std::size_t ordinary_bytes = trial_pages * ordinary_page;
  const std::size_t bytes = 2 * huge_page + ordinary_bytes;  // holds a whole 2 MiB page
  void* mapped = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return false;
  char* ordinary = static_cast<char*>(mapped);
  char* huge = next_boundary(ordinary + ordinary_bytes);
  bool pays = false;
  if (::madvise(ordinary, ordinary_bytes, MADV_NOHUGEPAGE) == 0 && ::madvise(huge, huge_page, MADV_HUGEPAGE) == 0) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    for (int i = 0; i < trial_pages; ++i) static_cast<volatile char*>(ordinary)[i * ordinary_page] = 1;
    const auto ordinary_done = Clock::now();
    *static_cast<volatile char*>(huge) = 1;
    const auto huge_done = Clock::now();
    pays = (huge_done - ordinary_done) * trial_pages <= (ordinary_done - start) * (huge_page / ordinary_page);
  }
  ::munmap(mapped, bytes);
  return pays;
}

// The reserve: heap_reserve, or a quarter of the address space the
// process may take where that is limited (ulimit -v), in whole 2 MiB pages.
std::size_t reserve_size() {
  std::size_t size = heap_reserve;
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur / 4 < size)
    size = static_cast<std::size_t>(limit.rlim_cur / 4);
  return size / huge_page * huge_page;
}

}  // namespace

HeapPages prepare_heap() {
  // mallopt answers 1 where it takes an option.
  if (::mallopt(M_ARENA_MAX, 1) != 1) return HeapPages::as_given;  // one heap for every thread
  ::mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the most it takes: no block has a mapping of its own below it
  ::mallopt(M_TRIM_THRESHOLD, INT_MAX);   // freed memory stays
  const std::size_t reserve = reserve_size();
  const bool huge = reserve >= 2 * huge_page && huge_pages_pay();

  // For 2 MiB pages, the heap's next stretch is made to begin one ordinary
  // page before a 2 MiB boundary, by moving the heap's end there first
  // (malloc leaves the space between alone). A block the heap cannot hold
  // then makes malloc take that stretch, with the reserve as the heap's
  // growth beyond the block (later growth goes by malloc's own steps again).
  // Where the block lies tells whether this malloc keeps its blocks in the
  // heap at all: one that stands in for the C library's, as a sanitizer's,
  // may take the options and keep its blocks elsewhere.
  char* const end = static_cast<char*>(::sbrk(0));
  if (end == reinterpret_cast<char*>(-1)) return HeapPages::as_given;
  char* const boundary = next_boundary(end + ordinary_page);
  const bool moved = huge && ::sbrk(boundary - ordinary_page - end) != reinterpret_cast<void*>(-1);
  if (moved) ::mallopt(M_TOP_PAD, static_cast<int>(reserve));
  void* volatile first_block = std::malloc(std::size_t{1} << 20);  // (volatile: not left out)
  if (moved) ::mallopt(M_TOP_PAD, 128 << 10);  // malloc's own
  char* const heap_end = static_cast<char*>(::sbrk(0));
  if (first_block == nullptr) return HeapPages::ordinary;
  const bool in_heap = reinterpret_cast<std::uintptr_t>(first_block) < reinterpret_cast<std::uintptr_t>(heap_end);
  std::free(first_block);
  if (!in_heap) return HeapPages::as_given;
  if (!moved || heap_end <= boundary ||
      ::madvise(boundary, static_cast<std::size_t>(heap_end - boundary), MADV_HUGEPAGE) != 0)
    return HeapPages::ordinary;
  // malloc wrote down its free space past that block, in the first 2 MiB
  // of the reserve, before they were asked for as a 2 MiB page.
  (void)::madvise(boundary, huge_page, collapse_request);
  return HeapPages::huge;
}
#else
HeapPages prepare_heap() { return HeapPages::as_given; }
#endif

}  // namespace pz
