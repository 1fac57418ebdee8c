// The main window's frame as a user meets it: the title bar with its buttons, answered by the
// window's real hit-tests, and the real mouse dragging, minimizing and closing it.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "Driver.h"

namespace {
// The row through the middle of the title bar, in screen coordinates.
int CaptionRow(HWND form) {
    RECT outer{};
    GetWindowRect(form, &outer);
    POINT client{0, 0};
    ClientToScreen(form, &client);
    // The title bar lies between the top frame and the menu bar above the client area.
    const int frame = client.x - outer.left;
    return outer.top + frame + GetSystemMetrics(SM_CYCAPTION) / 2;
}

LRESULT HitTest(HWND form, POINT screen) {
    return SendMessageA(form, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
}

// The middle of the first run of the title-bar row, from the right, that hits as wanted.
std::optional<POINT> FindOnCaption(HWND form, LRESULT wanted) {
    RECT outer{};
    GetWindowRect(form, &outer);
    const int y = CaptionRow(form);
    int first = -1;
    for (int x = outer.right - 1; x > outer.left; --x) {
        const bool hit = HitTest(form, {x, y}) == wanted;
        if (hit && first < 0) first = x;
        if (!hit && first >= 0) return POINT{(first + x + 1) / 2, y};
    }
    return std::nullopt;
}

TEST(Frame, TheTitleBarHasItsCaptionAndButtonsAndAnswersTheMouse) {
    VarnokProcess varnok;
    HWND form = varnok.Form();
    ASSERT_NE(form, nullptr);
    const auto style = static_cast<DWORD>(GetWindowLongA(form, GWL_STYLE));
    EXPECT_EQ(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION)) << std::hex << style;
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_EQ(VarnokProcess::Text(form), "Varnok");

    // The title bar, the close button and the minimize button, by the window's own hit-tests.
    RECT outer{};
    GetWindowRect(form, &outer);
    const POINT title{outer.left + (outer.right - outer.left) / 3, CaptionRow(form)};
    EXPECT_EQ(HitTest(form, title), HTCAPTION);
    ASSERT_TRUE(FindOnCaption(form, HTCLOSE).has_value()) << "no close button on the title bar";
    ASSERT_TRUE(FindOnCaption(form, HTMINBUTTON).has_value()) << "no minimize button";
    // The border offers no sizing: the size is fixed.
    EXPECT_EQ(HitTest(form, {outer.right - 1, (outer.top + outer.bottom) / 2}), HTBORDER);

    // Dragging the title bar moves the window by the drag and keeps its size.
    RealDrag(title, {title.x + 60, title.y + 40});
    RECT moved{};
    EXPECT_TRUE(WaitUntil([&] {
        GetWindowRect(form, &moved);
        return moved.left == outer.left + 60 && moved.top == outer.top + 40;
    })) << "the window is at "
        << moved.left << "," << moved.top << ", was at " << outer.left << "," << outer.top;
    EXPECT_EQ(moved.right - moved.left, outer.right - outer.left);
    EXPECT_EQ(moved.bottom - moved.top, outer.bottom - outer.top);

    // The minimize button minimizes the program: its taskbar window (the form's owner) goes
    // to an icon and takes the form out of sight. Restored from the taskbar, it is as it was.
    HWND taskbarWindow = GetWindow(form, GW_OWNER);
    ASSERT_NE(taskbarWindow, nullptr);
    const std::optional<POINT> minimize = FindOnCaption(form, HTMINBUTTON);
    ASSERT_TRUE(minimize.has_value());
    RealClick(*minimize);
    EXPECT_TRUE(WaitUntil([&] { return IsIconic(taskbarWindow) && !IsWindowVisible(form); }))
        << "not minimized";
    PostMessageA(taskbarWindow, WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsIconic(taskbarWindow) && IsWindowVisible(form); }));
    RECT restored{};
    GetWindowRect(form, &restored);
    EXPECT_TRUE(EqualRect(&restored, &moved));
    RECT client{};
    GetClientRect(form, &client);
    EXPECT_EQ(client.right, 623);
    EXPECT_EQ(client.bottom, 292);

    // The close button ends the program, with no message and exit code 0.
    const std::optional<POINT> close = FindOnCaption(form, HTCLOSE);
    ASSERT_TRUE(close.has_value());
    RealClick(*close);
    EXPECT_EQ(varnok.WaitForExit(), std::optional<DWORD>(0));
}
} // namespace
