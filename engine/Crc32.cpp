#include "engine/Crc32.h"

#include <array>

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;
// Eight bytes at a time: table k gives a byte's effect k bytes before the end of a run.
constexpr int kSlices = 8;

using Tables = std::array<std::array<uint32_t, 256>, kSlices>;

constexpr Tables MakeTables() {
    Tables t{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ kPolynomial : c >> 1;
        t[0][n] = c;
    }
    for (int k = 1; k < kSlices; ++k)
        for (uint32_t n = 0; n < 256; ++n) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
    return t;
}

constexpr Tables kTables = MakeTables();

} // namespace

uint32_t Crc32Add(uint32_t crc, const void* bytes, size_t size) {
    const uint8_t* at = static_cast<const uint8_t*>(bytes);
    uint32_t c = ~crc;
    for (; size >= kSlices; size -= kSlices, at += kSlices) {
        const uint32_t low =
            c ^ (static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
                 static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24);
        c = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^
            kTables[5][(low >> 16) & 0xFF] ^ kTables[4][low >> 24] ^ kTables[3][at[4]] ^
            kTables[2][at[5]] ^ kTables[1][at[6]] ^ kTables[0][at[7]];
    }
    for (; size > 0; --size, ++at) c = (c >> 8) ^ kTables[0][(c ^ *at) & 0xFF];
    return ~c;
}

uint32_t Crc32AddZeros(uint32_t crc, uint64_t count) {
    static const uint8_t zeros[4096] = {};
    while (count > 0) {
        const size_t take = count < sizeof zeros ? static_cast<size_t>(count) : sizeof zeros;
        crc = Crc32Add(crc, zeros, take);
        count -= take;
    }
    return crc;
}
