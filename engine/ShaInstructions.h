// SHA-256's compression on the processor's SHA extensions, where it has them.
#pragma once
#include <cstddef>
#include <cstdint>

// Whether this processor has the SHA extensions, with SSSE3 and SSE4.1 for the message
// schedule; asked of CPUID once.
bool HasShaInstructions();

// Runs the compression over count 64-byte blocks; only where HasShaInstructions().
void CompressWithShaInstructions(uint32_t (&state)[8], const unsigned char* blocks, size_t count);
