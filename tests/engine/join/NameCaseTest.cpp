// The rule for "the same name" held against the system's own capitals, and a join whose pieces
// are named in other capitals than the chosen one, Cyrillic included.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "engine/join/Join.h"
#include "engine/pieces/PieceSet.h"
#include "engine/system/SameName.h"
#include "engine/split/Split.h"

namespace {

// The byte's capital as the system makes it; the byte itself when its capital lies outside
// the code page (no other byte can name it then).
char SystemCapital(char c) {
    wchar_t wide = 0, upper = 0;
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &c, 1, &wide, 1) != 1) return c;
    if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, &wide, 1, &upper, 1) != 1) return c;
    char back = 0;
    BOOL lost = FALSE;
    if (WideCharToMultiByte(CP_ACP, 0, &upper, 1, &back, 1, nullptr, &lost) != 1 || lost) return c;
    return back;
}

} // namespace

TEST(NameCase, TheRuleIsTheSystemsCapitalsForEveryPairOfBytes) {
    ASSERT_EQ(GetACP(), 1251u);
    for (int a = 1; a < 256; ++a) {
        const char x = static_cast<char>(a);
        for (int b = 1; b < 256; ++b) {
            const char y = static_cast<char>(b);
            ASSERT_EQ(SameName(std::string(1, x), std::string(1, y)),
                      SystemCapital(x) == SystemCapital(y))
                << a << " " << b;
        }
    }
}

TEST(NameCase, PiecesInOtherCapitalsJoinAsOneSet) {
    TempFolder pieces, target;
    const std::string bytes = PatternBytes(9000, 51);
    WriteWholeFile(pieces / "Отчёт.dat", bytes);
    RecordingHooks split;
    SplitFile(SplitRequestFor(pieces / "Отчёт.dat", pieces.Path(), SplitMethod::BySize, 3000),
              split);
    ASSERT_EQ(split.Of("message"),
              std::vector<std::string>{"Разделение файла Отчёт.dat завершенно"});
    RemoveFile(pieces / "Отчёт.dat");
    // Copied by a tool that wrote the names in capitals.
    for (int64_t n = 1; n <= 3; ++n)
        ASSERT_TRUE(MoveFileA(PiecePath(pieces.Path(), "Отчёт.dat", n).c_str(),
                              PiecePath(pieces.Path(), "ОТЧЁТ.DAT", n).c_str()));
    ASSERT_TRUE(IsExistingFile(pieces / "отчёт.dat_1.brf")) << "the file system sets case aside";
    RecordingHooks join;
    JoinPieces(pieces / "отчёт.dat_2.brf", target.Path(), join);
    EXPECT_EQ(join.Of("message"),
              std::vector<std::string>{"Востановление файла " + target.Path() +
                                       "отчёт.dat завершенно\r\nВсе части проверены по "
                                       "отчёт.dat.sha256."});
    EXPECT_TRUE(ReadWholeFile(target / "отчёт.dat") == bytes);
}
