// Whole flows on the running program: splits by size and by count checked byte for byte,
// the join of the set, refused numbers, the figures, the menu and quitting.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include "Driver.h"
#include "SplitPage.h"
#include "TestFiles.h"
#include "app/MainWindow.h"
#include "engine/pieces/Figures.h"
#include <shlobj.h>

namespace {
UINT MenuId(const VarnokProcess& varnok, MainMenuItem item) {
    return varnok.ReadMenu().ids[MenuNumber(item)];
}

// Waits until the page shows and the other two are hidden: the program shows the new page
// before it hides the old one.
bool ShowsOnlyPage(const VarnokProcess& varnok, int index) {
    return WaitUntil([&] {
        for (int i = 0; i < 3; ++i) {
            if ((IsWindowVisible(varnok.Page(i)) != 0) != (i == index)) return false;
        }
        return true;
    });
}

// Waits for a box captioned "Varnok" with this text and answers it with OK.
void ExpectBox(const VarnokProcess& varnok, const std::string& text) {
    const ShownBox box = varnok.WaitForBox();
    EXPECT_EQ(box.caption, "Varnok");
    EXPECT_EQ(box.text, text);
    varnok.Answer(box, IDOK);
}

std::vector<std::string> PieceSet(const std::string& folder) {
    return FolderEntries(folder + "\\");
}

TEST(SplitAndJoin, BySizeThenJoinRestoresEveryByte) {
    TempFolder temp;
    const std::string bytes = PatternBytes(10000, 7);
    WriteWholeFile(temp / "data.bin", bytes);
    VarnokProcess varnok;
    SplitControls split(varnok);

    VarnokProcess::Type(split.source, temp / "data.bin");
    VarnokProcess::Type(split.folder, temp / "parts\\");
    VarnokProcess::Click(split.sizeRadio);
    // The page enables and disables its boxes one after another: the whole change is waited for.
    EXPECT_TRUE(WaitUntil([&] {
        return IsWindowEnabled(split.sizeBox) && IsWindowEnabled(split.unitList) &&
               !IsWindowEnabled(split.countBox);
    }));
    VarnokProcess::Type(split.sizeBox, "3000");
    VarnokProcess::Click(split.split);
    ExpectBox(varnok, "Разделение файла data.bin завершенно");
    EXPECT_EQ(varnok.StatusText(1), "Разделение файла data.bin завершенно");
    ASSERT_EQ(PieceSet(temp / "parts"),
              (std::vector<std::string>{"data.bin.sha256", "data.bin_1.brf", "data.bin_2.brf",
                                        "data.bin_3.brf", "data.bin_4.brf"}));
    for (int n = 1; n <= 4; ++n) {
        EXPECT_TRUE(ReadWholeFile(temp / ("parts\\data.bin_" + std::to_string(n) + ".brf")) ==
                    bytes.substr(3000 * (n - 1), 3000));
    }

    // The join page from the menu, then the join of the set into another folder.
    varnok.ChooseMenuItem(MenuId(varnok, MainMenuItem::Join));
    ASSERT_TRUE(ShowsOnlyPage(varnok, 1));
    JoinControls join(varnok);
    VarnokProcess::Type(join.piece, temp / "parts\\data.bin_3.brf");
    VarnokProcess::Type(join.folder, temp / "out\\");
    VarnokProcess::Click(join.join);
    ExpectBox(varnok, "Востановление файла " + (temp / "out\\") +
                          "data.bin завершенно\r\nВсе части проверены по data.bin.sha256.");
    EXPECT_TRUE(ReadWholeFile(temp / "out\\data.bin") == bytes);
    std::vector<std::string> pieces;
    for (int n = 1; n <= 4; ++n)
        pieces.push_back(temp / ("parts\\data.bin_" + std::to_string(n) + ".brf"));
    EXPECT_EQ(VarnokProcess::ListItems(join.list), pieces);
    EXPECT_FALSE(varnok.HasBoxOpen());
}

TEST(SplitAndJoin, ByCountShowsItsFiguresAndWritesThem) {
    TempFolder temp;
    const std::string bytes = PatternBytes(10000, 3);
    WriteWholeFile(temp / "data.bin", bytes);
    VarnokProcess varnok;
    SplitControls split(varnok);

    VarnokProcess::Type(split.source, temp / "data.bin");
    VarnokProcess::Click(split.countRadio);
    EXPECT_TRUE(WaitUntil(
        [&] { return IsWindowEnabled(split.countBox) && !IsWindowEnabled(split.sizeBox); }));
    VarnokProcess::Type(split.countBox, "3");
    const SizeFigures figures = FiguresByCount("3", 10000);
    EXPECT_TRUE(
        WaitUntil([&] { return VarnokProcess::Text(split.pieceCount) == *figures.pieceCount; }));
    EXPECT_EQ(VarnokProcess::Text(split.pieceSize), *figures.pieceSize);
    EXPECT_EQ(VarnokProcess::Text(split.fileSize), *figures.fileSize);

    // The folder typed without its "\" gets it when the focus leaves for the button.
    VarnokProcess::Type(split.folder, temp / "parts");
    VarnokProcess::Click(split.split);
    ExpectBox(varnok, "Разделение файла data.bin завершенно");
    EXPECT_EQ(VarnokProcess::Text(split.folder), temp / "parts\\");
    EXPECT_TRUE(ReadWholeFile(temp / "parts\\data.bin_1.brf") == bytes.substr(0, 3333));
    EXPECT_TRUE(ReadWholeFile(temp / "parts\\data.bin_2.brf") == bytes.substr(3333, 3333));
    EXPECT_TRUE(ReadWholeFile(temp / "parts\\data.bin_3.brf") == bytes.substr(6666));
}

TEST(SplitAndJoin, NumbersBeyondWhatTheSplitTakesAreRefusedNotWrapped) {
    TempFolder temp;
    WriteWholeFile(temp / "data.bin", PatternBytes(10, 1));
    VarnokProcess varnok;
    SplitControls split(varnok);
    VarnokProcess::Type(split.source, temp / "data.bin");
    VarnokProcess::Type(split.folder, temp / "parts\\");

    VarnokProcess::Click(split.sizeRadio);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(split.sizeBox); }));
    VarnokProcess::Type(split.sizeBox, "4294967297"); // 1 in 32 bits
    VarnokProcess::Click(split.split);
    ExpectBox(varnok, "Размер части слишком велик");

    SendMessageA(split.unitList, CB_SETCURSEL, 2, 0); // MB
    VarnokProcess::Type(split.sizeBox, "5000");       // 904 MiB in 32 bits
    VarnokProcess::Click(split.split);
    ExpectBox(varnok, "Размер части больше размера файла data.bin");

    VarnokProcess::Click(split.countRadio);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(split.countBox); }));
    VarnokProcess::Type(split.countBox, "4294967298"); // 2 in 32 bits
    VarnokProcess::Click(split.split);
    ExpectBox(varnok, "Количество частей слишком велико");
    EXPECT_TRUE(PieceSet(temp / "parts").empty()) << "nothing is written";
}

