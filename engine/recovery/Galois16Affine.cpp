// The affine path: multiplying by a constant is a linear map of a word's 16 bits, four 8x8
// bit matrices between its low and high bytes, and GFNI's affine transform applies one such
// matrix to every byte of a register. The words' low and high bytes are gathered into a
// register each as on the shuffle paths, and the results interleaved back into words.
#include "engine/recovery/Galois16Paths.h"

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>

#include <cstring>

namespace {

struct Matrices {
    __m256i lowFromLow, lowFromHigh, highFromLow, highFromHigh;
};

// 32 words of dst ^= their product with src's 32 words.
__attribute__((target("gfni,avx2"))) inline void Step32(const Matrices& m, uint8_t* dst,
                                                        const uint8_t* src) {
    const __m256i lowBytesFirst =
        _mm256_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15, 0, 2, 4, 6, 8, 10,
                         12, 14, 1, 3, 5, 7, 9, 11, 13, 15);
    const __m256i a = _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src)),
                                          lowBytesFirst);
    const __m256i b = _mm256_shuffle_epi8(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 32)), lowBytesFirst);
    const __m256i low = _mm256_unpacklo_epi64(a, b), high = _mm256_unpackhi_epi64(a, b);
    const __m256i productLow =
        _mm256_xor_si256(_mm256_gf2p8affine_epi64_epi8(low, m.lowFromLow, 0),
                         _mm256_gf2p8affine_epi64_epi8(high, m.lowFromHigh, 0));
    const __m256i productHigh =
        _mm256_xor_si256(_mm256_gf2p8affine_epi64_epi8(low, m.highFromLow, 0),
                         _mm256_gf2p8affine_epi64_epi8(high, m.highFromHigh, 0));
    __m256i* out = reinterpret_cast<__m256i*>(dst);
    _mm256_storeu_si256(out, _mm256_xor_si256(_mm256_loadu_si256(out),
                                              _mm256_unpacklo_epi8(productLow, productHigh)));
    _mm256_storeu_si256(out + 1, _mm256_xor_si256(_mm256_loadu_si256(out + 1),
                                                  _mm256_unpackhi_epi8(productLow, productHigh)));
}

} // namespace

__attribute__((target("gfni,avx2"))) void MultiplyAddGfni(const FactorTables& tables, uint8_t* dst,
                                                          const uint8_t* src, size_t bytes) {
    constexpr size_t kStep = 64;
    const auto& a = tables.affine;
    const Matrices m{_mm256_set1_epi64x(static_cast<long long>(a[0])),
                     _mm256_set1_epi64x(static_cast<long long>(a[1])),
                     _mm256_set1_epi64x(static_cast<long long>(a[2])),
                     _mm256_set1_epi64x(static_cast<long long>(a[3]))};
    size_t at = 0;
    for (; at + kStep <= bytes; at += kStep) Step32(m, dst + at, src + at);
    if (at == bytes) return;
    // The last few words through one step on zero-padded copies.
    uint8_t in[kStep] = {}, out[kStep] = {};
    std::memcpy(in, src + at, bytes - at);
    std::memcpy(out, dst + at, bytes - at);
    Step32(m, out, in);
    std::memcpy(dst + at, out, bytes - at);
}

#endif
