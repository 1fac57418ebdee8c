// Picking up a split that ended without a goodbye (a killed program, a power cut, a pulled
// stick put back): its check file tells which pieces are safely on the medium, and a new
// split of the same file with the same piece sizes goes on after them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/FileServices.h"
#include "engine/PieceSet.h"

// Pieces 1 .. digests.size() of an unfinished set; none when there is nothing to resume.
struct KeptPieces {
    std::vector<std::string> digests; // as listed, piece 1 first

    int64_t Count() const { return static_cast<int64_t>(digests.size()); }
};

// The pieces of an unfinished set of fileName in folder that a split by plan would write again
// byte for byte, as far as the folder tells: the check file lists pieces 1 .. k in order and
// not the whole file, each piece is there with exactly its planned size, and k is below the
// plan's count. None for a complete set, for a check file of any other shape, or when a listed
// piece is missing or of another size (nothing after the first such piece can be trusted).
KeptPieces FindKeptPieces(const std::string& folder, const std::string& fileName,
                          const PiecePlan& plan);

// Asked before anything is written: Yes goes on after the kept pieces, No starts over.
std::string ResumeQuestion(const std::string& fileName, int64_t kept);
// Shown while a kept piece is read and checked against the source.
std::string CheckingKeptPieceText(const std::string& fileName, int64_t pieceNumber);
// Asked when a kept piece is not the source's bytes: OK starts over.
std::string KeptPieceDiffersQuestion(const std::string& fileName, int64_t pieceNumber);
