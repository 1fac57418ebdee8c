// The recovery kernel's timing, shared by varnok_bench (under Windows or Wine) and the host's
// own benchmark program. Portable: the standard library's clock alone.
#pragma once
#include <cstddef>

// Times MultiplyAdd of 1 GiB in all (a buffer of bytes, taken again and again) on every path
// the processor has, then MultiplyAddMany into count destinations of bytes each against count
// calls one at a time (not when count is 0), and prints GB/s (10^9 source bytes a second, per
// destination) of each.
// Returns the program's exit code.
int RunGfBench(size_t bytes, size_t manyBytes, size_t count);
