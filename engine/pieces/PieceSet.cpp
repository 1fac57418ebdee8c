// Piece names and paths, the set's name and a piece's number read back from them, and the
// plans of piece sizes by count and by size.
#include "engine/pieces/PieceSet.h"

#include <algorithm>

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

std::string RecoveryVolumeName(std::string_view fileName, uint32_t first, uint32_t count,
                               int firstDigits) {
    std::string number = std::to_string(first);
    if (static_cast<int>(number.size()) < firstDigits)
        number.insert(0, static_cast<size_t>(firstDigits) - number.size(), '0');
    return std::string(fileName) + ".vol" + number + "+" + std::to_string(count) + ".par2";
}

namespace {
// Whether text is one or more decimal digits.
bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}
} // namespace

bool IsRecoveryFileOf(std::string_view entryName, std::string_view baseName) {
    constexpr std::string_view extension = ".par2", volume = ".vol";
    if (entryName.size() < baseName.size() + extension.size() ||
        !StartsWithSameName(entryName, baseName) ||
        !SameName(entryName.substr(entryName.size() - extension.size()), extension))
        return false;
    std::string_view middle = entryName.substr(baseName.size());
    middle.remove_suffix(extension.size());
    if (middle.empty()) return true;
    if (middle.size() < volume.size() || !SameName(middle.substr(0, volume.size()), volume))
        return false;
    middle.remove_prefix(volume.size());
    const size_t plus = middle.find('+');
    return plus != std::string_view::npos && AllDigits(middle.substr(0, plus)) &&
           AllDigits(middle.substr(plus + 1));
}

PiecePlan PlanByCount(int64_t fileSize, int64_t count) {
    int64_t base = fileSize / count;
    return {count, base, base + fileSize % count};
}

PiecePlan PlanBySize(int64_t fileSize, int64_t pieceSize) {
    int64_t count = fileSize / pieceSize + (fileSize % pieceSize != 0 ? 1 : 0);
    return {count, pieceSize, fileSize - (count - 1) * pieceSize};
}
