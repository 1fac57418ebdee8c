// CRC-32 by tables eight bytes at a time, and by carry-less multiplication where the processor has
// it.
#include "engine/digest/Crc32.h"

#include <array>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define VARNOK_CRC32_FOLDING 1
#endif

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;
// Eight bytes at a time: table k gives a byte's effect k bytes before the end of a run.
constexpr int kSlices = 8;

using Tables = std::array<std::array<uint32_t, 256>, kSlices>;

constexpr Tables MakeTables() {
    Tables t{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ kPolynomial : c >> 1;
        t[0][n] = c;
    }
    for (int k = 1; k < kSlices; ++k)
        for (uint32_t n = 0; n < 256; ++n) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
    return t;
}

constexpr Tables kTables = MakeTables();

// Continues the register c (the CRC before its final inversion) over size bytes.
uint32_t TableRun(uint32_t c, const uint8_t* at, size_t size) {
    for (; size >= kSlices; size -= kSlices, at += kSlices) {
        const uint32_t low =
            c ^ (static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
                 static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24);
        c = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^
            kTables[5][(low >> 16) & 0xFF] ^ kTables[4][low >> 24] ^ kTables[3][at[4]] ^
            kTables[2][at[5]] ^ kTables[1][at[6]] ^ kTables[0][at[7]];
    }
    for (; size > 0; --size, ++at) c = (c >> 8) ^ kTables[0][(c ^ *at) & 0xFF];
    return c;
}

#ifdef VARNOK_CRC32_FOLDING

bool AskCpuid() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    const bool pclmul = ecx & (1u << 1), sse41 = ecx & (1u << 19);
    return pclmul && sse41;
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Load(const uint8_t* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// Multiplies both halves of x by their constants in GF(2) and adds the next 16 bytes: x
// moves that many bytes on, its remainder unchanged.
__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i x, __m128i constants,
                                                             __m128i next) {
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, constants, 0x00),
                                       _mm_clmulepi64_si128(x, constants, 0x11)),
                         next);
}

// Folds 64 bytes at a time with carry-less multiplication (the method of Intel's paper on
// CRC with PCLMULQDQ), then 16 at a time, down to 16 bytes whose CRC from a zero register
// is the register after every byte folded; the table finishes those and the tail. size >= 64.
__attribute__((target("pclmul,sse4.1"))) uint32_t FoldedRun(uint32_t c, const uint8_t* at,
                                                            size_t size) {
    // x^(4*128+32) and x^(4*128-32) modulo the polynomial, reflected; then the same for 128.
    const __m128i by64 = _mm_set_epi64x(0x1c6e41596ll, 0x154442bd4ll);
    const __m128i by16 = _mm_set_epi64x(0x0ccaa009ell, 0x1751997d0ll);
    // The register enters as the first four bytes' complement.
    __m128i x0 = _mm_xor_si128(Load(at), _mm_cvtsi32_si128(static_cast<int>(c)));
    __m128i x1 = Load(at + 16), x2 = Load(at + 32), x3 = Load(at + 48);
    at += 64;
    size -= 64;
    for (; size >= 64; at += 64, size -= 64) {
        x0 = Fold(x0, by64, Load(at));
        x1 = Fold(x1, by64, Load(at + 16));
        x2 = Fold(x2, by64, Load(at + 32));
        x3 = Fold(x3, by64, Load(at + 48));
    }
    x0 = Fold(Fold(Fold(x0, by16, x1), by16, x2), by16, x3);
    for (; size >= 16; at += 16, size -= 16) x0 = Fold(x0, by16, Load(at));
    alignas(16) uint8_t folded[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(folded), x0);
    return TableRun(TableRun(0, folded, sizeof folded), at, size);
}

bool UseFolding() {
    static const bool has = AskCpuid();
    return has;
}

#endif

} // namespace

uint32_t Crc32Add(uint32_t crc, const void* bytes, size_t size) {
    const uint8_t* at = static_cast<const uint8_t*>(bytes);
#ifdef VARNOK_CRC32_FOLDING
    if (size >= 64 && UseFolding()) return ~FoldedRun(~crc, at, size);
#endif
    return ~TableRun(~crc, at, size);
}

uint32_t Crc32AddByTable(uint32_t crc, const void* bytes, size_t size) {
    return ~TableRun(~crc, static_cast<const uint8_t*>(bytes), size);
}

uint32_t Crc32AddZeros(uint32_t crc, uint64_t count) {
    static const uint8_t zeros[4096] = {};
    while (count > 0) {
        const size_t take = count < sizeof zeros ? static_cast<size_t>(count) : sizeof zeros;
        crc = Crc32Add(crc, zeros, take);
        count -= take;
    }
    return crc;
}
