// Windows XP support for what the program links statically: the thread library asks kernel32
// for GetTickCount64, which Windows XP lacks. Its import is served here instead, looked up at
// run time, so that the program's import table names only functions Windows XP SP3 has.
#include <windows.h>

#include <atomic>
#include <cstdint>

namespace {
// The 32-bit tick count carried on past its wrap (every 49.7 days): the wrap is seen as a
// reading below the last one, and the threads agree on the last one through one atomic value.
ULONGLONG ExtendedTickCount() {
    static std::atomic<uint64_t> last{0};
    uint64_t seen = last.load();
    for (;;) {
        uint64_t now = (seen & ~0xFFFFFFFFull) | GetTickCount();
        if (now < seen) now += 0x100000000ull;
        if (last.compare_exchange_weak(seen, now)) return now;
    }
}

ULONGLONG WINAPI TickCount64() {
    using Function = ULONGLONG(WINAPI*)();
    static const auto system = reinterpret_cast<Function>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64")));
    return system ? system() : ExtendedTickCount();
}
} // namespace

// The import slot the thread library calls through, under the name the linker gives it.
#if defined(__i386__)
extern "C" ULONGLONG(WINAPI* const TickCount64Import)() __asm__("__imp__GetTickCount64@0");
#else
extern "C" ULONGLONG(WINAPI* const TickCount64Import)() __asm__("__imp_GetTickCount64");
#endif
extern "C" ULONGLONG(WINAPI* const TickCount64Import)() = TickCount64;
