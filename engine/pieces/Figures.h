// The split page's figures for a source file named by its path.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/pieces/Calculator.h"

// The figures with the size of the file at sourcePath, 0 when nothing is there.
SizeFigures FiguresBySize(std::string_view sizeText, int64_t unitMultiplier,
                          const std::string& sourcePath);
SizeFigures FiguresByCount(std::string_view countText, const std::string& sourcePath);
std::string FileSizeFigure(const std::string& sourcePath);
