// The digests' timing from memory, one core, no file: what each way of hashing a copy's buffers
// costs, apart from the reading, the writing and the threads.
#pragma once

// Hashes 1 GiB in all, a 256 KiB buffer again and again, with SHA-256 alone, two SHA-256s in
// one pass (over the same bytes, and over bytes of their own), two one after the other, SHA-256
// with MD5 woven in, MD5 alone and CRC-32, and prints GB/s (10^9 bytes a second, each through
// every digest named) of each, the fastest of a few tries. Returns the program's exit code.
int RunDigestBench();
