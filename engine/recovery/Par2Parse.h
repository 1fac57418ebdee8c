// Reading a recovery file's packets, from its bytes to the set they describe, in memory and
// time bounded by what a genuine file of the set needs: the Main packet is found first, and
// only the packets of the files it lists are kept. Portable: no system calls.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/recovery/Par2.h"

// The longest piece name a recovery file may give, in characters: the system's path limit.
constexpr size_t Par2LongestName = 260;

// What a recovery file is to the join.
enum class Par2Verdict {
    Usable,         // one slice per piece and a recovery slice at least: the set is read
    NoSlices,       // the same without a usable recovery slice (an index of volume files, or
                    // every slice damaged): the set is read, its slices may lie elsewhere
    Damaged,        // unreadable, out of form, a part missing, a digest wrong or two sets mixed
    SlicesPerPiece, // whole and of one set, but made with several slices to a piece
    Stopped,        // keepGoing said no
};

// A recovery slice in a file: its exponent and where its bytes start.
struct Par2Slice {
    uint32_t exponent = 0;
    uint64_t offset = 0;
};

struct Par2Reading {
    // What a usable file describes: the slice size, the pieces in the order of the Main
    // packet and its recovery slices whose digests hold, by exponent (one of each).
    struct Set {
        Md5Digest setId{};
        uint64_t sliceSize = 0;
        std::vector<Par2Piece> pieces; // the slice checksums where the file gives them
        std::vector<Par2Slice> slices;
        uint32_t damagedSlices = 0; // recovery packets passed over: their digest fails
    };
    Par2Verdict verdict = Par2Verdict::Damaged;
    std::optional<Set> set; // when Usable or NoSlices
};

// How much of a file is read: every packet, or the set's description alone (the recovery
// slices passed over unread, their exponents and digests unknown), which tells whose set a
// file is at the cost of a few packets however large its slices.
enum class Par2Scope { Whole, Description };

// Reads size bytes at offset at into bytes; false when they cannot be read.
using Par2ReadAt = std::function<bool(uint64_t at, char* bytes, uint32_t size)>;

// Reads a file of size bytes through readAt in two passes, the first for the Main packet
// (passing over the recovery slices), the second for the rest; keepGoing is asked after each
// run of bytes read, and false stops the reading.
Par2Reading ParsePar2(uint64_t size, const Par2ReadAt& readAt,
                      const std::function<bool()>& keepGoing, Par2Scope scope = Par2Scope::Whole);
// The same over bytes in memory.
Par2Reading ParsePar2(std::string_view bytes);
