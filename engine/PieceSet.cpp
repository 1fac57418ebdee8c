#include "engine/PieceSet.h"

#include "engine/Text.h"

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

namespace {

bool EndsWithBrf(std::string_view text) {
    if (text.size() < 4) return false;
    std::string_view tail = text.substr(text.size() - 4);
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return tail[0] == '.' && lower(tail[1]) == 'b' && lower(tail[2]) == 'r' &&
           lower(tail[3]) == 'f';
}

bool SameLetters(std::string_view a, std::string_view b) {
    // The directory search matches names without regard to case; do the same for Latin letters.
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

} // namespace

std::optional<int64_t> PieceNumberOf(std::string_view entryName, std::string_view baseName) {
    if (entryName.size() < baseName.size() + 1 + 1 + 4) return std::nullopt;
    if (!SameLetters(entryName.substr(0, baseName.size()), baseName)) return std::nullopt;
    if (entryName[baseName.size()] != '_' || !EndsWithBrf(entryName)) return std::nullopt;
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
