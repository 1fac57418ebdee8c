// Piece names and paths, the set's name and a piece's number read back from them, and the
// plans of piece sizes by count and by size.
#include "engine/pieces/PieceSet.h"

#include "engine/system/SameName.h"
#include "engine/system/Text.h"

std::string PieceName(std::string_view fileName, int64_t pieceNumber) {
    std::string name(fileName);
    name += '_';
    name += DecimalText(pieceNumber);
    name += ".brf";
    return name;
}

std::string PiecePath(std::string_view targetFolder, std::string_view fileName,
                      int64_t pieceNumber) {
    return std::string(targetFolder) + PieceName(fileName, pieceNumber);
}

std::vector<std::string> PiecePaths(std::string_view folder, std::string_view fileName,
                                    int64_t count) {
    std::vector<std::string> paths;
    for (int64_t n = 1; n <= count; ++n) paths.push_back(PiecePath(folder, fileName, n));
    return paths;
}

std::optional<std::string> SetNameOf(std::string_view pieceName) {
    const size_t cut = pieceName.rfind('_');
    if (cut == std::string_view::npos) return std::nullopt;
    return std::string(pieceName.substr(0, cut));
}

bool HasPieceExtension(std::string_view name) {
    return name.size() >= 4 && SameName(name.substr(name.size() - 4), ".brf");
}

std::optional<int64_t> PieceNumberOf(std::string_view entryName, std::string_view baseName) {
    if (entryName.size() < baseName.size() + 1 + 1 + 4) return std::nullopt;
    if (!StartsWithSameName(entryName, baseName)) return std::nullopt;
    if (entryName[baseName.size()] != '_' || !HasPieceExtension(entryName)) return std::nullopt;
    std::string_view digits = entryName.substr(baseName.size() + 1);
    digits.remove_suffix(4);
    // At most 18 digits, so the number always fits; more is no piece of any real set.
    if (digits.empty() || digits.size() > 18 || digits[0] == '0') return std::nullopt;
    int64_t number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + (c - '0');
    }
    return number;
}

PiecePlan PlanByCount(int64_t fileSize, int64_t count) {
    int64_t base = fileSize / count;
    return {count, base, base + fileSize % count};
}

PiecePlan PlanBySize(int64_t fileSize, int64_t pieceSize) {
    int64_t count = fileSize / pieceSize + (fileSize % pieceSize != 0 ? 1 : 0);
    return {count, pieceSize, fileSize - (count - 1) * pieceSize};
}
