// SHA-256's rounds on the SHA extensions: one state, two side by side, and one with MD5's steps
// woven in.
#include "engine/digest/ShaInstructions.h"

#include <cpuid.h>
#include <immintrin.h>

#include <utility>

#include "engine/digest/Md5Steps.h"

namespace {

alignas(16) constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

// How far ahead of the block being hashed its bytes are asked for: a page on. The bytes come
// fresh from a read on another processor, and the processor's own fetching ahead stops at each
// page's end, where the rounds would otherwise wait for the next page's first lines.
constexpr size_t kFetchAhead = 4096;

bool AskCpuid() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    const bool ssse3 = ecx & (1u << 9), sse41 = ecx & (1u << 19);
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
    const bool sha = ebx & (1u << 29);
    return ssse3 && sse41 && sha;
}

} // namespace

bool HasShaInstructions() {
    static const bool has = AskCpuid();
    return has;
}

// Only the functions from here on use the instructions: the rest of the program runs on
// processors without them.
namespace {

// The state the instructions work on: ABEF and CDGH rather than A .. H.
struct Registers {
    __m128i abef, cdgh;
};

__attribute__((target("sha,sse4.1,ssse3"))) inline Registers Load(const uint32_t (&state)[8]) {
    const __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    const __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    return {_mm_alignr_epi8(cdab, efgh, 8), _mm_blend_epi16(efgh, cdab, 0xF0)};
}

__attribute__((target("sha,sse4.1,ssse3"))) inline void Store(const Registers& r,
                                                              uint32_t (&state)[8]) {
    const __m128i feba = _mm_shuffle_epi32(r.abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(r.cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(dchg, feba, 8));
}

// The block's first sixteen words, four to a register; each 32-bit word is big-endian.
__attribute__((target("sha,sse4.1,ssse3"))) inline void LoadWords(__m128i (&w)[4],
                                                                  const unsigned char* block) {
    const __m128i byteOrder = _mm_set_epi64x(0x0c0d0e0f08090a0bull, 0x0405060700010203ull);
    for (int i = 0; i < 4; ++i)
        w[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i)),
                                byteOrder);
}

// Asks for the bytes a page after the block, so that they are at hand when their turn comes;
// never faults, wherever that is.
__attribute__((target("sse"))) inline void FetchAhead(const unsigned char* block) {
    _mm_prefetch(reinterpret_cast<const char*>(block) + kFetchAhead, _MM_HINT_T0);
}

// The message words of rounds 4i .. 4i+3, their round constants added.
template <int I>
__attribute__((target("sha,sse4.1,ssse3"))) inline __m128i RoundWords(const __m128i (&w)[4]) {
    return _mm_add_epi32(w[I % 4],
                         _mm_load_si128(reinterpret_cast<const __m128i*>(&kRoundConstants[4 * I])));
}

// The schedule's last step for the words of rounds 4(i+1) on, while round 4i's are in use.
template <int I>
__attribute__((target("sha,sse4.1,ssse3"))) inline void FinishNextWords(__m128i (&w)[4]) {
    if constexpr (I >= 3 && I <= 14) {
        __m128i& next = w[(I + 1) % 4];
        next = _mm_add_epi32(next, _mm_alignr_epi8(w[I % 4], w[(I + 3) % 4], 4));
        next = _mm_sha256msg2_epu32(next, w[I % 4]);
    }
}

// The schedule's first step for the words of rounds 4(i+3) on.
template <int I>
__attribute__((target("sha,sse4.1,ssse3"))) inline void StartLaterWords(__m128i (&w)[4]) {
    if constexpr (I >= 1 && I <= 12)
        w[(I + 3) % 4] = _mm_sha256msg1_epu32(w[(I + 3) % 4], w[I % 4]);
}

// Rounds 4i .. 4i+3. The message schedule's words are used in turn: w[i % 4] holds words
// 4i .. 4i+3 when these rounds run, and is then made into those of rounds 4i+16 on.
template <int I>
__attribute__((target("sha,sse4.1,ssse3"))) inline void Rounds(Registers& r, __m128i (&w)[4]) {
    __m128i words = RoundWords<I>(w);
    r.cdgh = _mm_sha256rnds2_epu32(r.cdgh, r.abef, words);
    FinishNextWords<I>(w);
    words = _mm_shuffle_epi32(words, 0x0E);
    r.abef = _mm_sha256rnds2_epu32(r.abef, r.cdgh, words);
    StartLaterWords<I>(w);
}

