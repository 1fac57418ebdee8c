// Geometry: sizes and positions, client sizes, alignment inside margins, the status bar and
// the size lock, all on real windows.
#include "UiTest.h"

#include <commctrl.h>

#include "ui/Form.h"
#include "ui/Geometry.h"

namespace {
using GeometryTest = UiTest;
constexpr uint32_t LabelStyle = 0x5000018C;

RECT RectInParent(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    return r;
}
SIZE ClientSizeOf(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return {r.right, r.bottom};
}
SIZE OuterSizeOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

TEST_F(GeometryTest, SizeAndPositionChangeOnlyWhatTheyAreGiven) {
    Control* form = MakeForm();
    Control* label = CreateControl(form, "STATIC", LabelStyle, false, nullptr);
    SetSize(label, 64, 22);
    SetSize(label, 433, 0);
    SetPosition(label, 8, 50);
    EXPECT_EQ(label->Bounds.right - label->Bounds.left, 433);
    EXPECT_EQ(label->Bounds.bottom - label->Bounds.top, 22) << "a height of 0 keeps the height";
    ShowForm();
    const RECT placed = RectInParent(label->Handle);
    EXPECT_EQ(placed.left, 8);
    EXPECT_EQ(placed.top, 50);
    EXPECT_EQ(placed.right - placed.left, 433);
    EXPECT_EQ(placed.bottom - placed.top, 22);

    SetSize(label, 0, 30);
    EXPECT_EQ(RectInParent(label->Handle).right - RectInParent(label->Handle).left, 433);
    EXPECT_EQ(RectInParent(label->Handle).bottom - RectInParent(label->Handle).top, 30);

    form->ClientMargins.top = 10;
    SetClientSize(form, 300, 200);
    EXPECT_EQ(ClientSizeOf(form->Handle).cx, 300);
    EXPECT_EQ(ClientSizeOf(form->Handle).cy, 210) << "the margins come on top of the size";
}

TEST_F(GeometryTest, AlignedChildrenShareTheClientAreaInsideMargins) {
    Control* form = MakeForm();
    form->ClientMargins = {10, 6, 4, 0};
    Control* top = CreateControl(form, "STATIC", LabelStyle, false, nullptr);
    Control* client = CreateControl(form, "STATIC", LabelStyle, false, nullptr);
    Control* hidden = CreateControl(form, "STATIC", LabelStyle, false, nullptr);
    SetSize(top, 0, 30);
    SetVisible(hidden, false);
    ShowForm();
    SetClientSize(form, 300, 200);
    SetAlign(client, Alignment::Client);
    SetAlign(top, Alignment::Top);
    SetAlign(hidden, Alignment::Top);

    // Client area 304 x 216, less the margins: x 4 .. 304, y 10 .. 210; margin 2.
    EXPECT_EQ(RectInParent(top->Handle).left, 6);
    EXPECT_EQ(RectInParent(top->Handle).top, 12);
    EXPECT_EQ(RectInParent(top->Handle).right, 302);
    EXPECT_EQ(RectInParent(top->Handle).bottom, 42);
    const RECT c = RectInParent(client->Handle);
    EXPECT_EQ(c.left, 6);
    EXPECT_EQ(c.top, 44) << "below the top child and one margin";
    EXPECT_EQ(c.right, 302);
    EXPECT_EQ(c.bottom, 208);

    SetClientSize(form, 400, 300);
    EXPECT_EQ(RectInParent(client->Handle).right, 402) << "a new size lays the children out again";
    EXPECT_EQ(RectInParent(client->Handle).bottom, 308);
}

TEST_F(GeometryTest, TheStatusBarMakesTwoSectionsAndTheFormGrowsByIt) {
    Control* form = MakeForm();
    Control* client = CreateControl(form, "STATIC", LabelStyle, false, nullptr);
    ShowForm();
    SetClientSize(form, 400, 250);
    SetAlign(client, Alignment::Client);
    SetStatusText(form, 1, "ready");
    ASSERT_NE(form->StatusBar, nullptr);
    HWND bar = form->StatusBar->Handle;
    ASSERT_TRUE(IsWindowVisible(bar));
    const int barHeight = OuterSizeOf(bar).cy;
    EXPECT_GT(barHeight, 10);
    EXPECT_EQ(form->ClientMargins.bottom, barHeight);
    EXPECT_EQ(ClientSizeOf(form->Handle).cy, 250 + barHeight) << "the form grows by the bar";
    EXPECT_EQ(RectInParent(client->Handle).bottom, 248) << "the other children keep their room";
    EXPECT_EQ(RectInParent(bar).bottom, 250 + barHeight) << "the bar sits at the bottom";

    int parts[4] = {};
    ASSERT_EQ(SendMessageA(bar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(parts)), 2);
    EXPECT_EQ(parts[0], 200);
    EXPECT_EQ(parts[1], -1);
    char text[32] = {};
    SendMessageA(bar, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "ready");

    // Indexes outside the sections are refused.
    SetStatusText(form, -1, "bad");
    SetStatusText(form, 256, "bad");
    SetStatusSectionRight(form, 2, 50);
    SetStatusSectionRight(form, -1, 50);
    EXPECT_EQ(SendMessageA(bar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(parts)), 2);
    EXPECT_EQ(parts[0], 200);
    SetStatusSectionRight(form, 0, 60);
    SetStatusText(form, 0, "Status");
    SendMessageA(bar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(parts));
    EXPECT_EQ(parts[0], 60);
    SendMessageA(bar, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "ready");
}

TEST_F(GeometryTest, ALockedFormKeepsItsSizeAndOffersNoSizingBorder) {
    Control* form = MakeForm();
    ShowForm();
    SetClientSize(form, 400, 250);
    RECT outer{};
    GetWindowRect(form->Handle, &outer);
    const POINT rightBorder{outer.right - 2, (outer.top + outer.bottom) / 2};
    const LPARAM at = MAKELPARAM(rightBorder.x, rightBorder.y);
    ASSERT_EQ(SendMessageA(form->Handle, WM_NCHITTEST, 0, at), HTRIGHT);

    SetCanResize(form, false);
    EXPECT_EQ(SendMessageA(form->Handle, WM_NCHITTEST, 0, at), HTBORDER);
    MINMAXINFO info{};
    SendMessageA(form->Handle, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, outer.right - outer.left);
    EXPECT_EQ(info.ptMaxTrackSize.x, outer.right - outer.left);
    EXPECT_EQ(info.ptMinTrackSize.y, outer.bottom - outer.top);
    EXPECT_EQ(info.ptMaxTrackSize.y, outer.bottom - outer.top);

    SetStatusText(form, 1, "ready");
    EXPECT_EQ(OuterSizeOf(form->Handle).cy, outer.bottom - outer.top)
        << "a locked form does not grow by its status bar";
    EXPECT_EQ(ClientSizeOf(form->Handle).cy, 250);
}
} // namespace
