// SHA-256's compression on the processor's SHA extensions, where it has them.
#pragma once
#include <cstddef>
#include <cstdint>

// Whether this processor has the SHA extensions, with SSSE3 and SSE4.1 for the message
// schedule; asked of CPUID once.
bool HasShaInstructions();

// Runs the compression over count 64-byte blocks; only where HasShaInstructions().
void CompressWithShaInstructions(uint32_t (&state)[8], const unsigned char* blocks, size_t count);
// The same, with MD5's compression of the same blocks on its four state words woven between the
// rounds: MD5's steps each wait on the one before, the SHA instructions on each other, and the
// processor runs the one while the other waits, so the two take little longer than MD5 alone.
void CompressWithShaInstructionsAndMd5(uint32_t (&state)[8], uint32_t (&md5State)[4],
                                       const unsigned char* blocks, size_t count);
// Runs the compression over blocks while each is alike with otherBlocks' block at the same
// place, up to count, compared while the rounds run; the blocks compressed.
size_t CompressWithShaInstructionsWhileAlike(uint32_t (&state)[8], const unsigned char* blocks,
                                             const unsigned char* otherBlocks, size_t count);
// Two states at once, each over count blocks of its own (the same blocks where the pointers are
// equal: the message schedule is then worked out once for both). Each state's rounds wait on
// its own instructions, and the processor runs the other's meanwhile, so the two take little
// longer than one.
void CompressTwoWithShaInstructions(uint32_t (&state)[8], const unsigned char* blocks,
                                    uint32_t (&other)[8], const unsigned char* otherBlocks,
                                    size_t count);
// Whether the two runs of size bytes are alike, compared 16 bytes at a time; only where
// HasShaInstructions() (whose processors all have SSE2).
bool SameBytesWithVectors(const unsigned char* one, const unsigned char* other, size_t size);
