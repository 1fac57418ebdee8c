// The field's log and antilog tables, its arithmetic, and the constants of the recovery file's
// inputs.
#include "engine/recovery/Galois16.h"

#include <memory>

namespace Galois16 {
namespace {

struct Tables {
    uint16_t log[GroupOrder + 1];
    // Twice over, so that the sum of two logarithms needs no reduction.
    uint16_t antilog[2 * GroupOrder];
    // The exponents of the input constants.
    uint16_t inputExponent[InputConstants];
};

bool HasNoCommonDivisor(uint32_t n) {
    return n % 3 != 0 && n % 5 != 0 && n % 17 != 0 && n % 257 != 0;
}

std::unique_ptr<Tables> BuildTables() {
    auto t = std::make_unique<Tables>();
    uint32_t x = 1;
    for (uint32_t e = 0; e < GroupOrder; ++e) {
        t->antilog[e] = t->antilog[e + GroupOrder] = static_cast<uint16_t>(x);
        t->log[x] = static_cast<uint16_t>(e);
        x <<= 1;
        if (x & 0x10000) x ^= Generator;
    }
    t->log[0] = 0;
    size_t i = 0;
    for (uint32_t n = 1; i < InputConstants; ++n)
        if (HasNoCommonDivisor(n)) t->inputExponent[i++] = static_cast<uint16_t>(n);
    return t;
}

const Tables& Get() {
    static const std::unique_ptr<Tables> tables = BuildTables();
    return *tables;
}

} // namespace

uint16_t Multiply(uint16_t a, uint16_t b) {
    if (a == 0 || b == 0) return 0;
    const Tables& t = Get();
    return t.antilog[t.log[a] + t.log[b]];
}

uint16_t Power(uint16_t a, uint64_t e) {
    if (e == 0) return 1;
    if (a == 0) return 0;
    const Tables& t = Get();
    return t.antilog[(t.log[a] * (e % GroupOrder)) % GroupOrder];
}

uint16_t Inverse(uint16_t a) {
    if (a == 0) return 0;
    const Tables& t = Get();
    return t.antilog[GroupOrder - t.log[a]];
}

uint16_t Divide(uint16_t a, uint16_t b) {
    if (a == 0 || b == 0) return 0;
    const Tables& t = Get();
    return t.antilog[t.log[a] + GroupOrder - t.log[b]];
}

uint16_t InputConstant(size_t i) {
    if (i >= InputConstants) return 0;
    const Tables& t = Get();
    return t.antilog[t.inputExponent[i]];
}

} // namespace Galois16
