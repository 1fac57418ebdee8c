// The global operator new and delete replaced by counting ones; a file of its own, so that no
// caller sees through them.
#include "HeapPeak.h"

#include <cstdlib>
#include <new>

namespace heap {

std::atomic<size_t> held{0};
std::atomic<size_t> peak{0};
thread_local size_t refuseAfter = 0;

namespace {

// Room before each block for its size, keeping the alignment operator new promises.
constexpr size_t kRoom = alignof(std::max_align_t);

void* Take(size_t size) {
    void* block = std::malloc(size + kRoom);
    if (!block) return nullptr;
    *static_cast<size_t*>(block) = size;
    const size_t now = held += size;
    size_t seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
    return static_cast<char*>(block) + kRoom;
}

void Give(void* bytes) {
    if (!bytes) return;
    char* block = static_cast<char*>(bytes) - kRoom;
    held -= *reinterpret_cast<size_t*>(block);
    std::free(block);
}

} // namespace
} // namespace heap

void* operator new(size_t size) {
    if (heap::refuseAfter > 0 && --heap::refuseAfter == 0) throw std::bad_alloc();
    if (void* bytes = heap::Take(size)) return bytes;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return heap::Take(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return heap::Take(size); }
void operator delete(void* bytes) noexcept { heap::Give(bytes); }
void operator delete[](void* bytes) noexcept { heap::Give(bytes); }
void operator delete(void* bytes, size_t) noexcept { heap::Give(bytes); }
void operator delete[](void* bytes, size_t) noexcept { heap::Give(bytes); }
void operator delete(void* bytes, const std::nothrow_t&) noexcept { heap::Give(bytes); }
void operator delete[](void* bytes, const std::nothrow_t&) noexcept { heap::Give(bytes); }
