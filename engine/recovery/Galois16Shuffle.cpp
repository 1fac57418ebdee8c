// The shuffle paths: a word's product is the XOR of its four nibbles' products, and a byte
// shuffle looks sixteen nibbles up in a 16-byte table at once. The words' low and high bytes
// are first gathered into a register each, their products' low and high bytes computed apart,
// and the results interleaved back into words.
#include "engine/recovery/Galois16Paths.h"

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>

#include <cstring>

namespace {

// 16 words of dst ^= their product with src's 16 words, by tables t (rows as in FactorTables).
__attribute__((target("ssse3"))) inline void Step16(const __m128i (&t)[8], uint8_t* dst,
                                                    const uint8_t* src) {
    const __m128i lowBytesFirst =
        _mm_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15);
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i a =
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src)), lowBytesFirst);
    const __m128i b = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16)),
                                       lowBytesFirst);
    const __m128i low = _mm_unpacklo_epi64(a, b), high = _mm_unpackhi_epi64(a, b);
    const __m128i n0 = _mm_and_si128(low, nibble);
    const __m128i n1 = _mm_and_si128(_mm_srli_epi16(low, 4), nibble);
    const __m128i n2 = _mm_and_si128(high, nibble);
    const __m128i n3 = _mm_and_si128(_mm_srli_epi16(high, 4), nibble);
    const __m128i productLow =
        _mm_xor_si128(_mm_xor_si128(_mm_shuffle_epi8(t[0], n0), _mm_shuffle_epi8(t[2], n1)),
                      _mm_xor_si128(_mm_shuffle_epi8(t[4], n2), _mm_shuffle_epi8(t[6], n3)));
    const __m128i productHigh =
        _mm_xor_si128(_mm_xor_si128(_mm_shuffle_epi8(t[1], n0), _mm_shuffle_epi8(t[3], n1)),
                      _mm_xor_si128(_mm_shuffle_epi8(t[5], n2), _mm_shuffle_epi8(t[7], n3)));
    __m128i* out = reinterpret_cast<__m128i*>(dst);
    _mm_storeu_si128(
        out, _mm_xor_si128(_mm_loadu_si128(out), _mm_unpacklo_epi8(productLow, productHigh)));
    _mm_storeu_si128(out + 1, _mm_xor_si128(_mm_loadu_si128(out + 1),
                                            _mm_unpackhi_epi8(productLow, productHigh)));
}

// The same for 32 words; the byte shuffles and unpacks work within each 128-bit half, so the
// halves go through the same steps as above side by side.
__attribute__((target("avx2"))) inline void Step32(const __m256i (&t)[8], uint8_t* dst,
                                                   const uint8_t* src) {
    const __m256i lowBytesFirst =
        _mm256_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15, 0, 2, 4, 6, 8, 10,
                         12, 14, 1, 3, 5, 7, 9, 11, 13, 15);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i a = _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src)),
                                          lowBytesFirst);
    const __m256i b = _mm256_shuffle_epi8(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 32)), lowBytesFirst);
    const __m256i low = _mm256_unpacklo_epi64(a, b), high = _mm256_unpackhi_epi64(a, b);
    const __m256i n0 = _mm256_and_si256(low, nibble);
    const __m256i n1 = _mm256_and_si256(_mm256_srli_epi16(low, 4), nibble);
    const __m256i n2 = _mm256_and_si256(high, nibble);
    const __m256i n3 = _mm256_and_si256(_mm256_srli_epi16(high, 4), nibble);
    const __m256i productLow = _mm256_xor_si256(
        _mm256_xor_si256(_mm256_shuffle_epi8(t[0], n0), _mm256_shuffle_epi8(t[2], n1)),
        _mm256_xor_si256(_mm256_shuffle_epi8(t[4], n2), _mm256_shuffle_epi8(t[6], n3)));
    const __m256i productHigh = _mm256_xor_si256(
        _mm256_xor_si256(_mm256_shuffle_epi8(t[1], n0), _mm256_shuffle_epi8(t[3], n1)),
        _mm256_xor_si256(_mm256_shuffle_epi8(t[5], n2), _mm256_shuffle_epi8(t[7], n3)));
    __m256i* out = reinterpret_cast<__m256i*>(dst);
    _mm256_storeu_si256(out, _mm256_xor_si256(_mm256_loadu_si256(out),
                                              _mm256_unpacklo_epi8(productLow, productHigh)));
    _mm256_storeu_si256(out + 1, _mm256_xor_si256(_mm256_loadu_si256(out + 1),
                                                  _mm256_unpackhi_epi8(productLow, productHigh)));
}

} // namespace

__attribute__((target("ssse3"))) void MultiplyAddSsse3(const FactorTables& tables, uint8_t* dst,
                                                       const uint8_t* src, size_t bytes) {
    constexpr size_t kStep = 32;
    __m128i t[8];
    for (int i = 0; i < 8; ++i)
        t[i] = _mm_load_si128(reinterpret_cast<const __m128i*>(tables.nibbles[i]));
    size_t at = 0;
    for (; at + kStep <= bytes; at += kStep) Step16(t, dst + at, src + at);
    if (at == bytes) return;
    // The last few words through one step on zero-padded copies.
    uint8_t in[kStep] = {}, out[kStep] = {};
    std::memcpy(in, src + at, bytes - at);
    std::memcpy(out, dst + at, bytes - at);
    Step16(t, out, in);
    std::memcpy(dst + at, out, bytes - at);
}

__attribute__((target("avx2"))) void MultiplyAddAvx2(const FactorTables& tables, uint8_t* dst,
                                                     const uint8_t* src, size_t bytes) {
    constexpr size_t kStep = 64;
    __m256i t[8];
    for (int i = 0; i < 8; ++i)
        t[i] = _mm256_broadcastsi128_si256(
            _mm_load_si128(reinterpret_cast<const __m128i*>(tables.nibbles[i])));
    size_t at = 0;
    for (; at + kStep <= bytes; at += kStep) Step32(t, dst + at, src + at);
    if (at == bytes) return;
    uint8_t in[kStep] = {}, out[kStep] = {};
    std::memcpy(in, src + at, bytes - at);
    std::memcpy(out, dst + at, bytes - at);
    Step32(t, out, in);
    std::memcpy(dst + at, out, bytes - at);
}

#endif
