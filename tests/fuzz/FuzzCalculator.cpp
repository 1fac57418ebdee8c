// The split page's figures: every number they show reads back, and the count and piece size
// they promise are the ones a split of that file would write.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "engine/pieces/Calculator.h"
#include "engine/system/Text.h"

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

constexpr int64_t kLargestNumber = std::numeric_limits<int32_t>::max();

// The number at the end of a figure such as "Количество частей : 3".
int64_t FigureNumber(const std::optional<std::string>& figure) {
    Check(figure.has_value());
    const size_t blank = figure->rfind(' ');
    Check(blank != std::string::npos);
    const std::string digits = figure->substr(blank + 1);
    const int64_t number = ParseDecimalWide(digits);
    Check(DecimalText(number) == digits);
    return number;
}

void CheckBySize(std::string_view text, int64_t multiplier, int64_t fileSize) {
    const SizeFigures figures = FiguresBySize(text, multiplier, fileSize);
    const int64_t size = FigureNumber(figures.pieceSize);
    if (size == 0) {
        Check(!figures.fileSize && !figures.pieceCount);
        return;
    }
    Check(FigureNumber(figures.fileSize) == fileSize);
    const int64_t count = FigureNumber(figures.pieceCount);
    const int64_t value = ParseDecimalWide(text);
    const bool splittable = value <= kLargestNumber && size >= 1 && size <= fileSize;
    if (!splittable) {
        Check(count == 0);
        return;
    }
    // Full pieces, and a last one holding between 1 and size bytes.
    Check(count >= 1 && (count - 1) * size < fileSize && fileSize - (count - 1) * size <= size);
}

void CheckByCount(std::string_view text, int64_t fileSize) {
    const SizeFigures figures = FiguresByCount(text, fileSize);
    const int64_t count = FigureNumber(figures.pieceCount);
    Check(count == ParseDecimalWide(text));
    if (count == 0) {
        Check(!figures.fileSize && !figures.pieceSize);
        return;
    }
    Check(FigureNumber(figures.fileSize) == fileSize);
    const int64_t last = FigureNumber(figures.pieceSize);
    if (count < 1 || count > kLargestNumber || count > fileSize) {
        Check(last == 0);
        return;
    }
    // count - 1 pieces of the quotient, the last one with the remainder too: the whole file.
    Check(last >= 1 && (count - 1) * (fileSize / count) + last == fileSize);
}

// Every change the filter lets through holds only what the size box takes, unless no key
// was typed since the last change or the key was one the box takes.
void CheckFilter(std::string_view script) {
    SizeKeyFilter filter;
    std::string box;
    for (size_t i = 0; i + 1 < script.size(); i += 2) {
        const char key = script[i];
        const bool typed = (script[i + 1] & 1) != 0;
        const std::string before = box;
        if (typed) filter.CharacterTyped(box, key);
        const std::string changed = typed ? box + key : box.substr(0, box.size() / 2);
        box = filter.TextChanged(changed);
        Check(box == changed || box == before.substr(0, 255));
    }
}

} // namespace

// The input: eight bytes of file size, one byte choosing the unit, then the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 9) return 0;
    uint64_t raw;
    std::memcpy(&raw, data, sizeof raw);
    const int64_t fileSize = static_cast<int64_t>(raw >> 1);
    const int64_t multipliers[] = {1, 1024, 1048576};
    const int64_t multiplier = multipliers[data[8] % 3];
    const std::string_view text(reinterpret_cast<const char*>(data + 9), size - 9);
    CheckBySize(text, multiplier, fileSize);
    CheckByCount(text, fileSize);
    CheckFilter(text);
    return 0;
}
