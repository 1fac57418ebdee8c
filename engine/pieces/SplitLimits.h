// The one rule for the numbers a split takes: whether a piece count or a piece size can be
// split, and if not, why. The split refuses with its messages, the figures show a 0.
// Portable: no system calls.
#pragma once
#include <cstdint>
#include <limits>

// The largest count or size value a split takes: the largest 32-bit number.
constexpr int64_t LargestSplitNumber = std::numeric_limits<int32_t>::max();

enum class SplitNumber {
    Splittable,
    OnePiece,       // a count of 1 on a file that is not empty: no split, the file as it is
    TooSmall,       // a count below 2, a size below 1 byte
    TooLarge,       // beyond LargestSplitNumber
    LargerThanFile, // more pieces than bytes, a piece larger than the file
};

// A split of a fileSize-byte file into count pieces. The rules are tried in the split's order.
constexpr SplitNumber JudgeCount(int64_t count, int64_t fileSize) {
    if (count == 1 && fileSize >= 1) return SplitNumber::OnePiece;
    if (count <= 1) return SplitNumber::TooSmall;
    if (count > LargestSplitNumber) return SplitNumber::TooLarge;
    if (count > fileSize) return SplitNumber::LargerThanFile;
    return SplitNumber::Splittable;
}

// value × multiplier, held at the 64-bit limits instead of overflowing.
constexpr int64_t SaturatedProduct(int64_t value, int64_t multiplier) {
    int64_t product = 0;
    if (!__builtin_mul_overflow(value, multiplier, &product)) return product;
    constexpr int64_t largest = std::numeric_limits<int64_t>::max();
    return (value < 0) != (multiplier < 0) ? -largest : largest;
}

// Bytes in a piece of sizeValue units; 0 for a value below 1, which is refused before the
// product (a large negative one times the unit would wrap round to a positive size).
constexpr int64_t PieceBytes(int64_t sizeValue, int64_t unitMultiplier) {
    return sizeValue < 1 ? 0 : SaturatedProduct(sizeValue, unitMultiplier);
}

// A split of a fileSize-byte file into pieces of sizeValue units. The rules are tried in the
// split's order.
constexpr SplitNumber JudgeSize(int64_t sizeValue, int64_t unitMultiplier, int64_t fileSize) {
    if (sizeValue > LargestSplitNumber) return SplitNumber::TooLarge;
    const int64_t size = PieceBytes(sizeValue, unitMultiplier);
    if (size < 1) return SplitNumber::TooSmall;
    if (size > fileSize) return SplitNumber::LargerThanFile;
    return SplitNumber::Splittable;
}