template <int... I>
__attribute__((target("sha,sse4.1,ssse3"))) inline void AllRounds(std::integer_sequence<int, I...>,
                                                                  Registers& r, __m128i (&w)[4]) {
    (Rounds<I>(r, w), ...);
}

// Rounds 4i .. 4i+3, then MD5's steps 4i .. 4i+3 of the same block on a .. d: the MD5 steps
// wait on the register each step before computed, the SHA rounds on the instructions' results,
// and the processor runs the one while the other waits.
template <int I>
__attribute__((target("sha,sse4.1,ssse3"))) inline void
WovenRounds(Registers& r, __m128i (&w)[4], uint32_t (&md5)[4], const uint32_t* x) {
    Rounds<I>(r, w);
    Md5Steps::Quarter<I / 4, I % 4>(md5[0], md5[1], md5[2], md5[3], x);
}

template <int... I>
__attribute__((target("sha,sse4.1,ssse3"))) inline void
AllWovenRounds(std::integer_sequence<int, I...>, Registers& r, __m128i (&w)[4], uint32_t (&md5)[4],
               const uint32_t* x) {
    (WovenRounds<I>(r, w, md5, x), ...);
}

// Rounds 4i .. 4i+3 of two states over the same block, on one message schedule: each state's
// rounds wait on its own instructions, and the processor runs the other's meanwhile.
template <int I>
__attribute__((target("sha,sse4.1,ssse3"))) inline void SharedRounds(Registers& r, Registers& s,
                                                                     __m128i (&w)[4]) {
    __m128i words = RoundWords<I>(w);
    r.cdgh = _mm_sha256rnds2_epu32(r.cdgh, r.abef, words);
    s.cdgh = _mm_sha256rnds2_epu32(s.cdgh, s.abef, words);
    FinishNextWords<I>(w);
    words = _mm_shuffle_epi32(words, 0x0E);
    r.abef = _mm_sha256rnds2_epu32(r.abef, r.cdgh, words);
    s.abef = _mm_sha256rnds2_epu32(s.abef, s.cdgh, words);
    StartLaterWords<I>(w);
}

template <int... I>
__attribute__((target("sha,sse4.1,ssse3"))) inline void
AllSharedRounds(std::integer_sequence<int, I...>, Registers& r, Registers& s, __m128i (&w)[4]) {
    (SharedRounds<I>(r, s, w), ...);
}

// Rounds 4i .. 4i+3 of two states over blocks of their own, each on its own schedule.
template <int I>
__attribute__((target("sha,sse4.1,ssse3"))) inline void
PairedRounds(Registers& r, __m128i (&w)[4], Registers& s, __m128i (&v)[4]) {
    Rounds<I>(r, w);
    Rounds<I>(s, v);
}

template <int... I>
__attribute__((target("sha,sse4.1,ssse3"))) inline void
AllPairedRounds(std::integer_sequence<int, I...>, Registers& r, __m128i (&w)[4], Registers& s,
                __m128i (&v)[4]) {
    (PairedRounds<I>(r, w, s, v), ...);
}

__attribute__((target("sha,sse4.1,ssse3"))) inline void Add(Registers& r, const Registers& before) {
    r.abef = _mm_add_epi32(r.abef, before.abef);
    r.cdgh = _mm_add_epi32(r.cdgh, before.cdgh);
}

} // namespace

__attribute__((target("sha,sse4.1,ssse3"))) void
CompressWithShaInstructions(uint32_t (&state)[8], const unsigned char* blocks, size_t count) {
    Registers r = Load(state);
    for (; count > 0; --count, blocks += 64) {
        // The state as the block found it goes to memory, to be added back at its end: on
        // i686, whose eight vector registers the rounds fill, the state itself would otherwise
        // go there, and each block would wait for it to come back.
        Registers before = r;
        asm("" : "+m"(before));
        __m128i w[4];
        FetchAhead(blocks);
        LoadWords(w, blocks);
        AllRounds(std::make_integer_sequence<int, 16>{}, r, w);
        Add(r, before);
    }
    Store(r, state);
}

