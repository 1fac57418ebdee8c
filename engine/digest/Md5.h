// MD5, as the recovery file's packets and checksums need it. Portable: no system calls.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

using Md5Digest = std::array<uint8_t, 16>;

// One digest in progress. A copy goes on independently, so a digest of a run of bytes can be
// continued over more bytes while the original goes on elsewhere.
class Md5 {
  public:
    Md5();
    void Add(const void* bytes, size_t size);
    // Adds count zero bytes.
    void AddZeros(uint64_t count);
    // The digest of everything added; the object is left as it was.
    Md5Digest Finish() const;
    uint64_t Length() const { return length_; }

  private:
    // It takes whole blocks into this digest in the same pass as into its own.
    friend class Sha256;

    void Blocks(const uint8_t* at, size_t blocks);

    uint32_t state_[4];
    uint8_t block_[64] = {}; // a block begun, of used_ bytes
    size_t used_ = 0;
    uint64_t length_ = 0;
};

// The digest of bytes in one call.
Md5Digest Md5Of(const void* bytes, size_t size);
