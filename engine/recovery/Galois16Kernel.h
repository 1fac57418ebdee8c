// The recovery arithmetic's inner loop: a run of 16-bit little-endian words multiplied by one
// field element and added (XORed) into another run. Several ways of doing it, one chosen once
// by what the processor has (CPUID): byte tables everywhere, SSSE3's byte shuffle on nibble
// tables, the same 256 bits wide with AVX2 where the system saves those registers, and GFNI's
// affine transforms. Portable: no system calls; each processor path is compiled for its
// instructions alone, so the program still runs on processors without them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

enum class KernelPath { Table, Ssse3, Avx2, Gfni };

// "table", "SSSE3", "AVX2", "GFNI".
const char* KernelPathName(KernelPath path);
// Every path this processor and system can run, the table first, the fastest last.
const std::vector<KernelPath>& AvailablePaths();
// The path MultiplyAdd takes: the fastest available.
KernelPath ChosenPath();

// dst ^= factor * src, word by word; bytes is even; dst and src may have any alignment, and
// are either the same run or do not overlap.
void MultiplyAdd(uint8_t* dst, const uint8_t* src, size_t bytes, uint16_t factor);
// dsts[i] ^= factors[i] * src for each of count runs, src read once for all of them.
void MultiplyAddMany(uint8_t* const dsts[], const uint16_t factors[], size_t count,
                     const uint8_t* src, size_t bytes);

// The same on the given path; false, and nothing done, when it is not available.
bool MultiplyAddWith(KernelPath path, uint8_t* dst, const uint8_t* src, size_t bytes,
                     uint16_t factor);
bool MultiplyAddManyWith(KernelPath path, uint8_t* const dsts[], const uint16_t factors[],
                         size_t count, const uint8_t* src, size_t bytes);
