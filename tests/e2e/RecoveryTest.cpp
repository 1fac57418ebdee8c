// The recovery file on the running program: the check box on the split page as laid out, and
// a set split with it whose lost piece the join from the window rebuilds; the field of how many
// pieces it rebuilds, and a set that loses two.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include "Driver.h"
#include "SplitPage.h"
#include "TestFiles.h"

namespace {

RECT ScreenRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

} // namespace

TEST(Recovery, TheCheckBoxSitsLeftOfTheSplitButtonClearAndInThePagesFont) {
    VarnokProcess varnok;
    HWND page = varnok.Page(0);
    HWND box = varnok.FindByText("obj_BUTTON", "Файл восстановления (.par2)");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetParent(box), page);
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_UNCHECKED) << "off at start";
    const LONG style = GetWindowLongA(box, GWL_STYLE);
    EXPECT_EQ(style & BS_TYPEMASK, BS_AUTOCHECKBOX);
    EXPECT_TRUE(style & WS_TABSTOP);
    EXPECT_TRUE(IsWindowEnabled(box));
    // The same font as the page's own labels.
    HWND label = varnok.Find("obj_STATIC", 8, 50, page);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(SendMessageA(box, WM_GETFONT, 0, 0), SendMessageA(label, WM_GETFONT, 0, 0));
    // Inside the page, overlapping none of its other controls.
    RECT pageArea{};
    GetClientRect(page, &pageArea);
    const RECT place = VarnokProcess::PlaceInParent(box);
    EXPECT_TRUE(place.left >= 0 && place.top >= 0 && place.right <= pageArea.right &&
                place.bottom <= pageArea.bottom);
    const RECT mine = ScreenRect(box);
    for (HWND other = GetWindow(page, GW_CHILD); other; other = GetWindow(other, GW_HWNDNEXT)) {
        if (other == box) continue;
        RECT theirs = ScreenRect(other), common{};
        EXPECT_FALSE(IntersectRect(&common, &mine, &theirs)) << VarnokProcess::Text(other);
    }
    // Its text fits beside the mark.
    const ProbeCaption caption = varnok.MeasureCaption(box);
    EXPECT_LE(caption.text.cx + GetSystemMetrics(SM_CXMENUCHECK) + 4, caption.client.right);
}

TEST(Recovery, ASetSplitWithTheBoxCheckedHasItsLostPieceRebuiltByTheJoin) {
    TempFolder temp;
    const std::string bytes = PatternBytes(30001, 26);
    WriteWholeFile(temp / "film.avi", bytes);
    VarnokProcess varnok;
    SplitControls split(varnok);
    HWND box = varnok.FindByText("obj_BUTTON", "Файл восстановления (.par2)");
    ASSERT_NE(box, nullptr);
    VarnokProcess::Click(box);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }));
    ASSERT_TRUE(split.PrepareByCount(temp / "film.avi", temp / "parts\\", "3"));
    VarnokProcess::Click(split.split);
    ShownBox done = varnok.WaitForBox();
    EXPECT_EQ(done.text, "Разделение файла film.avi завершенно");
    varnok.Answer(done, IDOK);
    EXPECT_EQ(FolderEntries(temp / "parts\\"),
              (std::vector<std::string>{"film.avi.par2", "film.avi.sha256", "film.avi_1.brf",
                                        "film.avi_2.brf", "film.avi_3.brf"}));

    // Piece 2 is lost; the join is started from the window.
    ASSERT_TRUE(RemoveFile(temp / "parts\\film.avi_2.brf"));
    ASSERT_TRUE(StartJoin(varnok, temp / "parts\\film.avi_1.brf", temp / "out\\"));
    ShownBox joined = varnok.WaitForBox(20000);
    const std::string completed = "Востановление файла " + (temp / "out\\") + "film.avi завершенно";
    EXPECT_EQ(joined.text, completed + "\r\nВсе части проверены по film.avi.sha256.\r\nЧасть 2 "
                                       "восстановлена по film.avi.par2.");
    varnok.Answer(joined, IDOK);
    EXPECT_EQ(varnok.StatusText(1), completed);
    EXPECT_TRUE(ReadWholeFile(temp / "out\\film.avi") == bytes);
    EXPECT_EQ(FolderEntries(temp / "out\\"), std::vector<std::string>{"film.avi"});
    EXPECT_FALSE(FileExists(temp / "parts\\film.avi_2.brf")) << "the set is left as it was";
}

