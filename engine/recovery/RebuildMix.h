// The arithmetic of the join's rebuild: k faulty pieces from k recovery slices and every other
// piece. Each slice less the other pieces' shares (their constants raised to its exponent times
// their bytes) leaves a sum over the faulty pieces alone; the inverse of their constants'
// matrix turns those k sums into the k pieces. The other pieces are read side by side, a column
// at a time, each checked against its line on the way.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/Hooks.h"
#include "engine/checkfile/SetCheck.h"
#include "engine/recovery/RecoverySources.h"
#include "engine/system/WorkFile.h"

// What one rebuild works from.
struct MixPlan {
    std::vector<int64_t> faulty;    // the pieces to rebuild, numbered from 1
    std::vector<FoundSlice> slices; // as many, their exponents distinct
    // piece faulty[j] = sum over l of inverse[j * k + l] times what remains of slice l
    std::vector<uint16_t> inverse;
    std::vector<uint16_t> constants; // piece n's at n - 1
    std::vector<uint64_t> lengths;   // piece n's at n - 1, as the recovery file gives them
};

// A piece found faulty: missing (or unreadable) or damaged.
struct MixFault {
    int64_t number;
    bool missing;
};

// Where the mix reads a piece: a file of its own, or a run of a larger file (a piece a join
// from disks has gathered into its output already).
struct PieceSource {
    std::string path;
    int64_t offset = 0;
    int64_t length = -1; // the file's bytes from offset on when negative
    // Its bytes were held against the piece's line as the join read them: not hashed again.
    bool checked = false;
};

// What the mix needs of the join: its hooks, the pieces' sources, pacing and the set's lines.
struct MixContext {
    JoinHooks& hooks;
    std::function<PieceSource(int64_t)> sourceOf;
    std::function<bool()> keepGoing;
    const SetCheck& check;
};

// Rebuilds plan.faulty[j] into files[j] (paths[j]), each cut to its length; every other piece
// read is checked, and those that fail are added to faults; otherLengths tells of an intact
// piece of another length than the recovery file gives. False after telling the user, or on a
// stop.
bool MixPieces(const MixPlan& plan, std::vector<std::unique_ptr<WorkFile>>& files,
               const std::vector<std::string>& paths, MixContext& context,
               std::vector<MixFault>& faults, bool& otherLengths);
