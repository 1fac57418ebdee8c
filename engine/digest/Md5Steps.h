// MD5's steps, for the digest itself and for code that weaves them between the steps of
// another digest of the same blocks.
#pragma once
#include <cstdint>

namespace Md5Steps {

inline constexpr uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
inline constexpr int kShifts[4][4] = {
    {7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

constexpr uint32_t Rotate(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t Word(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

// The word step s of round r takes.
constexpr int WordOf(int r, int s) {
    return r == 0 ? s : r == 1 ? (1 + 5 * s) & 15 : r == 2 ? (5 + 3 * s) & 15 : (7 * s) & 15;
}

// Step s of round R, everything but the four registers known when it is compiled.
template <int R, int S>
inline void Step(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, const uint32_t* x) {
    // The terms that do not wait for b, the register just computed, are added first.
    uint32_t sum = a + x[WordOf(R, S)] + kSines[R * 16 + S];
    if constexpr (R == 0) {
        sum += d ^ (b & (c ^ d));
    } else if constexpr (R == 1) {
        // (b & d) | (c & ~d): the two have no bit in common, so their sum is the same.
        sum += c & ~d;
        sum += b & d;
    } else if constexpr (R == 2) {
        sum += b ^ (c ^ d);
    } else {
        sum += c ^ (b | ~d);
    }
    a = b + Rotate(sum, kShifts[R][S & 3]);
}

// Steps 4q .. 4q + 3 of round R, the registers turning one place each step.
template <int R, int Q>
inline void Quarter(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const uint32_t* x) {
    Step<R, 4 * Q>(a, b, c, d, x);
    Step<R, 4 * Q + 1>(d, a, b, c, x);
    Step<R, 4 * Q + 2>(c, d, a, b, x);
    Step<R, 4 * Q + 3>(b, c, d, a, x);
}

template <int R>
inline void Round(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const uint32_t* x) {
    Quarter<R, 0>(a, b, c, d, x);
    Quarter<R, 1>(a, b, c, d, x);
    Quarter<R, 2>(a, b, c, d, x);
    Quarter<R, 3>(a, b, c, d, x);
}

// The four rounds of one 64-byte block, its words at x, on the registers a .. d.
inline void Block(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const uint32_t* x) {
    Round<0>(a, b, c, d, x);
    Round<1>(a, b, c, d, x);
    Round<2>(a, b, c, d, x);
    Round<3>(a, b, c, d, x);
}

// The block's sixteen words.
inline void LoadWords(uint32_t (&x)[16], const uint8_t* at) {
    for (int i = 0; i < 16; ++i) x[i] = Word(at + 4 * i);
}

} // namespace Md5Steps
