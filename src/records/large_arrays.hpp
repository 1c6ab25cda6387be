// Arrays of many megabytes: the mesh tables and a printout's values.
//
// A table of 100 000 elements or a million connections takes tens of
// megabytes that are written once, front to back, right after they are
// allocated. Backed by ordinary 4 KiB pages, every page of it costs a page
// fault on first touch, about as much time as filling the page; on a
// virtual machine several times more. LargeArrayAllocator aligns blocks of
// 2 MiB and more to 2 MiB and asks the kernel to back their whole 2 MiB
// pages with 2 MiB pages where it can (Linux's transparent huge pages,
// which most systems grant on request): 512 times fewer faults. The part
// after the last whole 2 MiB page keeps ordinary pages, so that no memory
// beyond the block is ever touched: a 2 MiB page is cleared whole on its
// first touch, and a block rounded up to whole pages would cost the
// clearing of up to 2 MiB it never uses. Smaller blocks, and systems
// without the request, get ordinary memory: the contents are the same
// either way.
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

  LargeArrayAllocator() = default;
  template <class U>
  LargeArrayAllocator(const LargeArrayAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    const std::size_t bytes = n * sizeof(T);
    if (bytes < page) return static_cast<T*>(::operator new(bytes));
    void* p = nullptr;
    if (posix_memalign(&p, page, bytes) != 0) throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
    madvise(p, bytes / page * page, MADV_HUGEPAGE);  // a request: refused, the memory stays as it is
#endif
    return static_cast<T*>(p);
  }

  void deallocate(T* p, std::size_t n) noexcept {
    if (n * sizeof(T) < page) ::operator delete(p);
    else std::free(p);
  }

  template <class U>
  bool operator==(const LargeArrayAllocator<U>&) const noexcept { return true; }
};

template <class T>
using LargeArray = std::vector<T, LargeArrayAllocator<T>>;

}  // namespace pz
