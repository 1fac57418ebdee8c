// The split page's figures from texts and numbers, and the size box's keystroke filter.
#include "engine/pieces/Calculator.h"

#include "engine/pieces/PieceSet.h"
#include "engine/pieces/SplitLimits.h"
#include "engine/system/Text.h"

namespace {

constexpr size_t kSavedTextLimit = 255;

// A figure follows its label's start text and a colon.
const std::string kFileSizePrefix = FileSizeStartText + ": ";
const std::string kPieceSizePrefix = PieceSizeStartText + ": ";
const std::string kPieceCountPrefix = PieceCountStartText + ": ";

bool TypableInSizeBox(char character) {
    return character == '\b' || character == '\n' || character == '.' ||
           (character >= '0' && character <= '9');
}

bool IsNumberCharacter(char character) {
    return character == '.' || (character >= '0' && character <= '9');
}

} // namespace

int64_t UnitMultiplier(SizeUnit unit) {
    switch (unit) {
    case SizeUnit::Bytes:
        return 1;
    case SizeUnit::Kilobytes:
        return 1024;
    case SizeUnit::Megabytes:
        return 1048576;
    }
    return 1;
}

std::optional<int64_t> UnitMultiplierAt(int position) {
    switch (position) {
    case 0:
        return UnitMultiplier(SizeUnit::Bytes);
    case 1:
        return UnitMultiplier(SizeUnit::Kilobytes);
    case 2:
        return UnitMultiplier(SizeUnit::Megabytes);
    default:
        return std::nullopt;
    }
}

SizeFigures FiguresBySize(std::string_view sizeText, int64_t unitMultiplier, int64_t fileSize) {
    SizeFigures figures;
    const int64_t value = ParseDecimalWide(sizeText);
    const int64_t size = SaturatedProduct(value, unitMultiplier);
    if (size == 0) {
        figures.pieceSize = kPieceSizePrefix + "0";
        return figures;
    }
    figures.pieceSize = kPieceSizePrefix + DecimalText(size);
    figures.fileSize = FileSizeFigure(fileSize);
    // The split's own rule and rounding up, so the figure is what it writes.
    const bool splittable = JudgeSize(value, unitMultiplier, fileSize) == SplitNumber::Splittable;
    figures.pieceCount =
        kPieceCountPrefix + DecimalText(splittable ? PlanBySize(fileSize, size).count : 0);
    return figures;
}

SizeFigures FiguresByCount(std::string_view countText, int64_t fileSize) {
    SizeFigures figures;
    const int64_t count = ParseDecimalWide(countText);
    if (count == 0) {
        figures.pieceCount = kPieceCountPrefix + "0";
        return figures;
    }
    // The split's own rule; a count of 1 shows the whole file as its one piece.
    const SplitNumber judged = JudgeCount(count, fileSize);
    const bool splittable = judged == SplitNumber::Splittable || judged == SplitNumber::OnePiece;
    figures.pieceSize =
        kPieceSizePrefix + DecimalText(splittable ? PlanByCount(fileSize, count).lastSize : 0);
    figures.fileSize = FileSizeFigure(fileSize);
    figures.pieceCount = kPieceCountPrefix + DecimalText(count);
    return figures;
}

std::string FileSizeFigure(int64_t fileSize) { return kFileSizePrefix + DecimalText(fileSize); }

void SizeKeyFilter::CharacterTyped(std::string_view boxText, char character) {
    savedText_ = std::string(boxText.substr(0, kSavedTextLimit));
    accepted_ = TypableInSizeBox(character);
    typedSinceChange_ = true;
}

std::string SizeKeyFilter::TextChanged(std::string_view boxText) {
    const bool judged = typedSinceChange_;
    typedSinceChange_ = false;
    if (!judged || accepted_) return std::string(boxText);
    // A rejected key that changes nothing (Enter, Ctrl+A) must not undo a later pick from the
    // list, so only a text that now holds a character the box takes no part in is undone.
    for (char c : boxText)
        if (!IsNumberCharacter(c)) return savedText_;
    return std::string(boxText);
}
