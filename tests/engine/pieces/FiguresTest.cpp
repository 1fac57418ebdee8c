// The figures of a source named by its path, read in 64 bits.
#include "engine/pieces/Figures.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "TestFiles.h"

namespace {

// Gives the file its size by moving its end; the system keeps the unwritten bytes sparse.
bool SetFileLength(const std::string& path, int64_t length) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER end;
    end.QuadPart = length;
    const bool done = SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    return done;
}

} // namespace

TEST(Figures, SizeOfTheNamedFileIsReadIn64Bits) {
    TempFolder folder;
    ASSERT_TRUE(SetFileLength(folder / "big.iso", 4294967296));
    EXPECT_EQ(FileSizeFigure(folder / "big.iso"), "Размер файла : 4294967296");
    SizeFigures f = FiguresBySize("1536", 1048576, folder / "big.iso");
    EXPECT_EQ(f.fileSize, "Размер файла : 4294967296");
    EXPECT_EQ(f.pieceCount, "Количество частей : 3");
    f = FiguresByCount("2", folder / "big.iso");
    EXPECT_EQ(f.pieceSize, "Размер части : 2147483648");
}

TEST(Figures, MissingFileCountsAsEmpty) {
    TempFolder folder;
    EXPECT_EQ(FileSizeFigure(folder / "missing"), "Размер файла : 0");
    EXPECT_EQ(FileSizeFigure(""), "Размер файла : 0");
    SizeFigures f = FiguresBySize("100", 1, folder / "missing");
    EXPECT_EQ(f.fileSize, "Размер файла : 0");
    EXPECT_EQ(f.pieceCount, "Количество частей : 0");
}
