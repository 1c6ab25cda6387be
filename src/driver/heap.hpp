// How a run keeps its memory: process policy, set up once by main().
//
// A run's large tables (the mesh's, a printout's values, the zone texts)
// take tens of megabytes, written front to back right after they are
// allocated. On ordinary 4 KiB pages, every page costs a page fault on its
// first touch: on a virtual machine several microseconds each, a first touch
// at 0.4-2 GB/s (with the host's load, from one minute to the next), where
// memory touched before takes over 25 GB/s. On 2 MiB pages (Linux's
// transparent huge pages, on request) there are 512 times fewer faults: a
// 2 MiB page the system freed lately comes back in 0.1-0.3 ms, though one
// the host took back once it was freed is filled in by the host 4 KiB at a
// time (0.4-0.7 GB/s), which is slower than ordinary pages when those are
// fast.
//
// So, before anything else, the program calls prepare_heap(), which
// - has malloc keep every block, whatever its size and thread, in its one
//   heap: no mapping of a block's own, faulted in anew each time, and no
//   memory given back when a block is freed, so that a later printout's
//   blocks reuse an earlier one's pages;
// - when a trial finds that this machine now fills 2 MiB pages no slower
//   than ordinary pages over as many bytes (the first touch of one 2 MiB
//   page of fresh memory, against that of 16 ordinary pages times 512/16),
//   reserves the heap's next heap_reserve bytes at once, from a 2 MiB
//   boundary on (a quarter of the address space where that is limited, as
//   by ulimit -v), and asks for 2 MiB pages over them.
// Memory past the reserve stays on ordinary pages; where malloc is not the C
// library's (under a sanitizer), nothing changes. The contents of memory are
// the same in every case: only the time of first touches differs.
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
