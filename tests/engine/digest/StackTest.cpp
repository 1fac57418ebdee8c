// The processor-specific code called as Windows may call it on i686: a window procedure, a
// thread's start or a timer is promised only a 4-byte aligned stack, while the compiler's
// vector code may keep 16-byte values on it. A thunk enters each function with the stack 0, 4,
// 8 and 12 bytes off the alignment the compiler assumes; each result must equal the plain one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "engine/digest/Crc32.h"
#include "engine/recovery/Galois16Kernel.h"
#include "engine/digest/Md5.h"
#include "engine/digest/Sha256.h"
#include "engine/digest/ShaInstructions.h"

extern "C" void CallWithStackOff(void (*procedure)(void*), void* data, unsigned offset);
extern "C" void NoteEntryStack(void* stack);

// Aligns the stack to 16 bytes, moves it offset bytes down and calls procedure(data), so that
// procedure starts with its stack offset bytes off where a 16-byte aligned call would leave it.
asm(R"(
    .text
    .globl _CallWithStackOff
_CallWithStackOff:
    pushl %ebp
    movl %esp, %ebp
    movl 16(%ebp), %ecx
    andl $-16, %esp
    subl %ecx, %esp
    subl $12, %esp
    pushl 12(%ebp)
    call *8(%ebp)
    movl %ebp, %esp
    popl %ebp
    ret

    .globl _NoteEntryStack
_NoteEntryStack:
    movl 4(%esp), %eax
    movl %esp, (%eax)
    ret
)");

namespace {

constexpr unsigned kOffsets[] = {0, 4, 8, 12};

// Runs work with the stack off by offset bytes at its entry.
void RunOffStack(const std::function<void()>& work, unsigned offset) {
    CallWithStackOff([](void* data) { (*static_cast<const std::function<void()>*>(data))(); },
                     const_cast<std::function<void()>*>(&work), offset);
}

std::vector<unsigned char> RandomBytes(size_t size) {
    std::mt19937 random(1234);
    std::vector<unsigned char> bytes(size);
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(random());
    return bytes;
}

void SayPath(bool has, const char* what) {
    std::printf("%s %s\n", has ? "[ path ] this processor runs" : "NOTE: this processor lacks",
                what);
}

} // namespace

TEST(Stack, TheThunkLeavesTheStackWhereItSays) {
    for (const unsigned offset : kOffsets) {
        uintptr_t entry = 0;
        CallWithStackOff(NoteEntryStack, &entry, offset);
        // A 16-byte aligned call leaves the return address at an address 12 modulo 16.
        EXPECT_EQ((entry + 4 + offset) % 16, 0u) << offset;
    }
}

