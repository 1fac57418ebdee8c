// The multiply-add's paths: which the processor can run, each factor's tables, and the loops over
// them.
#include "engine/recovery/Galois16Kernel.h"

#include <algorithm>

#include "engine/recovery/Galois16.h"
#include "engine/recovery/Galois16Paths.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define VARNOK_GF_X86 1
#endif

namespace {

// MultiplyAddMany's step: small enough that a stretch of the source stays in the first-level
// cache while every destination takes it.
constexpr size_t kManyStretch = 16384;
// MultiplyAddMany's destinations prepared at once.
constexpr size_t kManyTables = 64;

using PathLoop = void (*)(const FactorTables&, uint8_t*, const uint8_t*, size_t);

// out[n] = the XOR of basis[b] over the bits b of n, for every byte n.
void FillByteTable(uint16_t (&out)[256], const uint16_t* basis) {
    out[0] = 0;
    for (int bit = 0; bit < 8; ++bit)
        for (int n = 0; n < (1 << bit); ++n) out[(1 << bit) + n] = out[n] ^ basis[bit];
}

void FillNibbleTables(uint8_t (&rows)[8][16], const uint16_t* basis) {
    for (int k = 0; k < 4; ++k)
        for (int n = 0; n < 16; ++n) {
            uint16_t product = 0;
            for (int bit = 0; bit < 4; ++bit)
                if (n & (1 << bit)) product ^= basis[4 * k + bit];
            rows[2 * k][n] = static_cast<uint8_t>(product);
            rows[2 * k + 1][n] = static_cast<uint8_t>(product >> 8);
        }
}

// Block (outHigh, inHigh) of the product's bit matrix: row i (result bit i of that byte) in
// byte 7 - i, its bit j set when input bit j of that byte flips result bit i.
uint64_t AffineBlock(const uint16_t* basis, int outHigh, int inHigh) {
    uint64_t matrix = 0;
    for (int i = 0; i < 8; ++i) {
        uint64_t row = 0;
        for (int j = 0; j < 8; ++j) row |= ((basis[8 * inHigh + j] >> (8 * outHigh + i)) & 1u) << j;
        matrix |= row << (8 * (7 - i));
    }
    return matrix;
}

#ifdef VARNOK_GF_X86

uint64_t ReadXcr0() {
    uint32_t low = 0, high = 0;
    asm volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<uint64_t>(high) << 32) | low;
}

std::vector<KernelPath> AskProcessor() {
    std::vector<KernelPath> paths{KernelPath::Table};
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return paths;
    if (ecx & (1u << 9)) paths.push_back(KernelPath::Ssse3);
    // The 256-bit registers only where the system saves them on a switch (XCR0 bits 1 and 2).
    const bool osxsave = ecx & (1u << 27), avx = ecx & (1u << 28);
    if (!osxsave || !avx || (ReadXcr0() & 6) != 6) return paths;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return paths;
    if (!(ebx & (1u << 5))) return paths;
    paths.push_back(KernelPath::Avx2);
    if (ecx & (1u << 8)) paths.push_back(KernelPath::Gfni);
    return paths;
}

#else

std::vector<KernelPath> AskProcessor() { return {KernelPath::Table}; }

#endif

PathLoop LoopOf(KernelPath path) {
    switch (path) {
#ifdef VARNOK_GF_X86
    case KernelPath::Ssse3:
        return MultiplyAddSsse3;
    case KernelPath::Avx2:
        return MultiplyAddAvx2;
    case KernelPath::Gfni:
        return MultiplyAddGfni;
#endif
    default:
        return MultiplyAddByTable;
    }
}

bool IsAvailable(KernelPath path) {
    const std::vector<KernelPath>& paths = AvailablePaths();
    return std::find(paths.begin(), paths.end(), path) != paths.end();
}

