// The multiply-add paths: the table path against a plain product word by word, every
// processor path this machine has against the table path on every short length around the
// vector widths and on long runs, at any alignment, with the bytes around each run untouched;
// a run added into itself; several destinations at once; and a missing path refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "engine/recovery/Galois16.h"
#include "engine/recovery/Galois16Kernel.h"

namespace {

constexpr KernelPath kAllPaths[] = {KernelPath::Table, KernelPath::Ssse3, KernelPath::Avx2,
                                    KernelPath::Gfni};
// Bytes before and after each run that no path may touch.
constexpr size_t kGuard = 40;

bool Has(KernelPath path) {
    const std::vector<KernelPath>& paths = AvailablePaths();
    return std::find(paths.begin(), paths.end(), path) != paths.end();
}

std::vector<uint8_t> RandomBytes(std::mt19937& random, size_t size) {
    std::vector<uint8_t> bytes(size);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

// dst ^= factor * src word by word with the field's own product.
void PlainMultiplyAdd(uint8_t* dst, const uint8_t* src, size_t bytes, uint16_t factor) {
    for (size_t i = 0; i < bytes; i += 2) {
        const uint16_t product =
            Galois16::Multiply(factor, static_cast<uint16_t>(src[i] | src[i + 1] << 8));
        dst[i] ^= static_cast<uint8_t>(product);
        dst[i + 1] ^= static_cast<uint8_t>(product >> 8);
    }
}

// Runs path and the reference over the same run of bytes at the given offsets of buffers
// holding guards around it; the whole buffers must agree.
void Compare(KernelPath path, bool byTable, size_t bytes, size_t dstAt, size_t srcAt,
             uint16_t factor, std::mt19937& random) {
    const std::vector<uint8_t> src = RandomBytes(random, bytes + srcAt + kGuard);
    std::vector<uint8_t> dst = RandomBytes(random, bytes + dstAt + kGuard);
    std::vector<uint8_t> expected = dst;
    if (byTable)
        MultiplyAddWith(KernelPath::Table, expected.data() + dstAt, src.data() + srcAt, bytes,
                        factor);
    else
        PlainMultiplyAdd(expected.data() + dstAt, src.data() + srcAt, bytes, factor);
    ASSERT_TRUE(MultiplyAddWith(path, dst.data() + dstAt, src.data() + srcAt, bytes, factor));
    ASSERT_EQ(dst, expected) << KernelPathName(path) << ": " << bytes << " bytes, dst +" << dstAt
                             << ", src +" << srcAt << ", factor " << factor;
}

void CompareEverywhere(KernelPath path, bool byTable) {
    std::mt19937 random(static_cast<unsigned>(path) + 100);
    const uint16_t factors[] = {0, 1, 0xFFFF, static_cast<uint16_t>(random() | 2),
                                static_cast<uint16_t>(random())};
    for (const uint16_t factor : factors)
        for (size_t bytes = 0; bytes <= 130; bytes += 2)
            for (size_t dstAt = 0; dstAt < 4; ++dstAt)
                for (size_t srcAt = 0; srcAt < 4; ++srcAt) {
                    Compare(path, byTable, bytes, dstAt, srcAt, factor, random);
                    // One case that differs says it; the thousands after it would not add.
                    if (::testing::Test::HasFatalFailure()) return;
                }
    for (const size_t bytes : {size_t{4096}, size_t{65536 + 62}, size_t{1048576 + 34}})
        for (const size_t at : {size_t{0}, size_t{3}})
            Compare(path, byTable, bytes, at, 1 + at / 2, factors[3], random);
}

} // namespace

TEST(Galois16Kernel, TheTablePathGivesTheFieldsProducts) {
    CompareEverywhere(KernelPath::Table, false);
}

TEST(Galois16Kernel, EveryProcessorPathAgreesWithTheTablePath) {
    for (const KernelPath path : kAllPaths) {
        if (path == KernelPath::Table) continue;
        if (!Has(path)) {
            std::printf("NOTE: this processor lacks %s\n", KernelPathName(path));
            continue;
        }
        std::printf("[ path ] %s\n", KernelPathName(path));
        CompareEverywhere(path, true);
    }
    std::printf("[ path ] MultiplyAdd takes %s\n", KernelPathName(ChosenPath()));
    EXPECT_EQ(ChosenPath(), AvailablePaths().back());
}

TEST(Galois16Kernel, ARunAddedIntoItselfIsMultipliedByTheFactorPlusOne) {
    std::mt19937 random(21);
    for (const KernelPath path : AvailablePaths())
        for (const size_t bytes : {size_t{2}, size_t{62}, size_t{64}, size_t{1000}})
            for (const uint16_t factor : {uint16_t{1}, uint16_t{0x8001}}) {
                std::vector<uint8_t> run = RandomBytes(random, bytes), expected(bytes, 0);
                PlainMultiplyAdd(expected.data(), run.data(), bytes, factor ^ 1);
                MultiplyAddWith(path, run.data(), run.data(), bytes, factor);
                EXPECT_EQ(run, expected) << KernelPathName(path) << " " << bytes << " " << factor;
            }
}

TEST(Galois16Kernel, ManyDestinationsEqualOneAtATime) {
    std::mt19937 random(33);
    // Past several of the source's stretches, ending in a short one.
    const size_t bytes = 3 * 16384 + 46;
    const std::vector<uint8_t> src = RandomBytes(random, bytes + 1);
    // More destinations than the kernel prepares tables for at once.
    std::vector<uint16_t> factors = {0, 1, 0x2F1A, static_cast<uint16_t>(random()), 0xFFFF};
    while (factors.size() < 75) factors.push_back(static_cast<uint16_t>(random()));
    const size_t count = factors.size();
    for (const KernelPath path : AvailablePaths()) {
        std::vector<std::vector<uint8_t>> dsts, expected;
        std::vector<uint8_t*> targets;
        for (size_t i = 0; i < count; ++i) {
            dsts.push_back(RandomBytes(random, bytes + i + kGuard));
            expected.push_back(dsts.back());
            PlainMultiplyAdd(expected.back().data() + i, src.data() + 1, bytes, factors[i]);
        }
        for (size_t i = 0; i < count; ++i) targets.push_back(dsts[i].data() + i);
        ASSERT_TRUE(MultiplyAddManyWith(path, targets.data(), factors.data(), count, src.data() + 1,
                                        bytes));
        for (size_t i = 0; i < count; ++i)
            EXPECT_EQ(dsts[i], expected[i]) << KernelPathName(path) << ", destination " << i;
    }
    uint8_t* none = nullptr;
    MultiplyAddMany(&none, factors.data(), 0, src.data(), bytes);
}

TEST(Galois16Kernel, AMissingPathIsRefusedAndTouchesNothing) {
    std::vector<uint8_t> dst(64, 0x11);
    const std::vector<uint8_t> src(64, 0x22), before = dst;
    uint8_t* targets[] = {dst.data()};
    const uint16_t factors[] = {3};
    for (const KernelPath path : kAllPaths) {
        EXPECT_EQ(MultiplyAddWith(path, dst.data(), src.data(), 64, 3), Has(path));
        EXPECT_EQ(MultiplyAddManyWith(path, targets, factors, 1, src.data(), 64), Has(path));
        if (!Has(path)) {
            EXPECT_EQ(dst, before) << KernelPathName(path);
        }
        dst = before;
    }
}
