// The recovery arithmetic's multiply-add speed, for one destination and for many.
#include "bench/GfBench.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

#include "bench/Fastest.h"
#include "engine/recovery/Galois16Kernel.h"

namespace {

constexpr double kTotal = 1024.0 * 1024 * 1024;
constexpr int kTries = 3;
// Any factor but 0 and 1 costs the same; this one has bits in every nibble.
constexpr uint16_t kFactor = 0x5AC3;

double Fastest(const std::function<void()>& work) { return FastestOf(kTries, work); }

std::vector<uint8_t> RandomBytes(size_t size) {
    std::mt19937 random(1);
    std::vector<uint8_t> bytes(size);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

void TimeOne(size_t bytes) {
    const std::vector<uint8_t> src = RandomBytes(bytes);
    std::vector<uint8_t> dst = RandomBytes(bytes);
    const size_t rounds = std::max<size_t>(1, static_cast<size_t>(kTotal / bytes));
    std::printf("MultiplyAdd, a %zu-byte buffer %zu times, one core:\n", bytes, rounds);
    for (const KernelPath path : AvailablePaths()) {
        const double seconds = Fastest([&] {
            for (size_t i = 0; i < rounds; ++i)
                MultiplyAddWith(path, dst.data(), src.data(), bytes, kFactor);
        });
        std::printf("  %-6s %6.2f GB/s\n", KernelPathName(path), rounds * bytes / seconds / 1e9);
        std::fflush(stdout);
    }
}

void TimeMany(size_t bytes, size_t count) {
    const std::vector<uint8_t> src = RandomBytes(bytes);
    std::vector<std::vector<uint8_t>> dsts(count, RandomBytes(bytes));
    std::vector<uint8_t*> targets;
    std::vector<uint16_t> factors;
    for (size_t i = 0; i < count; ++i) {
        targets.push_back(dsts[i].data());
        factors.push_back(static_cast<uint16_t>(kFactor + i));
    }
    const size_t rounds = std::max<size_t>(1, static_cast<size_t>(kTotal / (bytes * count)));
    std::printf("MultiplyAddMany into %zu destinations of %zu bytes, %zu times, against %zu calls "
                "one at a time:\n",
                count, bytes, rounds, count);
    for (const KernelPath path : AvailablePaths()) {
        const double many = Fastest([&] {
            for (size_t r = 0; r < rounds; ++r)
                MultiplyAddManyWith(path, targets.data(), factors.data(), count, src.data(), bytes);
        });
        const double single = Fastest([&] {
            for (size_t r = 0; r < rounds; ++r)
                for (size_t i = 0; i < count; ++i)
                    MultiplyAddWith(path, targets[i], src.data(), bytes, factors[i]);
        });
        const double done = static_cast<double>(rounds) * bytes * count;
        std::printf("  %-6s many %6.2f GB/s, one at a time %6.2f GB/s\n", KernelPathName(path),
                    done / many / 1e9, done / single / 1e9);
        std::fflush(stdout);
    }
}

} // namespace

int RunGfBench(size_t bytes, size_t manyBytes, size_t count) {
    if (bytes < 2 || bytes % 2 != 0 || manyBytes < 2 || manyBytes % 2 != 0) {
        std::fprintf(stderr, "gf-muladd: the sizes are even and at least 2\n");
        return 2;
    }
    std::printf("MultiplyAdd takes %s here.\n", KernelPathName(ChosenPath()));
    TimeOne(bytes);
    if (count > 0) TimeMany(manyBytes, count);
    return 0;
}