void RunOne(KernelPath path, uint8_t* dst, const uint8_t* src, size_t bytes, uint16_t factor) {
    if (factor == 0 || bytes < 2) return;
    FactorTables tables;
    PrepareFactor(tables, factor, path);
    LoopOf(path)(tables, dst, src, bytes & ~size_t{1});
}

void RunMany(KernelPath path, uint8_t* const dsts[], const uint16_t factors[], size_t count,
             const uint8_t* src, size_t bytes) {
    bytes &= ~size_t{1};
    const PathLoop loop = LoopOf(path);
    // The destinations a run of tables at a time: the tables' memory stays small whatever the
    // count (a recovery file of thousands of slices).
    std::vector<FactorTables> tables(std::min(count, kManyTables));
    for (size_t first = 0; first < count; first += kManyTables) {
        const size_t run = std::min(kManyTables, count - first);
        for (size_t i = 0; i < run; ++i) PrepareFactor(tables[i], factors[first + i], path);
        for (size_t at = 0; at < bytes; at += kManyStretch) {
            const size_t stretch = std::min(kManyStretch, bytes - at);
            for (size_t i = 0; i < run; ++i)
                if (factors[first + i] != 0)
                    loop(tables[i], dsts[first + i] + at, src + at, stretch);
        }
    }
}

} // namespace

void PrepareFactor(FactorTables& tables, uint16_t factor, KernelPath path) {
    uint16_t basis[16];
    for (int j = 0; j < 16; ++j)
        basis[j] = Galois16::Multiply(factor, static_cast<uint16_t>(1u << j));
    switch (path) {
    case KernelPath::Table:
        FillByteTable(tables.lowByte, basis);
        FillByteTable(tables.highByte, basis + 8);
        break;
    case KernelPath::Ssse3:
    case KernelPath::Avx2:
        FillNibbleTables(tables.nibbles, basis);
        break;
    case KernelPath::Gfni:
        for (int block = 0; block < 4; ++block)
            tables.affine[block] = AffineBlock(basis, block / 2, block % 2);
        break;
    }
}

void MultiplyAddByTable(const FactorTables& tables, uint8_t* dst, const uint8_t* src,
                        size_t bytes) {
    for (size_t i = 0; i < bytes; i += 2) {
        const uint16_t product = tables.lowByte[src[i]] ^ tables.highByte[src[i + 1]];
        dst[i] ^= static_cast<uint8_t>(product);
        dst[i + 1] ^= static_cast<uint8_t>(product >> 8);
    }
}

const char* KernelPathName(KernelPath path) {
    switch (path) {
    case KernelPath::Table:
        return "table";
    case KernelPath::Ssse3:
        return "SSSE3";
    case KernelPath::Avx2:
        return "AVX2";
    case KernelPath::Gfni:
        return "GFNI";
    }
    return "?";
}

const std::vector<KernelPath>& AvailablePaths() {
    static const std::vector<KernelPath> paths = AskProcessor();
    return paths;
}

KernelPath ChosenPath() { return AvailablePaths().back(); }

void MultiplyAdd(uint8_t* dst, const uint8_t* src, size_t bytes, uint16_t factor) {
    RunOne(ChosenPath(), dst, src, bytes, factor);
}

void MultiplyAddMany(uint8_t* const dsts[], const uint16_t factors[], size_t count,
                     const uint8_t* src, size_t bytes) {
    RunMany(ChosenPath(), dsts, factors, count, src, bytes);
}

bool MultiplyAddWith(KernelPath path, uint8_t* dst, const uint8_t* src, size_t bytes,
                     uint16_t factor) {
    if (!IsAvailable(path)) return false;
    RunOne(path, dst, src, bytes, factor);
    return true;
}

bool MultiplyAddManyWith(KernelPath path, uint8_t* const dsts[], const uint16_t factors[],
                         size_t count, const uint8_t* src, size_t bytes) {
    if (!IsAvailable(path)) return false;
    RunMany(path, dsts, factors, count, src, bytes);
    return true;
}