TEST(SplitAndJoin, PagesFromTabsAndMenuAndQuittingByTheMenu) {
    VarnokProcess varnok;
    varnok.ChooseMenuItem(MenuId(varnok, MainMenuItem::About));
    EXPECT_TRUE(ShowsOnlyPage(varnok, 2));
    varnok.ChooseMenuItem(MenuId(varnok, MainMenuItem::Split));
    EXPECT_TRUE(ShowsOnlyPage(varnok, 0));

    varnok.ChooseMenuItem(MenuId(varnok, MainMenuItem::Exit));
    EXPECT_EQ(varnok.WaitForExit(), std::optional<DWORD>(0));
}

TEST(SplitAndJoin, PriorityItemsSetTheClassAndMarkWhatItBecame) {
    VarnokProcess varnok;
    struct Step {
        MainMenuItem item;
        DWORD priorityClass;
        int threadPriority; // of the window's thread
    };
    const ProbeMenu start = varnok.ReadMenu();
    auto state = [](const ProbeMenu& menu, MainMenuItem item) {
        return menu.states[MenuNumber(item)];
    };
    using enum MainMenuItem;
    EXPECT_TRUE(state(start, Normal) & MFS_CHECKED);
    constexpr int NormalThread = THREAD_PRIORITY_NORMAL;
    constexpr int Critical = THREAD_PRIORITY_TIME_CRITICAL;
    for (const Step step :
         {Step{Idle, IDLE_PRIORITY_CLASS, NormalThread},
          Step{Idle, IDLE_PRIORITY_CLASS, NormalThread}, Step{High, HIGH_PRIORITY_CLASS, Critical},
          Step{High, HIGH_PRIORITY_CLASS, Critical},
          Step{Normal, NORMAL_PRIORITY_CLASS, NormalThread},
          Step{Normal, NORMAL_PRIORITY_CLASS, NormalThread}}) {
        varnok.ChooseMenuItem(start.ids[MenuNumber(step.item)]);
        EXPECT_TRUE(
            WaitUntil([&] { return GetPriorityClass(varnok.Process()) == step.priorityClass; }));
        ProbeMenu menu;
        EXPECT_TRUE(WaitUntil([&] {
            menu = varnok.ReadMenu();
            return (state(menu, step.item) & MFS_CHECKED) != 0;
        })) << "item "
            << MenuNumber(step.item);
        EXPECT_EQ(GetThreadPriority(varnok.Thread()), step.threadPriority);
        for (MainMenuItem other : {Realtime, High, Normal, Idle}) {
            if (other != step.item) {
                EXPECT_FALSE(state(menu, other) & MFS_CHECKED) << MenuNumber(other);
            }
        }
    }
    // Realtime may be refused by the system: the mark shows what the process really got.
    varnok.ChooseMenuItem(start.ids[MenuNumber(Realtime)]);
    ProbeMenu menu;
    WaitUntil([&] {
        menu = varnok.ReadMenu();
        return (state(menu, Normal) & MFS_CHECKED) == 0;
    });
    const DWORD got = GetPriorityClass(varnok.Process());
    const MainMenuItem marked = got == REALTIME_PRIORITY_CLASS ? Realtime
                                : got == HIGH_PRIORITY_CLASS   ? High
                                                               : Normal;
    EXPECT_TRUE(state(menu, marked) & MFS_CHECKED);
    EXPECT_FALSE(varnok.HasBoxOpen());
}

