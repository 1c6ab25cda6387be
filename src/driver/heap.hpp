// How a run keeps its memory: process policy, set up once by main().
//
// A run's large tables (the mesh's, a printout's values, the zone texts)
// take tens of megabytes, written right after they are allocated. On 4 KiB
// pages every page costs a fault on its first touch (on a virtual machine a
// first touch runs at 0.4-2 GB/s, memory touched before at over 25 GB/s);
// 2 MiB pages take 512 times fewer faults, but one the host took back is
// filled in 4 KiB at a time, slower than ordinary pages when those are fast.
// So prepare_heap(), called before anything else,
// - has malloc keep every block, whatever its size and thread, in its one
//   heap, and keep freed memory there: a later printout's blocks (and a
//   later file's buffer) reuse an earlier one's pages;
// - when a trial finds 2 MiB pages no slower to fill here and now than as
//   many bytes of ordinary pages, reserves the heap's next heap_reserve
//   bytes from a 2 MiB boundary on (a quarter of the address space where
//   ulimit -v limits it) and asks for 2 MiB pages over them.
// Where malloc is not the C library's (a sanitizer's), nothing changes; the
// contents of memory are the same in every case.
//
// What it buys, measured (15 alternating runs of builds with and without
// it, medians of the wall time, on a shared 2-core virtual machine): on the
// largest grid (99 999 elements, 3 printouts, 98 MB) a run takes 0.63 of
// the time without it at -j 1 and 0.53 at -j 2 (CPU time 0.62 and 0.55);
// on a listing of 2 600 elements in the layout simulators print, 0.98 and
// 1.08 (noise); on the bundled example, whose runs last 30-50 ms, 1.45 and
// 0.99 of the wall time, with 1.06 and 1.02 of the CPU time.
#pragma once

#include <cstddef>

namespace pz {

// The heap's memory reserved at once (address space only: a page counts
// once touched), above what the largest runs use.
inline constexpr std::size_t heap_reserve = std::size_t{256} << 20;

enum class HeapPages {
  as_given,  // malloc keeps its blocks outside the C library's heap (a sanitizer's), or took no option
  ordinary,  // one heap for every block, on ordinary pages
  huge,      // one heap for every block, its reserve on 2 MiB pages
};

// Sets the heap up as above, once, before the program's threads begin.
HeapPages prepare_heap();

}  // namespace pz
