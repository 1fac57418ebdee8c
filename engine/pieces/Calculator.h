// The split page's figures (file size, piece size, piece count) and the size box's keystroke
// filter, computed from texts and numbers only. Portable: no system calls.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class SizeUnit { Bytes, Kilobytes, Megabytes };

// What a figure label shows before its first figure: its name and a blank, no colon. A figure
// follows the same text and a colon.
inline const std::string FileSizeStartText = "Размер файла ";
inline const std::string PieceSizeStartText = "Размер части ";
inline const std::string PieceCountStartText = "Количество частей ";

// Bytes per unit: 1, 1024, 1048576.
int64_t UnitMultiplier(SizeUnit unit);
// The multiplier of the unit list's item at position; nothing for any other position,
// and the caller keeps its multiplier.
std::optional<int64_t> UnitMultiplierAt(int position);

// One text per figure label; an absent text leaves that label as it is.
struct SizeFigures {
    std::optional<std::string> fileSize;
    std::optional<std::string> pieceSize;
    std::optional<std::string> pieceCount;
};

// Figures of a split into pieces of sizeText units; the count is the number of pieces the split
// writes, 0 when it would refuse the size.
SizeFigures FiguresBySize(std::string_view sizeText, int64_t unitMultiplier, int64_t fileSize);
// Figures of a split into countText pieces; the piece size is that of the last piece, which
// carries the remainder, and 0 when the split would refuse the count.
SizeFigures FiguresByCount(std::string_view countText, int64_t fileSize);
// "Размер файла : " and the size.
std::string FileSizeFigure(int64_t fileSize);

// Undoes a change of the size box that a character other than a digit, ".", backspace or
// line feed brought in. Changes that follow no typed character (a pick from the list, the
// Delete key) pass untouched.
class SizeKeyFilter {
  public:
    // Called before the box takes the typed character; the character is never blocked.
    void CharacterTyped(std::string_view boxText, char character);
    // The text the box must show after its text changed to boxText.
    std::string TextChanged(std::string_view boxText);

  private:
    std::string savedText_;
    bool accepted_ = false;
    bool typedSinceChange_ = false;
};
