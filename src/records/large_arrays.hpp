// Arrays of many megabytes: the mesh tables and a printout's values.
//
// A table of 100 000 elements or a million connections takes tens of
// megabytes that are written once, front to back, right after they are
// allocated. Backed by ordinary 4 KiB pages, every page of it costs a page
// fault on first touch, about as much time as filling the page; on a
// virtual machine several times more. LargeArrayAllocator hands out blocks
// of 1 MiB and more rounded up to whole 2 MiB pages, aligned to 2 MiB, and
// asks the kernel to back them with 2 MiB pages where it can (Linux's
// transparent huge pages, which most systems grant on request): 512 times
// fewer faults, for at most 1 MiB more memory a block. Smaller blocks, and
// systems without the request, get ordinary memory: the contents are the
// same either way.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <vector>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

namespace pz {

template <class T>
struct LargeArrayAllocator {
  using value_type = T;
  static constexpr std::size_t page = std::size_t{2} << 20;  // 2 MiB
  static constexpr std::size_t threshold = page / 2;

  LargeArrayAllocator() = default;
  template <class U>
  LargeArrayAllocator(const LargeArrayAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    const std::size_t bytes = n * sizeof(T);
    if (bytes < threshold) return static_cast<T*>(::operator new(bytes));
    const std::size_t rounded = (bytes + page - 1) / page * page;
    void* p = std::aligned_alloc(page, rounded);
    if (p == nullptr) throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
    madvise(p, rounded, MADV_HUGEPAGE);  // a request: refused, the memory stays as it is
#endif
    return static_cast<T*>(p);
  }

  void deallocate(T* p, std::size_t n) noexcept {
    if (n * sizeof(T) < threshold) ::operator delete(p);
    else std::free(p);
  }

  template <class U>
  bool operator==(const LargeArrayAllocator<U>&) const noexcept { return true; }
};

template <class T>
using LargeArray = std::vector<T, LargeArrayAllocator<T>>;

}  // namespace pz
