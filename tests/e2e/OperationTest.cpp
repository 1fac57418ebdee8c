// A running split as the user meets it: its boxes keep their answers when the window is
// closed meanwhile, and no second split or join can start in the middle of it.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include "Driver.h"
#include "SplitPage.h"
#include "TestFiles.h"
#include "app/MainWindow.h"

namespace {
constexpr int SplitMenuItem = MenuNumber(MainMenuItem::Split);
constexpr int JoinMenuItem = MenuNumber(MainMenuItem::Join);

// Starts a split onto the disk of the temporary folder (it holds the whole file) and closes
// the window while the insert-disk prompt is open: the prompt stays and the program asks
// whether to stop.
ShownBox CloseDuringTheDiskPrompt(VarnokProcess& varnok, const TempFolder& temp, ShownBox& insert) {
    SplitControls split(varnok);
    VarnokProcess::Type(split.source, temp / "data.bin");
    VarnokProcess::Type(split.folder, temp / "disk\\");
    VarnokProcess::Click(split.split);
    insert = varnok.WaitForBox();
    EXPECT_EQ(insert.text, "Вставте другой диск C для записи части data.bin и нажмите Ок.");
    PostMessageA(varnok.Form(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ShownBox question;
    EXPECT_TRUE(WaitUntil([&] {
        const std::optional<ShownBox> box = varnok.OpenBox();
        if (box && box->window != insert.window) question = *box;
        return question.window != nullptr;
    }));
    EXPECT_EQ(question.text, "Прервать текущую операцию?");
    EXPECT_TRUE(IsWindow(insert.window)) << "the prompt keeps waiting for its answer";
    return question;
}

TEST(Operation, ACloseAnsweredCancelLetsTheSplitFinishWithItsRealAnswers) {
    TempFolder temp;
    const std::string bytes = PatternBytes(10000, 5);
    WriteWholeFile(temp / "data.bin", bytes);
    VarnokProcess varnok;
    ShownBox insert;
    varnok.Answer(CloseDuringTheDiskPrompt(varnok, temp, insert), IDCANCEL);
    varnok.Answer(insert, IDOK);
    // The disk holds the whole file: the copy is offered, taken, and the split completes.
    const ShownBox offer = varnok.WaitForBox();
    EXPECT_NE(offer.text.find("без разделения?"), std::string::npos) << offer.text;
    varnok.Answer(offer, IDOK);
    const ShownBox done = varnok.WaitForBox();
    EXPECT_EQ(done.text, "Разделение файла data.bin завершенно");
    varnok.Answer(done, IDOK);
    EXPECT_TRUE(ReadWholeFile(temp / "disk\\data.bin") == bytes);
    EXPECT_FALSE(varnok.WaitForExit(500)) << "Cancel keeps the program open";
    PostMessageA(varnok.Form(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(varnok.WaitForExit(), std::optional<DWORD>(0));
}

TEST(Operation, ALongSplitShowsItsProgressAnswersTheWindowAndStopsWhenClosed) {
    TempFolder temp;
    const size_t size = 256u << 20;
    WriteWholeFile(temp / "big.bin", PatternBytes(size, 4));
    VarnokProcess varnok;
    SplitControls split(varnok);
    ASSERT_TRUE(split.PrepareByCount(temp / "big.bin", temp / "parts\\", "4"));
    VarnokProcess::Click(split.split);

    // While it runs the window answers at once and its title shows a rising percent.
    int lastPercent = -1;
    bool answeredAlways = true;
    WaitUntil(
        [&] {
            DWORD_PTR ignored = 0;
            if (!SendMessageTimeoutA(varnok.Form(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000,
                                     &ignored)) {
                answeredAlways = false;
            }
            const std::string title = VarnokProcess::Text(varnok.Form());
            const size_t mark = title.find("% Varnok");
            if (mark != std::string::npos) {
                const int percent = std::stoi(title.substr(0, mark));
                EXPECT_GE(percent, lastPercent);
                lastPercent = percent;
            }
            return varnok.HasBoxOpen();
        },
        60000);
    EXPECT_TRUE(answeredAlways);
    EXPECT_GE(lastPercent, 0) << "the title showed a percent";
    const ShownBox done = varnok.WaitForBox();
    EXPECT_EQ(done.text, "Разделение файла big.bin завершенно");
    varnok.Answer(done, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return VarnokProcess::Text(varnok.Form()) == "Varnok"; }));

    // The same split again into another folder, closed in the middle and stopped: no piece
    // is left.
    VarnokProcess::Type(split.folder, temp / "again\\");
    VarnokProcess::Click(split.split);
    ASSERT_TRUE(WaitUntil(
        [&] { return VarnokProcess::Text(varnok.Form()).find('%') != std::string::npos; }));
    PostMessageA(varnok.Form(), WM_SYSCOMMAND, SC_CLOSE, 0);
    const ShownBox question = varnok.WaitForBox();
    EXPECT_EQ(question.text, "Прервать текущую операцию?");
    varnok.Answer(question, IDOK);
    EXPECT_EQ(varnok.WaitForExit(30000), std::optional<DWORD>(0));
    EXPECT_TRUE(FolderEntries(temp / "again\\").empty()) << "a stopped split leaves no piece";
    EXPECT_EQ(FolderEntries(temp / "parts\\").size(), 5u) << "the finished set stays, checkable";
}

TEST(Operation, NoSecondSplitOrJoinStartsWhileOneRuns) {
    TempFolder temp;
    // Large enough for the split to take a while, in two pieces.
    const size_t size = 192u << 20;
    WriteWholeFile(temp / "big.bin", PatternBytes(size, 9));
    WriteWholeFile(temp / "other.bin", "other");
    VarnokProcess varnok;
    SplitControls split(varnok);
    ASSERT_TRUE(split.PrepareByCount(temp / "big.bin", temp / "parts\\", "2"));
    // A second start arrives as a message right behind the click: the split yields to it
    // before its end and refuses it with a word to the user, waiting until it is read.
    VarnokProcess::Click(split.split);
    PostMessageA(varnok.Page(0), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(split.split), BN_CLICKED),
                 reinterpret_cast<LPARAM>(split.split));
    const ShownBox refused = varnok.WaitForBox();
    EXPECT_EQ(refused.text, "Дождитесь окончания текущей операции.");
    // Meanwhile the start commands are greyed out, so the mouse cannot click them...
    EXPECT_FALSE(IsWindowEnabled(split.split));
    const ProbeMenu menu = varnok.ReadMenu();
    EXPECT_TRUE(menu.states[SplitMenuItem] & MFS_GRAYED);
    EXPECT_TRUE(menu.states[JoinMenuItem] & MFS_GRAYED);
    // ... while drops still work, without touching the running split.
    JoinControls join(varnok);
    varnok.Drop(varnok.Page(1), {temp / "other.bin"});
    EXPECT_TRUE(WaitUntil([&] { return VarnokProcess::Text(join.piece) == temp / "other.bin"; }));
    VarnokProcess::Type(split.source, temp / "other.bin");
    varnok.Answer(refused, IDOK);

    const ShownBox done = varnok.WaitForBox(60000);
    EXPECT_EQ(done.text, "Разделение файла big.bin завершенно");
    varnok.Answer(done, IDOK);
    // The commands come back once the split has returned from its last box.
    EXPECT_TRUE(WaitUntil([&] {
        return IsWindowEnabled(split.split) &&
               !(varnok.ReadMenu().states[SplitMenuItem] & MFS_GRAYED);
    }));
    const std::string bytes = PatternBytes(size, 9);
    EXPECT_TRUE(ReadWholeFile(temp / "parts\\big.bin_1.brf") == bytes.substr(0, size / 2));
    EXPECT_TRUE(ReadWholeFile(temp / "parts\\big.bin_2.brf") == bytes.substr(size / 2));
    EXPECT_EQ(FolderEntries(temp / "parts\\").size(), 3u) << "two pieces and their check file";
    EXPECT_EQ(VarnokProcess::Text(join.folder), temp.Path());
}
// Starts the join of the set in temp\parts into temp\out and closes the window once the
// join shows its progress; returns the question the close asks.
ShownBox CloseDuringAJoin(VarnokProcess& varnok, const TempFolder& temp) {
    varnok.ChooseMenuItem(varnok.ReadMenu().ids[JoinMenuItem]);
    JoinControls join(varnok);
    VarnokProcess::Type(join.piece, temp / "parts\\big.bin_1.brf");
    VarnokProcess::Type(join.folder, temp / "out\\");
    VarnokProcess::Click(join.join);
    EXPECT_TRUE(WaitUntil(
        [&] { return VarnokProcess::Text(varnok.Form()).find("% ") != std::string::npos; }));
    PostMessageA(varnok.Form(), WM_SYSCOMMAND, SC_CLOSE, 0);
    const ShownBox question = varnok.WaitForBox();
    EXPECT_EQ(question.text, "Прервать текущую операцию?");
    return question;
}

TEST(Operation, ALongJoinGoesOnAfterCancelAndStoppedKeepsTheOldOutput) {
    TempFolder temp;
    CreateDirectoryA((temp / "parts").c_str(), nullptr);
    CreateDirectoryA((temp / "out").c_str(), nullptr);
    std::string whole;
    for (uint32_t n = 1; n <= 4; ++n) {
        const std::string piece = PatternBytes(64u << 20, n);
        WriteWholeFile(temp / ("parts\\big.bin_" + std::to_string(n) + ".brf"), piece);
        whole += piece;
    }
    WriteWholeFile(temp / "out\\big.bin", "the old file");
    {
        VarnokProcess varnok;
        varnok.Answer(CloseDuringAJoin(varnok, temp), IDCANCEL);
        const ShownBox done = varnok.WaitForBox(60000);
        EXPECT_EQ(done.text, "Востановление файла " + (temp / "out\\") + "big.bin завершенно");
        varnok.Answer(done, IDOK);
        EXPECT_TRUE(ReadWholeFile(temp / "out\\big.bin") == whole);
    }
    WriteWholeFile(temp / "out\\big.bin", "the old file");
    VarnokProcess varnok;
    varnok.Answer(CloseDuringAJoin(varnok, temp), IDOK);
    EXPECT_EQ(varnok.WaitForExit(30000), std::optional<DWORD>(0));
    EXPECT_EQ(ReadWholeFile(temp / "out\\big.bin"), "the old file");
    EXPECT_EQ(FolderEntries(temp / "out\\"), std::vector<std::string>{"big.bin"})
        << "no gathering file is left";
}
} // namespace