TEST(SplitAndJoin, TheDialogsFillTheBoxesAndTheFiguresFollowEveryNewSource) {
    TempFolder temp;
    WriteWholeFile(temp / "a.bin", PatternBytes(1000, 1));
    WriteWholeFile(temp / "b.bin", PatternBytes(2000, 2));
    WriteWholeFile(temp / "c.bin", PatternBytes(3000, 3));
    CreateDirectoryA((temp / "out").c_str(), nullptr);
    VarnokProcess varnok;
    SplitControls split(varnok);
    HWND sourceBrowse = varnok.Find("obj_BUTTON", 576, 24, varnok.Page(0));
    HWND folderBrowse = varnok.Find("obj_BUTTON", 576, 72, varnok.Page(0));

    // The open dialog: a path typed into its name field and OK.
    VarnokProcess::Click(sourceBrowse);
    const ShownBox open = varnok.WaitForBox();
    EXPECT_EQ(open.caption, "Choose file to slice");
    HWND nameField = GetDlgItem(open.window, 0x47C);
    if (!nameField) nameField = GetDlgItem(open.window, 0x480);
    ASSERT_NE(nameField, nullptr);
    VarnokProcess::Type(nameField, temp / "a.bin");
    varnok.Answer(open, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return VarnokProcess::Text(split.source) == temp / "a.bin"; }));
    EXPECT_EQ(VarnokProcess::Text(split.folder), temp.Path())
        << "an empty folder box takes the file's folder";
    EXPECT_EQ(VarnokProcess::Text(split.fileSize), *FiguresByCount("1", 1000).fileSize);

    // The size method: its figures for the size box's "360" bytes.
    VarnokProcess::Click(split.sizeRadio);
    EXPECT_TRUE(WaitUntil([&] {
        return VarnokProcess::Text(split.pieceCount) == *FiguresBySize("360", 1, 1000).pieceCount;
    }));
    EXPECT_EQ(VarnokProcess::Text(split.pieceSize), *FiguresBySize("360", 1, 1000).pieceSize);

    // A dropped file, then a typed path once the focus leaves the box: figures for each.
    varnok.Drop(varnok.Page(0), {temp / "b.bin", temp / "c.bin"});
    EXPECT_TRUE(WaitUntil([&] { return VarnokProcess::Text(split.source) == temp / "b.bin"; }))
        << "the first of the dropped files";
    EXPECT_TRUE(WaitUntil([&] {
        return VarnokProcess::Text(split.pieceCount) == *FiguresBySize("360", 1, 2000).pieceCount;
    }));
    VarnokProcess::Type(split.source, temp / "c.bin");
    VarnokProcess::Click(split.sizeRadio);
    EXPECT_TRUE(WaitUntil([&] {
        return VarnokProcess::Text(split.pieceCount) == *FiguresBySize("360", 1, 3000).pieceCount;
    }));
    EXPECT_EQ(VarnokProcess::Text(split.fileSize), *FiguresBySize("360", 1, 3000).fileSize);

    // The disk method: piece and count go back to their start texts.
    VarnokProcess::Click(split.diskRadio);
    EXPECT_TRUE(
        WaitUntil([&] { return VarnokProcess::Text(split.pieceCount) == "Количество частей "; }));
    EXPECT_EQ(VarnokProcess::Text(split.pieceSize), "Размер части ");

    // The folder dialog: a folder selected in it and OK; the box ends in "\".
    VarnokProcess::Click(folderBrowse);
    const ShownBox browse = varnok.WaitForBox();
    varnok.SendWithText(browse.window, BFFM_SETSELECTIONA, TRUE, temp / "out");
    varnok.Answer(browse, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return VarnokProcess::Text(split.folder) == temp / "out\\"; }))
        << VarnokProcess::Text(split.folder);
}
} // namespace

