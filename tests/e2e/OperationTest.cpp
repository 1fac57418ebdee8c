// A running split as the user meets it: its boxes keep their answers when the window is
// closed meanwhile, and no second split or join can start in the middle of it.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include "Driver.h"
#include "SplitPage.h"
#include "TestFiles.h"

namespace {
constexpr int SplitMenuItem = 1;
constexpr int JoinMenuItem = 2;

TEST(Operation, ACloseDuringADiskPromptWaitsForTheSplitAndThenEndsTheProgram) {
    TempFolder temp;
    const std::string bytes = PatternBytes(10000, 5);
    WriteWholeFile(temp / "data.bin", bytes);
    VarnokProcess varnok;
    SplitControls split(varnok);
    VarnokProcess::Type(split.source, temp / "data.bin");
    VarnokProcess::Type(split.folder, temp / "disk\\");
    VarnokProcess::Click(split.split);

    const ShownBox insert = varnok.WaitForBox();
    EXPECT_EQ(insert.text, "Вставте другой диск C для записи части data.bin и нажмите Ок.");
    PostMessageA(varnok.Form(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(varnok.WaitForExit(1000)) << "the close must wait for the split";
    EXPECT_TRUE(IsWindow(insert.window)) << "the prompt keeps waiting for its answer";
    varnok.Answer(insert, IDOK);

    // The disk holds the whole file: the copy is offered, taken, and the split completes.
    const ShownBox offer = varnok.WaitForBox();
    EXPECT_NE(offer.text.find("без разделения?"), std::string::npos) << offer.text;
    varnok.Answer(offer, IDOK);
    const ShownBox done = varnok.WaitForBox();
    EXPECT_EQ(done.text, "Разделение файла data.bin завершенно");
    varnok.Answer(done, IDOK);
    EXPECT_EQ(varnok.WaitForExit(), std::optional<DWORD>(0));
    EXPECT_TRUE(ReadWholeFile(temp / "disk\\data.bin") == bytes);
}

TEST(Operation, NoSecondSplitOrJoinStartsWhileOneRuns) {
    TempFolder temp;
    // Large enough for the split to take a while, in two pieces.
    const size_t size = 192u << 20;
    WriteWholeFile(temp / "big.bin", PatternBytes(size, 9));
    WriteWholeFile(temp / "other.bin", "other");
    VarnokProcess varnok;
    SplitControls split(varnok);
    VarnokProcess::Type(split.source, temp / "big.bin");
    VarnokProcess::Type(split.folder, temp / "parts\\");
    VarnokProcess::Click(split.countRadio);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(split.countBox); }));
    VarnokProcess::Type(split.countBox, "2");
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
    EXPECT_TRUE(IsWindowEnabled(split.split));
    EXPECT_FALSE(varnok.ReadMenu().states[SplitMenuItem] & MFS_GRAYED);
    const std::string bytes = PatternBytes(size, 9);
    EXPECT_TRUE(ReadWholeFile(temp / "parts\\big.bin_1.brf") == bytes.substr(0, size / 2));
    EXPECT_TRUE(ReadWholeFile(temp / "parts\\big.bin_2.brf") == bytes.substr(size / 2));
    EXPECT_EQ(FolderEntries(temp / "parts\\").size(), 2u);
    EXPECT_EQ(VarnokProcess::Text(join.folder), temp.Path());
}
} // namespace
