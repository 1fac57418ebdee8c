// How a piece set is named and how a file's bytes are divided among its pieces.
// Portable: no system calls.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// "<file name>_<n>.brf", n in decimal without leading zeros.
std::string PieceName(std::string_view fileName, int64_t pieceNumber);

// The target folder text followed directly by the piece name.
std::string PiecePath(std::string_view targetFolder, std::string_view fileName,
                      int64_t pieceNumber);

// The paths of pieces 1 .. count of the set, in number order.
std::vector<std::string> PiecePaths(std::string_view folder, std::string_view fileName,
                                    int64_t count);

// The name of the set that a piece named so belongs to: its part before the last "_" (the
// file name itself may hold "_", a piece number and ".brf" cannot); nothing without a "_".
std::optional<std::string> SetNameOf(std::string_view pieceName);

// Whether a file name ends in ".brf" (in any case), as every piece's does.
bool HasPieceExtension(std::string_view name);

// The number of a piece from an entry name "<base name>_<n>.brf" (".brf" in any case):
// n must be a decimal number from 1 without leading zeros; anything else gives no number.
std::optional<int64_t> PieceNumberOf(std::string_view entryName, std::string_view baseName);

// "<file name>.vol<first>+<count>.par2", as repair tools name a volume of recovery slices:
// first (the exponent of its first slice) padded with zeros to firstDigits digits.
std::string RecoveryVolumeName(std::string_view fileName, uint32_t first, uint32_t count,
                               int firstDigits);

// Whether an entry is one of the set's recovery files: "<base name>.par2" or a volume
// "<base name>.vol<digits>+<digits>.par2" (in any case).
bool IsRecoveryFileOf(std::string_view entryName, std::string_view baseName);

// The sizes of the pieces of a split: pieces 1 .. count-1 hold regularSize bytes, the last one
// lastSize bytes. Piece 1 starts the file.
struct PiecePlan {
    int64_t count = 0;
    int64_t regularSize = 0;
    int64_t lastSize = 0;

    int64_t SizeOf(int64_t pieceNumber) const {
        return pieceNumber == count ? lastSize : regularSize;
    }
};

// count pieces of fileSize div count bytes, the last one carrying the remainder;
// needs 1 <= count <= fileSize.
PiecePlan PlanByCount(int64_t fileSize, int64_t count);

// Pieces of pieceSize bytes, the last one holding the rest (between 1 and pieceSize);
// needs 1 <= pieceSize and 1 <= fileSize.
PiecePlan PlanBySize(int64_t fileSize, int64_t pieceSize);