__attribute__((target("sha,sse4.1,ssse3"))) size_t
CompressWithShaInstructionsWhileAlike(uint32_t (&state)[8], const unsigned char* blocks,
                                      const unsigned char* otherBlocks, size_t count) {
    Registers r = Load(state);
    size_t done = 0;
    for (; done < count; ++done, blocks += 64, otherBlocks += 64) {
        // The compare runs beside the rounds of the block before, which wait on each other.
        __m128i differ = _mm_setzero_si128();
        for (int i = 0; i < 4; ++i)
            differ = _mm_or_si128(
                differ,
                _mm_xor_si128(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)),
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(otherBlocks + 16 * i))));
        if (!_mm_testz_si128(differ, differ)) break;
        Registers before = r;
        asm("" : "+m"(before));
        __m128i w[4];
        FetchAhead(blocks);
        FetchAhead(otherBlocks);
        LoadWords(w, blocks);
        AllRounds(std::make_integer_sequence<int, 16>{}, r, w);
        Add(r, before);
    }
    Store(r, state);
    return done;
}

__attribute__((target("sha,sse4.1,ssse3"))) void
CompressWithShaInstructionsAndMd5(uint32_t (&state)[8], uint32_t (&md5State)[4],
                                  const unsigned char* blocks, size_t count) {
    Registers r = Load(state);
    for (; count > 0; --count, blocks += 64) {
        const Registers before = r;
        __m128i w[4];
        FetchAhead(blocks);
        LoadWords(w, blocks);
        uint32_t x[16];
        Md5Steps::LoadWords(x, blocks);
        uint32_t md5[4] = {md5State[0], md5State[1], md5State[2], md5State[3]};
        AllWovenRounds(std::make_integer_sequence<int, 16>{}, r, w, md5, x);
        Add(r, before);
        for (int i = 0; i < 4; ++i) md5State[i] += md5[i];
    }
    Store(r, state);
}

__attribute__((target("sha,sse4.1,ssse3"))) void
CompressTwoWithShaInstructions(uint32_t (&state)[8], const unsigned char* blocks,
                               uint32_t (&other)[8], const unsigned char* otherBlocks,
                               size_t count) {
    Registers r = Load(state), s = Load(other);
    if (blocks == otherBlocks) {
        for (; count > 0; --count, blocks += 64) {
            Registers before = r, otherBefore = s;
            asm("" : "+m"(before), "+m"(otherBefore));
            __m128i w[4];
            FetchAhead(blocks);
            LoadWords(w, blocks);
            AllSharedRounds(std::make_integer_sequence<int, 16>{}, r, s, w);
            Add(r, before);
            Add(s, otherBefore);
        }
    } else {
        for (; count > 0; --count, blocks += 64, otherBlocks += 64) {
            Registers before = r, otherBefore = s;
            asm("" : "+m"(before), "+m"(otherBefore));
            __m128i w[4], v[4];
            FetchAhead(blocks);
            FetchAhead(otherBlocks);
            LoadWords(w, blocks);
            LoadWords(v, otherBlocks);
            AllPairedRounds(std::make_integer_sequence<int, 16>{}, r, w, s, v);
            Add(r, before);
            Add(s, otherBefore);
        }
    }
    Store(r, state);
    Store(s, other);
}

__attribute__((target("sse2"))) bool SameBytesWithVectors(const unsigned char* one,
                                                          const unsigned char* other, size_t size) {
    size_t at = 0;
    for (; at + 64 <= size; at += 64) {
        __m128i differ = _mm_setzero_si128();
        for (size_t i = 0; i < 64; i += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(one + at + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(other + at + i));
            differ = _mm_or_si128(differ, _mm_xor_si128(a, b));
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(differ, _mm_setzero_si128())) != 0xFFFF) return false;
    }
    for (; at < size; ++at)
        if (one[at] != other[at]) return false;
    return true;
}