TEST(SplitAndJoin, ANameTheCodePageCannotHoldIsToldAndNothingIsTaken) {
    TempFolder temp;
    // "Café.avi": code page 1251 has no "é", and its look-alike "Cafe.avi" is another file.
    std::wstring folder(MAX_PATH, L'\0');
    folder.resize(MultiByteToWideChar(CP_ACP, 0, temp.Path().c_str(), -1, folder.data(), MAX_PATH) -
                  1);
    const std::wstring foreign = folder + L"Caf\u00e9.avi";
    HANDLE file = CreateFileW(foreign.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "data", 4, &written, nullptr);
    CloseHandle(file);
    VarnokProcess varnok;
    SplitControls split(varnok);
    JoinControls join(varnok);

    varnok.DropWide(varnok.Page(0), {foreign});
    const ShownBox told = varnok.WaitForBox();
    EXPECT_NE(told.text.find("Имя файла содержит символы, с которыми программа не может работать"),
              std::string::npos)
        << told.text;
    EXPECT_NE(told.text.find("Переименуйте файл"), std::string::npos) << told.text;
    varnok.Answer(told, IDOK);
    EXPECT_EQ(VarnokProcess::Text(split.source), "");
    EXPECT_EQ(VarnokProcess::Text(split.folder), "");

    varnok.DropWide(varnok.Page(1), {foreign});
    varnok.Answer(varnok.WaitForBox(), IDOK);
    EXPECT_EQ(VarnokProcess::Text(join.piece), "");

    // A Cyrillic name is the code page's own: taken as it is.
    const std::wstring cyrillic = folder + L"\u0424\u0438\u043b\u044c\u043c.avi";
    file = CreateFileW(cyrillic.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    varnok.DropWide(varnok.Page(0), {cyrillic});
    EXPECT_TRUE(WaitUntil([&] { return VarnokProcess::Text(split.source) == temp / "Фильм.avi"; }))
        << VarnokProcess::Text(split.source);
    EXPECT_FALSE(varnok.HasBoxOpen());
}