// A set of one piece, split with the recovery file, whose only piece is lost: the join from the
// window starts from the check file the piece's name leads to and rebuilds the piece.
TEST(Recovery, ASetOfOnePieceWhoseOnlyPieceIsLostIsJoinedFromTheWindow) {
    TempFolder temp;
    const std::string bytes = PatternBytes(20000, 27);
    WriteWholeFile(temp / "film.avi", bytes);
    SplitRequest request =
        SplitRequestFor(temp / "film.avi", temp / "parts\\", SplitMethod::BySize, 20000);
    request.recovery = true;
    RecordingHooks split;
    SplitFile(request, split);
    ASSERT_EQ(FolderEntries(temp / "parts\\"),
              (std::vector<std::string>{"film.avi.par2", "film.avi.sha256", "film.avi_1.brf"}));
    ASSERT_TRUE(RemoveFile(temp / "parts\\film.avi_1.brf"));

    VarnokProcess varnok;
    ASSERT_TRUE(StartJoin(varnok, temp / "parts\\film.avi_1.brf", temp / "out\\"));
    const ShownBox joined = varnok.WaitForBox(20000);
    const std::string completed = "Востановление файла " + (temp / "out\\") + "film.avi завершенно";
    EXPECT_EQ(joined.text, completed + "\r\nВсе части проверены по film.avi.sha256.\r\nЧасть 1 "
                                       "восстановлена по film.avi.par2.");
    varnok.Answer(joined, IDOK);
    EXPECT_EQ(varnok.StatusText(1), completed);
    EXPECT_TRUE(ReadWholeFile(temp / "out\\film.avi") == bytes);
    EXPECT_EQ(FolderEntries(temp / "out\\"), std::vector<std::string>{"film.avi"});
    EXPECT_EQ(VarnokProcess::ListItems(JoinControls(varnok).list),
              std::vector<std::string>{temp / "parts\\film.avi_1.brf"});
}

namespace {

// A click on the upper arrow of an up-down control.
void ClickUpArrow(HWND arrows) {
    RECT r{};
    GetClientRect(arrows, &r);
    const LPARAM upper = MAKELPARAM(r.right / 2, r.bottom / 4);
    PostMessageA(arrows, WM_LBUTTONDOWN, MK_LBUTTON, upper);
    PostMessageA(arrows, WM_LBUTTONUP, 0, upper);
}

// The arrows' range, low and high; asked without pointers, which would not reach the program.
std::pair<int, int> RangeOf(HWND arrows) {
    const LRESULT range = SendMessageA(arrows, UDM_GETRANGE, 0, 0);
    return {static_cast<short>(HIWORD(range)), static_cast<short>(LOWORD(range))};
}

} // namespace

// The field of how many pieces the recovery file rebuilds: 1 at start and enabled only with
// the box checked, within 1 .. the planned pieces (onto disks, the volumes asked for); a set
// split with 2 loses two pieces and the join from the window rebuilds and names both.
TEST(Recovery, ASetThatRebuildsTwoPiecesIsSplitAndJoinedFromTheWindow) {
    TempFolder temp;
    const std::string bytes = PatternBytes(50003, 28);
    WriteWholeFile(temp / "film.avi", bytes);
    VarnokProcess varnok;
    SplitControls split(varnok);
    ASSERT_NE(split.recoverySlices, nullptr);
    ASSERT_NE(split.recoveryArrows, nullptr);
    EXPECT_EQ(VarnokProcess::Text(split.recoverySlices), "1");
    EXPECT_TRUE(GetWindowLongA(split.recoverySlices, GWL_STYLE) & WS_TABSTOP);
    const auto enabled = [&](bool on) {
        return WaitUntil([&] {
            return (IsWindowEnabled(split.recoverySlices) != 0) == on &&
                   (IsWindowEnabled(split.recoveryArrows) != 0) == on;
        });
    };
    EXPECT_TRUE(enabled(false));
    VarnokProcess::Click(split.recovery);
    EXPECT_TRUE(enabled(true)) << "the disk method asks for volumes";
    ASSERT_TRUE(split.PrepareByCount(temp / "film.avi", temp / "parts\\", "5"));
    EXPECT_TRUE(enabled(true));
    // More than the five pieces planned: five once the focus leaves; the arrows stop there.
    VarnokProcess::Type(split.recoverySlices, "9");
    VarnokProcess::Type(split.countBox, "5");
    EXPECT_TRUE(WaitUntil([&] { return VarnokProcess::Text(split.recoverySlices) == "5"; }));
    EXPECT_EQ(RangeOf(split.recoveryArrows), std::make_pair(1, 5));
    VarnokProcess::Type(split.recoverySlices, "1");
    ClickUpArrow(split.recoveryArrows);
    EXPECT_TRUE(WaitUntil([&] { return VarnokProcess::Text(split.recoverySlices) == "2"; }));
    // Off and on again: the number stays for the run.
    VarnokProcess::Click(split.recovery);
    EXPECT_TRUE(enabled(false));
    VarnokProcess::Click(split.recovery);
    EXPECT_TRUE(enabled(true));
    EXPECT_EQ(VarnokProcess::Text(split.recoverySlices), "2");

    VarnokProcess::Click(split.split);
    ShownBox done = varnok.WaitForBox();
    EXPECT_EQ(done.text, "Разделение файла film.avi завершенно");
    varnok.Answer(done, IDOK);
    ASSERT_TRUE(RemoveFile(temp / "parts\\film.avi_2.brf"));
    ASSERT_TRUE(RemoveFile(temp / "parts\\film.avi_5.brf"));
    ASSERT_TRUE(StartJoin(varnok, temp / "parts\\film.avi_1.brf", temp / "out\\"));
    ShownBox joined = varnok.WaitForBox(20000);
    const std::string completed = "Востановление файла " + (temp / "out\\") + "film.avi завершенно";
    EXPECT_EQ(joined.text, completed + "\r\nВсе части проверены по film.avi.sha256.\r\nЧасти 2, 5 "
                                       "восстановлены по film.avi.par2.");
    varnok.Answer(joined, IDOK);
    EXPECT_TRUE(ReadWholeFile(temp / "out\\film.avi") == bytes);
    EXPECT_EQ(FolderEntries(temp / "out\\"), std::vector<std::string>{"film.avi"});
}
