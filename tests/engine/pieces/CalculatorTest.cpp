// The split page's figures from texts and numbers, and the size box's keystrokes.
#include "engine/pieces/Calculator.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr int64_t kMB = 1048576;
constexpr int64_t kFourGiB = 4294967296;

std::string Text(const std::optional<std::string>& figure) { return figure.value_or("<absent>"); }

} // namespace

TEST(UnitMultiplier, ListPositionsGivePowersOfTwoAndOthersNothing) {
    EXPECT_EQ(UnitMultiplierAt(0), 1);
    EXPECT_EQ(UnitMultiplierAt(1), 1024);
    EXPECT_EQ(UnitMultiplierAt(2), kMB);
    EXPECT_EQ(UnitMultiplierAt(-1), std::nullopt);
    EXPECT_EQ(UnitMultiplierAt(3), std::nullopt);
    EXPECT_EQ(UnitMultiplier(SizeUnit::Kilobytes), 1024);
}

TEST(FiguresBySize, PresetsReadAsWholeNumbersOfTheUnit) {
    SizeFigures f = FiguresBySize("1.44", kMB, 3000000);
    EXPECT_EQ(Text(f.pieceSize), "Размер части : 1048576");
    EXPECT_EQ(Text(f.fileSize), "Размер файла : 3000000");
    // Two full pieces and a third with the rest.
    EXPECT_EQ(Text(f.pieceCount), "Количество частей : 3");

    EXPECT_EQ(Text(FiguresBySize("360", 1024, 1000000).pieceSize), "Размер части : 368640");
    f = FiguresBySize("1.2", 1, 10);
    EXPECT_EQ(Text(f.pieceSize), "Размер части : 1");
    EXPECT_EQ(Text(f.pieceCount), "Количество частей : 10");
}

TEST(FiguresBySize, CountIsThePiecesTheSplitWritesRoundedUp) {
    EXPECT_EQ(Text(FiguresBySize("300", 1, 1000).pieceCount), "Количество частей : 4");
    EXPECT_EQ(Text(FiguresBySize("250", 1, 1000).pieceCount), "Количество частей : 4");
    EXPECT_EQ(Text(FiguresBySize("1000", 1, 1000).pieceCount), "Количество частей : 1");
    EXPECT_EQ(Text(FiguresBySize("999", 1, 1000).pieceCount), "Количество частей : 2");
    // For every pair the count covers the file and no piece is left empty.
    for (int64_t file = 1; file <= 60; ++file)
        for (int64_t size = 1; size <= file; ++size) {
            const std::string text = Text(FiguresBySize(std::to_string(size), 1, file).pieceCount);
            const int64_t count = std::stoll(text.substr(text.rfind(' ') + 1));
            EXPECT_GE(count * size, file) << file << " / " << size;
            EXPECT_LT((count - 1) * size, file) << file << " / " << size;
        }
}

TEST(FiguresBySize, ZeroSizeShowsTheFixedTextOnly) {
    for (const char* text : {"", "0", "x12", " 5", ".5"}) {
        SizeFigures f = FiguresBySize(text, kMB, 5000);
        EXPECT_EQ(Text(f.pieceSize), "Размер части : 0") << text;
        EXPECT_FALSE(f.fileSize) << text;
        EXPECT_FALSE(f.pieceCount) << text;
    }
}

TEST(FiguresBySize, SizesTheSplitRefusesCountNoPieces) {
    SizeFigures f = FiguresBySize("500", 1, 300);
    EXPECT_EQ(Text(f.pieceSize), "Размер части : 500");
    EXPECT_EQ(Text(f.pieceCount), "Количество частей : 0");
    // A source that names nothing counts as an empty file.
    f = FiguresBySize("100", 1, 0);
    EXPECT_EQ(Text(f.fileSize), "Размер файла : 0");
    EXPECT_EQ(Text(f.pieceCount), "Количество частей : 0");
    // The split refuses a size number beyond 32 bits, whatever the file.
    f = FiguresBySize("3000000000", 1, 6000000000);
    EXPECT_EQ(Text(f.pieceSize), "Размер части : 3000000000");
    EXPECT_EQ(Text(f.pieceCount), "Количество частей : 0");
    EXPECT_EQ(Text(FiguresBySize("-5", 1, 100).pieceCount), "Количество частей : 0");
}

TEST(FiguresBySize, FiguresAre64Bit) {
    SizeFigures f = FiguresBySize("4096", kMB, kFourGiB);
    EXPECT_EQ(Text(f.pieceSize), "Размер части : 4294967296");
    EXPECT_EQ(Text(f.fileSize), "Размер файла : 4294967296");
    EXPECT_EQ(Text(f.pieceCount), "Количество частей : 1");
    EXPECT_EQ(Text(FiguresBySize("4096", kMB, 2 * kFourGiB + 1).pieceCount),
              "Количество частей : 3");
    EXPECT_EQ(Text(FiguresBySize("2048", kMB, kFourGiB).pieceCount), "Количество частей : 2");
}

