// The digests' speeds over one buffer on one core: SHA-256 alone, two at once, with MD5, MD5,
// CRC-32.
#include "bench/DigestBench.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

#include "bench/Fastest.h"
#include "engine/digest/Crc32.h"
#include "engine/digest/Md5.h"
#include "engine/digest/Sha256.h"
#include "engine/digest/ShaInstructions.h"

namespace {

constexpr size_t kBuffer = 256 * 1024;
constexpr size_t kRounds = 4096; // 1 GiB
constexpr int kTries = 5;

double Fastest(const std::function<void()>& work) { return FastestOf(kTries, work); }

void Say(const char* what, const std::function<void()>& work) {
    const double seconds = Fastest(work);
    std::printf("  %-58s %6.2f GB/s\n", what, kRounds * kBuffer / seconds / 1e9);
    std::fflush(stdout);
}

} // namespace

int RunDigestBench() {
    std::mt19937 random(1);
    // One block more, for a second digest over bytes that start elsewhere.
    std::vector<unsigned char> bytes(kBuffer + 64);
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(random());
    const unsigned char* at = bytes.data();
    std::printf("Digests of a %zu-byte buffer %zu times, one core:\n", kBuffer, kRounds);
    uint32_t crc = 0;
    Md5 md5;
    if (HasShaInstructions()) {
        Sha256 one, two;
        Say("SHA-256 alone", [&] {
            for (size_t i = 0; i < kRounds; ++i) one.Add(at, kBuffer);
        });
        Say("two SHA-256s one after the other", [&] {
            for (size_t i = 0; i < kRounds; ++i) {
                one.Add(at, kBuffer);
                two.Add(at, kBuffer);
            }
        });
        Say("two SHA-256s in one pass, the same blocks", [&] {
            for (size_t i = 0; i < kRounds; ++i) one.AddBeside(at, kBuffer, two, at, kBuffer);
        });
        Say("two SHA-256s in one pass, blocks of their own", [&] {
            for (size_t i = 0; i < kRounds; ++i) one.AddBeside(at, kBuffer, two, at + 32, kBuffer);
        });
        Say("SHA-256 with MD5 woven in", [&] {
            for (size_t i = 0; i < kRounds; ++i) one.Add(at, kBuffer, md5);
        });
    } else {
        std::printf("  NOTE: this processor has no SHA extensions\n");
    }
    Say("MD5 alone", [&] {
        for (size_t i = 0; i < kRounds; ++i) md5.Add(at, kBuffer);
    });
    Say("CRC-32", [&] {
        for (size_t i = 0; i < kRounds; ++i) crc = Crc32Add(crc, at, kBuffer);
    });
    // Used, so that no work is left out.
    std::printf("  (%08x %02x)\n", static_cast<unsigned>(crc), md5.Finish()[0]);
    return 0;
}
