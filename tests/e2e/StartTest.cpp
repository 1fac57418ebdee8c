// Varnok.exe started as a user starts it: the window as laid out, the menu, the pages, the
// priority items and the ways to quit.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "Driver.h"

namespace {
struct Expected {
    const char* className;
    int page; // 0 split, 1 join, -1 inside the method group
    int x, y, width, height;
    const char* text;
};

// Every control of the split and join pages: place and size in its parent, and its text.
const Expected Layout[] = {
    {"obj_STATIC", 0, 8, 50, 433, 22, "Выбор папки для частей :"},
    {"obj_STATIC", 0, 8, 2, 433, 22, "Выбор файла для разделения :"},
    {"obj_EDIT", 0, 8, 24, 569, 22, ""},
    {"obj_EDIT", 0, 8, 72, 569, 22, ""},
    {"obj_BUTTON", 0, 576, 24, 24, 22, "..."},
    {"obj_BUTTON", 0, 576, 72, 24, 22, "..."},
    {"obj_BUTTON", 0, 8, 198, 250, 22, "Файл восстановления (.par2)"},
    {"obj_STATIC", 0, 262, 202, 120, 16, "Восстановит частей :"},
    {"obj_EDIT", 0, 386, 198, 48, 22, "1"},
    {"obj_msctls_updown32", 0, 434, 198, 16, 22, ""},
    {"obj_BUTTON", 0, 472, 198, 129, 22, "Разделить"},
    {"obj_BUTTON", 0, 8, 96, 401, 97, "Метод разделения"},
    {"obj_STATIC", -1, 215, 74, 138, 12, "частей"},
    {"obj_BUTTON", -1, 9, 16, 256, 22, "Разделение на всё свободное место :"},
    {"obj_BUTTON", -1, 8, 44, 188, 22, "Разделение на части размером :"},
    {"obj_BUTTON", -1, 8, 72, 97, 22, "Разделение на "},
    {"obj_EDIT", -1, 110, 72, 99, 20, "1"},
    {"obj_BUTTON", 0, 416, 96, 185, 97, "Размеры"},
    {"obj_STATIC", 1, 8, 50, 433, 22, "Выбор папки для соединеного файла :"},
    {"obj_STATIC", 1, 8, 2, 433, 22, "Выдор одной из частей для востановления :"},
    {"obj_EDIT", 1, 8, 24, 569, 22, ""},
    {"obj_EDIT", 1, 8, 72, 569, 22, ""},
    {"obj_BUTTON", 1, 576, 24, 24, 23, "..."},
    {"obj_BUTTON", 1, 576, 72, 24, 22, "..."},
    {"obj_BUTTON", 1, 472, 198, 129, 22, "Соединить"},
    {"obj_LISTBOX", 1, 8, 104, 593, 89, ""},
};

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// The room a control's own drawing takes beside its caption: a radio's mark and the gap after
// it, a group box's frame on both sides, a push button's edges.
int CaptionFrame(HWND control) {
    char kind[32] = {};
    GetClassNameA(control, kind, sizeof kind);
    if (std::string(kind) != "obj_BUTTON") return 0;
    switch (GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK) {
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
        return GetSystemMetrics(SM_CXMENUCHECK) + 4;
    case BS_GROUPBOX:
        return 2 * 8;
    default:
        return 2 * GetSystemMetrics(SM_CXEDGE);
    }
}

TEST(Start, TheWindowIsLaidOutAsDesigned) {
    VarnokProcess varnok;
    HWND form = varnok.Form();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(VarnokProcess::Text(form), "Varnok");
    RECT client{};
    GetClientRect(form, &client);
    EXPECT_EQ(client.right, 623);
    EXPECT_EQ(client.bottom, 292);
    const LONG style = GetWindowLongA(form, GWL_STYLE);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_NE(GetMenu(form), nullptr);
    // A drive probed without its disk fails quietly: no system box over the program's own.
    EXPECT_TRUE(varnok.ErrorMode() & SEM_FAILCRITICALERRORS);

    for (const Expected& e : Layout) {
        SCOPED_TRACE(e.text);
        HWND ctl = varnok.Find(e.className, e.x, e.y, varnok.Page(e.page == 1 ? 1 : 0));
        ASSERT_NE(ctl, nullptr);
        const RECT r = VarnokProcess::PlaceInParent(ctl);
        EXPECT_EQ(r.right - r.left, e.width);
        EXPECT_EQ(r.bottom - r.top, e.height);
        EXPECT_EQ(VarnokProcess::Text(ctl), e.text);
        RECT parentClient{};
        GetClientRect(GetParent(ctl), &parentClient);
        EXPECT_TRUE(Inside(r, parentClient)) << "the control is cut off by its parent";
        if (e.page >= 0) {
            EXPECT_EQ(GetParent(ctl), varnok.Page(e.page));
        }
        // The split page shows at start: each of its controls with it.
        if (e.page != 1) EXPECT_TRUE(IsWindowVisible(ctl));
    }

    // Every caption fits its control in the font the control draws it with: a face wider
    // than the one the layout was made for cuts the radio texts off.
    for (const Expected& e : Layout) {
        if (!*e.text) continue;
        SCOPED_TRACE(e.text);
        HWND ctl = varnok.Find(e.className, e.x, e.y, varnok.Page(e.page == 1 ? 1 : 0));
        const ProbeCaption caption = varnok.MeasureCaption(ctl);
        EXPECT_GT(caption.text.cx, 0);
        EXPECT_LE(caption.text.cx + CaptionFrame(ctl), caption.client.right);
    }

    // The size box and the unit list, with their items, and the figure labels' start texts.
    HWND sizeBox = varnok.Find("obj_COMBOBOX", 200, 44);
    HWND unitList = varnok.Find("obj_COMBOBOX", 304, 44);
    ASSERT_NE(sizeBox, nullptr);
    ASSERT_NE(unitList, nullptr);
    EXPECT_EQ(VarnokProcess::Text(sizeBox), "360");
    EXPECT_EQ(VarnokProcess::Text(unitList), "bytes");
    EXPECT_EQ(SendMessageA(sizeBox, CB_GETCOUNT, 0, 0), 5);
    EXPECT_EQ(SendMessageA(unitList, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(VarnokProcess::Text(varnok.Find("obj_STATIC", 8, 23, varnok.Page(0))),
              "Размер файла ");
    EXPECT_EQ(VarnokProcess::Text(varnok.Find("obj_STATIC", 8, 47, varnok.Page(0))),
              "Размер части ");
    EXPECT_EQ(VarnokProcess::Text(varnok.Find("obj_STATIC", 8, 70, varnok.Page(0))),
              "Количество частей ");

    // The disk method is checked; the boxes of the other two are disabled.
    EXPECT_EQ(SendMessageA(varnok.Find("obj_BUTTON", 9, 16), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(varnok.Find("obj_BUTTON", 8, 44), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(IsWindowEnabled(sizeBox));
    EXPECT_FALSE(IsWindowEnabled(unitList));
    EXPECT_FALSE(IsWindowEnabled(varnok.Find("obj_EDIT", 110, 72)));

    // Page 0 shows; the focus is in the source box.
    EXPECT_TRUE(IsWindowVisible(varnok.Page(0)));
    EXPECT_FALSE(IsWindowVisible(varnok.Page(1)));
    EXPECT_FALSE(IsWindowVisible(varnok.Page(2)));
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &gui);
    EXPECT_EQ(gui.hwndFocus, varnok.Find("obj_EDIT", 8, 24, varnok.Page(0)));

    EXPECT_EQ(varnok.StatusSections(), 2);
    EXPECT_EQ(varnok.StatusText(0), "Статус : ");
    EXPECT_EQ(varnok.StatusText(1), "Готов к работе");
    EXPECT_FALSE(varnok.HasBoxOpen());
}
} // namespace
