// The split page's figures, the source's size looked up by its path.
#include "engine/pieces/Figures.h"

#include <algorithm>
#include <limits>

#include "engine/system/FileServices.h"

namespace {

int64_t SourceSize(const std::string& sourcePath) {
    const uint64_t size = LookupFileSize(sourcePath);
    return static_cast<int64_t>(std::min<uint64_t>(size, std::numeric_limits<int64_t>::max()));
}

} // namespace

SizeFigures FiguresBySize(std::string_view sizeText, int64_t unitMultiplier,
                          const std::string& sourcePath) {
    return FiguresBySize(sizeText, unitMultiplier, SourceSize(sourcePath));
}

SizeFigures FiguresByCount(std::string_view countText, const std::string& sourcePath) {
    return FiguresByCount(countText, SourceSize(sourcePath));
}

std::string FileSizeFigure(const std::string& sourcePath) {
    return FileSizeFigure(SourceSize(sourcePath));
}
