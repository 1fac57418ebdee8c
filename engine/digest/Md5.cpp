// MD5 over runs of bytes and of zeros, block by block.
#include "engine/digest/Md5.h"

#include <cstring>

#include "engine/digest/Md5Steps.h"

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void Md5::Blocks(const uint8_t* at, size_t blocks) {
    uint32_t x[16];
    for (; blocks > 0; --blocks, at += 64) {
        Md5Steps::LoadWords(x, at);
        uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
        Md5Steps::Block(a, b, c, d, x);
        state_[0] += a;
        state_[1] += b;
        state_[2] += c;
        state_[3] += d;
    }
}

void Md5::Add(const void* bytes, size_t size) {
    const uint8_t* at = static_cast<const uint8_t*>(bytes);
    length_ += size;
    if (used_ > 0) {
        const size_t take = size < 64 - used_ ? size : 64 - used_;
        std::memcpy(block_ + used_, at, take);
        used_ += take;
        at += take;
        size -= take;
        if (used_ < 64) return;
        Blocks(block_, 1);
        used_ = 0;
    }
    Blocks(at, size / 64);
    at += size / 64 * 64;
    used_ = size % 64;
    if (used_ > 0) std::memcpy(block_, at, used_);
}

void Md5::AddZeros(uint64_t count) {
    static const uint8_t zeros[4096] = {};
    while (count > 0) {
        const size_t take = count < sizeof zeros ? static_cast<size_t>(count) : sizeof zeros;
        Add(zeros, take);
        count -= take;
    }
}

Md5Digest Md5::Finish() const {
    Md5 last = *this;
    const uint64_t bits = length_ * 8;
    uint8_t tail[72] = {0x80};
    const size_t pad = (used_ < 56 ? 56 : 120) - used_;
    for (int i = 0; i < 8; ++i) tail[pad + i] = static_cast<uint8_t>(bits >> (8 * i));
    last.Add(tail, pad + 8);
    Md5Digest digest;
    for (int i = 0; i < 16; ++i)
        digest[i] = static_cast<uint8_t>(last.state_[i / 4] >> (8 * (i % 4)));
    return digest;
}

Md5Digest Md5Of(const void* bytes, size_t size) {
    Md5 md5;
    md5.Add(bytes, size);
    return md5.Finish();
}
