// The field of the recovery file's arithmetic: GF(2^16) with the generator polynomial
// x^16 + x^12 + x^3 + x + 1 (0x1100B), whose element 2 generates every non-zero element.
// Addition is XOR. Portable: no system calls; the log and antilog tables are built once, at
// first use, and then only read (safe from any thread).
#pragma once
#include <cstddef>
#include <cstdint>

namespace Galois16 {

// The field's polynomial, its top bit included.
constexpr uint32_t Generator = 0x1100B;
// The number of non-zero elements, the order of the multiplicative group.
constexpr uint32_t GroupOrder = 65535;
// The most input slices one set may have: one input constant each.
constexpr size_t InputConstants = 32768;

uint16_t Multiply(uint16_t a, uint16_t b);
// a raised to e; Power(0, 0) is 1.
uint16_t Power(uint16_t a, uint64_t e);
// The element whose product with a is 1; 0 for 0, which has none.
uint16_t Inverse(uint16_t a);
// The element whose product with b is a; 0 when b is 0.
uint16_t Divide(uint16_t a, uint16_t b);
// 2 raised to the i-th positive integer that has no common divisor with 65535 (1, 2, 4, 7, 8,
// 11, ...): the constant input slice i is multiplied by, raised to a recovery slice's exponent.
// i < InputConstants; 0 beyond.
uint16_t InputConstant(size_t i);

} // namespace Galois16
