// The recovery slices of exponents 0 .. N - 1 of a split's pieces, for a set asked to survive
// the loss of N pieces. They are made after the split, by reading the source once more, window
// by window of the slice: each window of the N slices is built in memory from every piece's
// bytes at that offset and then written once, in its place in the recovery file.
//
// Why a second reading and not the split's own pass: during the split the pieces come one
// after another, so every recovery slice would have to build up whole, N slices of the largest
// piece's size (10 x 700 MB), in a work file read back and written again for every piece: N
// times the set's bytes written to the user's disk. Read in windows, the N slices need only N
// windows of memory (under 32 MiB in all), each byte of them is written once, and the source
// is read once more, mostly from the system's cache right after the split. Measured on 1 GiB
// in 10 pieces on tmpfs: see bench/RESULTS.md.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/digest/Md5.h"
#include "engine/system/WorkFile.h"

// What the slices are made of: the pieces, in piece order from the source's first byte, each
// with its input constant (of its place in the Main packet's list).
struct SliceInputs {
    std::string sourcePath;
    std::vector<uint64_t> lengths;
    std::vector<uint16_t> constants;
};

// The slices to make: how many, of what size, for which set.
struct SliceShape {
    uint32_t count = 0;
    uint64_t sliceSize = 0;
    Md5Digest setId{};
};

enum class SlicesMade { Made, Failed, Stopped };

// Writes the recovery slice packet of exponent e at e * Par2RecoveryPacketSize(sliceSize) in
// file, for every e below shape.count. keepGoing is told the source bytes read so far, now
// and then, and false stops the work.
SlicesMade MakeRecoverySlices(const SliceInputs& inputs, const SliceShape& shape, WorkFile& file,
                              const std::function<bool(uint64_t done)>& keepGoing);
