// What the multiply-add paths share: a factor's tables, made once per factor, and each path's
// loop over them. Inside the kernel only.
#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/recovery/Galois16Kernel.h"

struct FactorTables {
    // The table path: the products of a word's low and high byte.
    uint16_t lowByte[256];
    uint16_t highByte[256];
    // The shuffle paths: for nibble k of a word (k = 0 the lowest), row 2k holds the low bytes
    // of the products of its 16 values, row 2k + 1 the high bytes.
    alignas(16) uint8_t nibbles[8][16];
    // The affine path: the product as four 8x8 bit matrices in the instruction's layout (row i
    // of the result in byte 7 - i): low from low, low from high, high from low, high from high.
    uint64_t affine[4];
};

// The tables the path needs for factor; the others are left unset.
void PrepareFactor(FactorTables& tables, uint16_t factor, KernelPath path);

// dst ^= factor * src with prepared tables, on one path each; bytes even. The processor paths
// run only where AvailablePaths() names them.
void MultiplyAddByTable(const FactorTables& tables, uint8_t* dst, const uint8_t* src, size_t bytes);
void MultiplyAddSsse3(const FactorTables& tables, uint8_t* dst, const uint8_t* src, size_t bytes);
void MultiplyAddAvx2(const FactorTables& tables, uint8_t* dst, const uint8_t* src, size_t bytes);
void MultiplyAddGfni(const FactorTables& tables, uint8_t* dst, const uint8_t* src, size_t bytes);
