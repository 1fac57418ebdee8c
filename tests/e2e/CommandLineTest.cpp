// A file handed to Varnok.exe on its command line, as the shell hands a file dropped onto its
// icon, opened with it or sent to it: the page it belongs to shows, filled, and a piece so
// given joins its set.
#include <windows.h>

#include <gtest/gtest.h>

#include "Driver.h"
#include "SplitPage.h"
#include "TestFiles.h"
#include "engine/pieces/Figures.h"

namespace {
std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size() + 1, L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(),
                                    static_cast<int>(wide.size())) -
                1);
    return wide;
}

std::wstring Quoted(const std::string& path) { return L"\"" + Wide(path) + L"\""; }

bool ShowsOnlyPage(const VarnokProcess& varnok, int index) {
    return WaitUntil([&] {
        for (int i = 0; i < 3; ++i) {
            if ((IsWindowVisible(varnok.Page(i)) != 0) != (i == index)) return false;
        }
        return true;
    });
}

TEST(CommandLine, AFileOpensTheSplitPageFilledAsTheOpenDialogFillsIt) {
    TempFolder temp;
    const std::string film = temp / "my film.avi";
    WriteWholeFile(film, PatternBytes(3000, 1));
    WriteWholeFile(temp / "second.avi", PatternBytes(10, 2));
    // Several files sent at once: the first is taken.
    VarnokProcess varnok(Quoted(film) + L" " + Quoted(temp / "second.avi"));
    SplitControls split(varnok);
    EXPECT_TRUE(ShowsOnlyPage(varnok, 0));
    EXPECT_TRUE(WaitUntil([&] { return VarnokProcess::Text(split.source) == film; }))
        << VarnokProcess::Text(split.source);
    EXPECT_EQ(VarnokProcess::Text(split.folder), temp.Path());
    EXPECT_EQ(VarnokProcess::Text(split.fileSize), *FiguresByCount("1", 3000).fileSize);
    EXPECT_FALSE(varnok.HasBoxOpen());
}

TEST(CommandLine, APieceOpensTheJoinPageAndItsSetJoins) {
    TempFolder temp;
    CreateDirectoryA((temp / "set").c_str(), nullptr);
    CreateDirectoryA((temp / "out").c_str(), nullptr);
    const std::string bytes = PatternBytes(5000, 3);
    WriteWholeFile(temp / "data.bin", bytes);
    RecordingHooks hooks;
    SplitFile(SplitRequestFor(temp / "data.bin", temp / "set\\", SplitMethod::ByCount, 3), hooks);
    ASSERT_EQ(PieceSizes(temp / "set\\", "data.bin").size(), 3u);

    // Upper-case ".BRF" is a piece too.
    MoveFileA((temp / "set\\data.bin_2.brf").c_str(), (temp / "set\\data.bin_2.BRF").c_str());
    VarnokProcess varnok(Quoted(temp / "set\\data.bin_2.BRF"));
    JoinControls join(varnok);
    EXPECT_TRUE(ShowsOnlyPage(varnok, 1));
    EXPECT_TRUE(
        WaitUntil([&] { return VarnokProcess::Text(join.piece) == temp / "set\\data.bin_2.BRF"; }));
    EXPECT_EQ(VarnokProcess::Text(join.folder), temp / "set\\");

    VarnokProcess::Type(join.folder, temp / "out\\");
    VarnokProcess::Click(join.join);
    const ShownBox done = varnok.WaitForBox(20000);
    varnok.Answer(done, IDOK);
    EXPECT_EQ(ReadWholeFile(temp / "out\\data.bin"), bytes) << done.text;
}

TEST(CommandLine, AMissingFileOrANameOutsideTheCodePageIsToldAndNothingIsTaken) {
    TempFolder temp;
    {
        VarnokProcess varnok(Quoted(temp / "gone.avi"));
        SplitControls split(varnok);
        const ShownBox told = varnok.WaitForBox();
        EXPECT_EQ(told.caption, "Varnok");
        EXPECT_EQ(told.text, "Файл gone.avi не найден.");
        varnok.Answer(told, IDOK);
        EXPECT_EQ(VarnokProcess::Text(split.source), "");
        EXPECT_EQ(VarnokProcess::Text(split.folder), "");
    }
    // "Café.avi" exists, but the code page has no "é": its look-alike "Cafe.avi" is another
    // file, which must not be taken for it.
    const std::wstring foreign = Wide(temp.Path()) + L"Caf\u00e9.avi";
    HANDLE file = CreateFileW(foreign.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    WriteWholeFile(temp / "Cafe.avi", "look-alike");
    VarnokProcess varnok(L"\"" + foreign + L"\"");
    SplitControls split(varnok);
    JoinControls join(varnok);
    const ShownBox told = varnok.WaitForBox();
    EXPECT_NE(told.text.find("Имя файла содержит символы, с которыми программа не может работать"),
              std::string::npos)
        << told.text;
    varnok.Answer(told, IDOK);
    EXPECT_EQ(VarnokProcess::Text(split.source), "");
    EXPECT_EQ(VarnokProcess::Text(join.piece), "");
}
} // namespace