TEST(Stack, ShaExtensionsTakeAnyStack) {
    SayPath(HasShaInstructions(), "the SHA extensions");
    if (!HasShaInstructions()) return;
    const std::vector<unsigned char> blocks = RandomBytes(64 * 33);
    uint32_t plain[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    uint32_t plainMd5[4] = {9, 10, 11, 12};
    uint32_t plainWoven[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    CompressWithShaInstructions(plain, blocks.data(), 33);
    CompressWithShaInstructionsAndMd5(plainWoven, plainMd5, blocks.data(), 33);
    for (const unsigned offset : kOffsets) {
        uint32_t state[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        uint32_t woven[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        uint32_t md5[4] = {9, 10, 11, 12};
        RunOffStack([&] { CompressWithShaInstructions(state, blocks.data(), 33); }, offset);
        RunOffStack([&] { CompressWithShaInstructionsAndMd5(woven, md5, blocks.data(), 33); },
                    offset);
        EXPECT_EQ(0, std::memcmp(state, plain, sizeof state)) << offset;
        EXPECT_EQ(0, std::memcmp(woven, plainWoven, sizeof woven)) << offset;
        EXPECT_EQ(0, std::memcmp(md5, plainMd5, sizeof md5)) << offset;
    }
}

// Two states in one pass, on one message schedule (the same blocks) and on one each, end where
// each alone ends.
TEST(Stack, TwoShaStatesInOnePassTakeAnyStack) {
    if (!HasShaInstructions()) return;
    const std::vector<unsigned char> blocks = RandomBytes(64 * 34);
    uint32_t alone[8] = {1, 2, 3, 4, 5, 6, 7, 8}, otherAlone[8] = {8, 7, 6, 5, 4, 3, 2, 1};
    uint32_t shifted[8] = {8, 7, 6, 5, 4, 3, 2, 1};
    CompressWithShaInstructions(alone, blocks.data(), 33);
    CompressWithShaInstructions(otherAlone, blocks.data(), 33);
    CompressWithShaInstructions(shifted, blocks.data() + 40, 33);
    for (const unsigned offset : kOffsets) {
        uint32_t same[8] = {1, 2, 3, 4, 5, 6, 7, 8}, sameOther[8] = {8, 7, 6, 5, 4, 3, 2, 1};
        uint32_t own[8] = {1, 2, 3, 4, 5, 6, 7, 8}, ownOther[8] = {8, 7, 6, 5, 4, 3, 2, 1};
        RunOffStack(
            [&] {
                CompressTwoWithShaInstructions(same, blocks.data(), sameOther, blocks.data(), 33);
                CompressTwoWithShaInstructions(own, blocks.data(), ownOther, blocks.data() + 40,
                                               33);
            },
            offset);
        EXPECT_EQ(0, std::memcmp(same, alone, sizeof same)) << offset;
        EXPECT_EQ(0, std::memcmp(sameOther, otherAlone, sizeof sameOther)) << offset;
        EXPECT_EQ(0, std::memcmp(own, alone, sizeof own)) << offset;
        EXPECT_EQ(0, std::memcmp(ownOther, shifted, sizeof ownOther)) << offset;
    }
    // Blocks taken while alike with another run: all of them, or those before the first that
    // differs.
    std::vector<unsigned char> other = blocks;
    other[64 * 20 + 7] ^= 1;
    uint32_t firstTwenty[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    CompressWithShaInstructions(firstTwenty, blocks.data(), 20);
    for (const unsigned offset : kOffsets) {
        uint32_t all[8] = {1, 2, 3, 4, 5, 6, 7, 8}, some[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        size_t allTaken = 0, someTaken = 0;
        const std::vector<unsigned char> copy = blocks;
        RunOffStack(
            [&] {
                allTaken =
                    CompressWithShaInstructionsWhileAlike(all, blocks.data(), copy.data(), 33);
                someTaken =
                    CompressWithShaInstructionsWhileAlike(some, blocks.data(), other.data(), 33);
            },
            offset);
        EXPECT_EQ(allTaken, 33u) << offset;
        EXPECT_EQ(0, std::memcmp(all, alone, sizeof all)) << offset;
        EXPECT_EQ(someTaken, 20u) << offset;
        EXPECT_EQ(0, std::memcmp(some, firstTwenty, sizeof some)) << offset;
    }
}

TEST(Stack, VectorCompareTakesAnyStack) {
    if (!HasShaInstructions()) return;
    const std::vector<unsigned char> bytes = RandomBytes(1000);
    const std::vector<unsigned char> copy = bytes;
    std::vector<unsigned char> other = bytes;
    other[517] ^= 4;
    for (const unsigned offset : kOffsets) {
        bool alike = false, differ = true;
        RunOffStack(
            [&] {
                alike = SameBytesWithVectors(bytes.data(), copy.data(), bytes.size());
                differ = SameBytesWithVectors(bytes.data(), other.data(), bytes.size());
            },
            offset);
        EXPECT_TRUE(alike) << offset;
        EXPECT_FALSE(differ) << offset;
    }
}

TEST(Stack, DigestsThroughTheirClassesTakeAnyStack) {
    const std::vector<unsigned char> bytes = RandomBytes(100000);
    const std::optional<std::string> plain = Sha256Of(bytes.data(), bytes.size());
    ASSERT_TRUE(plain.has_value());
    const Md5Digest plainMd5 = Md5Of(bytes.data(), bytes.size());
    for (const unsigned offset : kOffsets) {
        std::optional<std::string> digits;
        Md5Digest md5{};
        std::optional<std::string> twin, shifted;
        RunOffStack(
            [&] {
                Sha256 sha;
                Md5 beside;
                sha.Add(bytes.data(), bytes.size(), beside);
                digits = sha.Finish();
                md5 = beside.Finish();
                Sha256 first, second, third;
                first.AddBeside(bytes.data(), bytes.size(), second, bytes.data(), bytes.size());
                third.Add(bytes.data(), 5);
                first.AddBeside(bytes.data(), 0, third, bytes.data() + 5, bytes.size() - 5);
                twin = second.Finish();
                shifted = third.Finish();
            },
            offset);
        EXPECT_EQ(digits, plain) << offset;
        EXPECT_EQ(md5, plainMd5) << offset;
        EXPECT_EQ(twin, plain) << offset;
        EXPECT_EQ(shifted, plain) << offset;
    }
}

TEST(Stack, FoldedCrcTakesAnyStack) {
    const std::vector<unsigned char> bytes = RandomBytes(4096 + 37);
    for (const size_t size : {size_t{64}, size_t{100}, bytes.size()}) {
        const uint32_t byTable = Crc32AddByTable(0, bytes.data(), size);
        for (const unsigned offset : kOffsets) {
            uint32_t crc = 0;
            RunOffStack([&] { crc = Crc32Add(0, bytes.data(), size); }, offset);
            EXPECT_EQ(crc, byTable) << size << " bytes, offset " << offset;
        }
    }
}

TEST(Stack, EveryMultiplyAddPathTakesAnyStack) {
    const std::vector<unsigned char> src = RandomBytes(4096 + 46);
    const uint16_t factors[] = {0x1234, 0xFFFF, 7};
    const std::vector<KernelPath>& paths = AvailablePaths();
    for (const KernelPath path : {KernelPath::Ssse3, KernelPath::Avx2, KernelPath::Gfni})
        SayPath(std::find(paths.begin(), paths.end(), path) != paths.end(), KernelPathName(path));
    for (const KernelPath path : AvailablePaths()) {
        // An odd start, and a length that leaves a few words after the last full step.
        std::vector<unsigned char> plain(src.size(), 0x5A);
        std::vector<unsigned char> plainMany[3];
        for (auto& d : plainMany) d.assign(src.size(), 0xA5);
        unsigned char* plainTargets[] = {plainMany[0].data() + 1, plainMany[1].data() + 1,
                                         plainMany[2].data() + 1};
        MultiplyAddWith(path, plain.data() + 1, src.data() + 3, src.size() - 4, factors[0]);
        MultiplyAddManyWith(path, plainTargets, factors, 3, src.data() + 3, src.size() - 4);
        for (const unsigned offset : kOffsets) {
            std::vector<unsigned char> one(src.size(), 0x5A);
            std::vector<unsigned char> many[3];
            for (auto& d : many) d.assign(src.size(), 0xA5);
            unsigned char* targets[] = {many[0].data() + 1, many[1].data() + 1, many[2].data() + 1};
            RunOffStack(
                [&] {
                    MultiplyAddWith(path, one.data() + 1, src.data() + 3, src.size() - 4,
                                    factors[0]);
                    MultiplyAddManyWith(path, targets, factors, 3, src.data() + 3, src.size() - 4);
                },
                offset);
            EXPECT_EQ(one, plain) << KernelPathName(path) << ", offset " << offset;
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(many[i], plainMany[i]) << KernelPathName(path) << ", offset " << offset;
        }
    }
}