TEST(FiguresBySize, HugeNumbersSaturateInsteadOfOverflowing) {
    SizeFigures f = FiguresBySize("99999999999999999999999999", kMB, kFourGiB);
    EXPECT_EQ(Text(f.pieceSize), "Размер части : 9223372036854775807");
    EXPECT_EQ(Text(f.pieceCount), "Количество частей : 0");
    f = FiguresBySize("-99999999999999999999999999", kMB, kFourGiB);
    EXPECT_EQ(Text(f.pieceSize), "Размер части : -9223372036854775807");
    EXPECT_EQ(Text(f.pieceCount), "Количество частей : 0");
    EXPECT_EQ(Text(FiguresBySize("9000000000000", kMB, kFourGiB).pieceCount),
              "Количество частей : 0");
}

TEST(FiguresByCount, PieceSizeIsTheLastPieceWithTheRemainder) {
    SizeFigures f = FiguresByCount("3", 10);
    EXPECT_EQ(Text(f.pieceSize), "Размер части : 4");
    EXPECT_EQ(Text(f.fileSize), "Размер файла : 10");
    EXPECT_EQ(Text(f.pieceCount), "Количество частей : 3");
    EXPECT_EQ(Text(FiguresByCount("1", 10).pieceSize), "Размер части : 10");
    EXPECT_EQ(Text(FiguresByCount("10", 10).pieceSize), "Размер части : 1");
    f = FiguresByCount("3", kFourGiB);
    EXPECT_EQ(Text(f.pieceSize), "Размер части : 1431655766");
    EXPECT_EQ(Text(f.fileSize), "Размер файла : 4294967296");
}

TEST(FiguresByCount, CountsTheSplitRefusesShowNoPieceSize) {
    SizeFigures f = FiguresByCount("20", 10);
    EXPECT_EQ(Text(f.pieceSize), "Размер части : 0");
    EXPECT_EQ(Text(f.pieceCount), "Количество частей : 20");
    for (const char* text : {"-1", "-9223372036854775808", "99999999999999999999", "3000000000"}) {
        f = FiguresByCount(text, kFourGiB);
        EXPECT_EQ(Text(f.pieceSize), "Размер части : 0") << text;
        EXPECT_EQ(Text(f.fileSize), "Размер файла : 4294967296") << text;
    }
}

TEST(FiguresByCount, ZeroCountShowsTheFixedTextOnly) {
    for (const char* text : {"", "0", "abc"}) {
        SizeFigures f = FiguresByCount(text, 10);
        EXPECT_EQ(Text(f.pieceCount), "Количество частей : 0") << text;
        EXPECT_FALSE(f.pieceSize) << text;
        EXPECT_FALSE(f.fileSize) << text;
    }
}

TEST(FileSizeFigure, ShowsTheWholeSize) {
    EXPECT_EQ(FileSizeFigure(0), "Размер файла : 0");
    EXPECT_EQ(FileSizeFigure(kFourGiB), "Размер файла : 4294967296");
}

TEST(SizeKeyFilter, ChangesThatFollowNoTypedCharacterPass) {
    SizeKeyFilter filter;
    EXPECT_EQ(filter.TextChanged("720"), "720");
    // The Delete key brings no character.
    EXPECT_EQ(filter.TextChanged("72"), "72");
}

TEST(SizeKeyFilter, RejectedCharacterIsTakenOutAgain) {
    SizeKeyFilter filter;
    filter.CharacterTyped("720", 'x');
    EXPECT_EQ(filter.TextChanged("720x"), "720");
    filter.CharacterTyped("720", '-');
    EXPECT_EQ(filter.TextChanged("-720"), "720");
    // Ctrl+V arrives as character 22 and brings the clipboard's text.
    filter.CharacterTyped("1", 22);
    EXPECT_EQ(filter.TextChanged("1abc"), "1");
    // The verdict is used once: a later pick from the list passes.
    EXPECT_EQ(filter.TextChanged("1.44x"), "1.44x");
}

TEST(SizeKeyFilter, DigitsPointAndBackspacePass) {
    SizeKeyFilter filter;
    filter.CharacterTyped("72", '0');
    EXPECT_EQ(filter.TextChanged("720"), "720");
    filter.CharacterTyped("720", '.');
    EXPECT_EQ(filter.TextChanged("720."), "720.");
    filter.CharacterTyped("720.", '\b');
    EXPECT_EQ(filter.TextChanged("720"), "720");
    filter.CharacterTyped("720", '\n');
    EXPECT_EQ(filter.TextChanged("720"), "720");
}

TEST(SizeKeyFilter, RejectedKeyThatChangesNothingDoesNotUndoALaterPick) {
    SizeKeyFilter filter;
    filter.CharacterTyped("5", '\r');
    EXPECT_EQ(filter.TextChanged("1.44"), "1.44");
    filter.CharacterTyped("1.44", 1); // Ctrl+A
    EXPECT_EQ(filter.TextChanged("360"), "360");
}

TEST(SizeKeyFilter, SavedTextIsCutTo255Characters) {
    SizeKeyFilter filter;
    const std::string longText(300, '7');
    filter.CharacterTyped(longText, 'q');
    EXPECT_EQ(filter.TextChanged(longText + "q"), std::string(255, '7'));
}
