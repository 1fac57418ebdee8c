// The heap a piece of work takes at its peak. A program that links HeapPeak.cpp has every
// operator new and delete go through it and counted.
#pragma once
#include <atomic>
#include <cstddef>

namespace heap {
extern std::atomic<size_t> held;
extern std::atomic<size_t> peak;
// On the thread that sets it: the count of throwing allocations still to be granted before
// one is refused with std::bad_alloc, as a full 32-bit address space refuses it; 0 refuses
// none. Only that one is refused, as a moment's shortage would be.
extern thread_local size_t refuseAfter;
} // namespace heap

// The most bytes the heap held at once while work ran, beyond what it held before.
template <typename Work> size_t HeapPeakOf(Work work) {
    const size_t before = heap::held.load();
    heap::peak = before;
    work();
    return heap::peak.load() - before;
}
