// The simple control kinds made for real: styles and sizes, the radio group, the combo box's
// change, list height and colours, and the item messages of the action tables.
#include "UiTest.h"

#include <cstdio>
#include <utility>

#include "ui/Kinds.h"

namespace {
using KindsTest = UiTest;

std::string ClassOf(HWND hwnd) {
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

int Height(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r.bottom - r.top;
}

TEST_F(KindsTest, EachKindHasItsClassStyleAndDefaultSize) {
    Control* form = MakeForm();
    struct Expected {
        Control* ctl;
        const char* className;
        uint32_t style;
        uint32_t exStyle;
        int width, height;
    };
    const Expected kinds[] = {
        {CreateLabel(form, "label"), "obj_STATIC", 0x5600018C, 0x10000, 64, 22},
        {CreateEditBox(form, 0), "obj_EDIT", 0x560100C0, 0x10200, 100, 22},
        {CreateEditBox(form, EditDigitsOnly), "obj_EDIT", 0x560120C0, 0x10200, 100, 22},
        {CreateButton(form, "button"), "obj_BUTTON", 0x56011000, 0x10000, 64, 22},
        {CreateGroupBox(form, "group"), "obj_BUTTON", 0x56030007, 0x10000, 100, 142},
        {CreateComboBox(form, 0), "obj_COMBOBOX", 0x56210242, 0x10200, 100, 22},
        {CreateComboBox(form, ComboDropDownList | ComboNoIntegralHeight), "obj_COMBOBOX",
         0x56210643, 0x10200, 100, 22},
        {CreateListBox(form, ListNoIntegralHeight), "obj_LISTBOX", 0x56210941, 0x10200, 164, 200},
    };
    ShowForm();
    for (const Expected& k : kinds) {
        SCOPED_TRACE(GetText(k.ctl) + " " + k.className);
        EXPECT_EQ(ClassOf(k.ctl->Handle), k.className);
        EXPECT_EQ(k.ctl->Style, k.style);
        EXPECT_EQ(k.ctl->ExStyle & 0x10200, k.exStyle);
        // The system's combo box draws its sunken edge itself and takes WS_EX_CLIENTEDGE off
        // its window.
        const uint32_t dropped = k.className == std::string("obj_COMBOBOX") ? WS_EX_CLIENTEDGE : 0;
        EXPECT_EQ(static_cast<uint32_t>(GetWindowLongA(k.ctl->Handle, GWL_EXSTYLE)) & 0x10200,
                  k.exStyle & ~dropped);
        EXPECT_EQ(k.ctl->Bounds.right - k.ctl->Bounds.left, k.width);
        EXPECT_EQ(k.ctl->Bounds.bottom - k.ctl->Bounds.top, k.height);
    }
    EXPECT_EQ(kinds[1].ctl->Cursor, LoadCursorA(nullptr, IDC_IBEAM));
    EXPECT_EQ(kinds[7].ctl->Color, ColorWindow);
    EXPECT_EQ(form->CurrentControl, kinds[1].ctl) << "the first tab stop, never a group box";
}

TEST_F(KindsTest, AGroupBoxHoldsItsChildrenInsideItsFrameOnItsOwnColour) {
    Control* form = MakeForm();
    Control* group = CreateGroupBox(form, "Метод разделения");
    Control* label = CreateLabel(group, "inside");
    EXPECT_FALSE(group->TabStop);
    EXPECT_EQ(label->Bounds.top, 2 + 22);
    group->Color = RGB(20, 140, 60);
    ShowForm();
    EXPECT_EQ(GetParent(label->Handle), group->Handle);

    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 100, 142);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageA(group->Handle, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    EXPECT_EQ(GetPixel(dc, 50, 70), RGB(20, 140, 60));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

struct RadioWatch {
    std::vector<Control*> watched;
    std::vector<std::string> log;
};
void LogMarks(RadioWatch* w, Control*) {
    std::string marks;
    for (Control* c : w->watched) {
        marks += SendMessageA(c->Handle, BM_GETCHECK, 0, 0) == BST_CHECKED ? '1' : '0';
    }
    w->log.push_back(marks);
}

TEST_F(KindsTest, ARadioClickMovesTheMarkWithinItsParentBeforeOnClick) {
    Control* form = MakeForm();
    Control* group = CreateGroupBox(form, "group");
    Control* first = CreateRadioBox(group, "first");
    EXPECT_NE(first->Handle, nullptr) << "the first radio box is checked through its window";
    Control* check = CreateControl(group, "BUTTON", 0x50010003, false, &ButtonActions);
    Control* nested = CreateGroupBox(group, "nested");
    Control* inner = CreateRadioBox(nested, "inner");
    Control* second = CreateRadioBox(group, "second");
    Control* third = CreateRadioBox(group, "third");
    ShowForm();
    ASSERT_TRUE(form->CreateWindow()) << "the run loop makes the windows not made early";

    RadioWatch watch{{first, second, third, check, inner}, {}};
    LogMarks(&watch, nullptr);
    EXPECT_EQ(watch.log.back(), "10001") << "the first radio of each parent starts checked";
    SendMessageA(check->Handle, BM_SETCHECK, BST_CHECKED, 0);

    for (Control* radio : {first, second, third}) radio->OnClick = MakeEvent<&LogMarks>(&watch);
    watch.log.clear();
    SendMessageA(third->Handle, BM_CLICK, 0, 0);
    SendMessageA(second->Handle, BM_CLICK, 0, 0);
    SendMessageA(second->Handle, BM_CLICK, 0, 0);
    EXPECT_EQ(watch.log, (std::vector<std::string>{"00111", "01011", "01011"}))
        << "marks move before OnClick; another button and a nested radio keep theirs";
}

struct ComboWatch {
    Control* combo = nullptr;
    std::vector<std::string> log;
};
void LogComboChange(ComboWatch* w, Control*) { w->log.push_back("change " + GetText(w->combo)); }
void LogCloseUp(ComboWatch* w, Control*) { w->log.push_back("closeup"); }

COMBOBOXINFO InfoOf(Control* combo) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    GetComboBoxInfo(combo->Handle, &info);
    return info;
}

TEST_F(KindsTest, AComboBoxTellsAPickOnceWhenDoneAndEachTypedChange) {
    Control* form = MakeForm();
    Control* combo = CreateComboBox(form, 0);
    ShowForm();
    for (const char* item : {"360", "720", "1.2"}) {
        SendMessageA(combo->Handle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    SendMessageA(combo->Handle, CB_SETCURSEL, 0, 0);
    ComboWatch watch{combo, {}};
    combo->OnChange = MakeEvent<&LogComboChange>(&watch);
    combo->OnCloseUp = MakeEvent<&LogCloseUp>(&watch);
    const COMBOBOXINFO info = InfoOf(combo);
    ASSERT_NE(info.hwndList, nullptr);
    ASSERT_NE(info.hwndItem, nullptr);

    // A pick with the mouse: the list opens, item 1 is pressed and released.
    SendMessageA(combo->Handle, CB_SHOWDROPDOWN, TRUE, 0);
    EXPECT_TRUE(combo->DroppedDown);
    RECT item{};
    SendMessageA(info.hwndList, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SendMessageA(info.hwndList, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(info.hwndList, WM_LBUTTONUP, 0, at);
    EXPECT_EQ(watch.log, std::vector<std::string>{"closeup"}) << "not told before it is done";
    DrainQueue();
    EXPECT_EQ(watch.log, (std::vector<std::string>{"closeup", "change 720"}));
    EXPECT_FALSE(combo->DroppedDown);

    watch.log.clear();
    // A pick leaves the whole text selected; typing goes to its end.
    SendMessageA(info.hwndItem, EM_SETSEL, 3, 3);
    SendMessageA(info.hwndItem, WM_CHAR, '5', 0);
    SendMessageA(info.hwndItem, WM_CHAR, VK_BACK, 0);
    DrainQueue();
    EXPECT_EQ(watch.log, (std::vector<std::string>{"change 7205", "change 720"}));
}

TEST_F(KindsTest, AComboBoxListShowsOneToEightItems) {
    Control* form = MakeForm();
    Control* combo = CreateComboBox(form, 0);
    ShowForm();
    const HWND list = InfoOf(combo).hwndList;
    const int itemHeight = static_cast<int>(SendMessageA(combo->Handle, CB_GETITEMHEIGHT, 0, 0));
    auto openHeight = [&] {
        SendMessageA(combo->Handle, CB_SHOWDROPDOWN, TRUE, 0);
        const int height = Height(list);
        SendMessageA(combo->Handle, CB_SHOWDROPDOWN, FALSE, 0);
        return height;
    };
    auto addItems = [&](int n) {
        for (int i = 0; i < n; ++i) {
            SendMessageA(combo->Handle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("item"));
        }
    };

    const int empty = openHeight();
    std::printf("item height %d; open list: empty %d", itemHeight, empty);
    EXPECT_GE(empty, itemHeight);
    EXPECT_LT(empty, 2 * itemHeight + 4) << "one item high";
    addItems(5);
    const int five = openHeight();
    EXPECT_GE(five, 5 * itemHeight) << "all five shown";
    addItems(15);
    const int twenty = openHeight();
    std::printf(", 5 items %d, 20 items %d\n", five, twenty);
    EXPECT_GE(twenty, 8 * itemHeight);
    EXPECT_LE(twenty, 22 * 9 + 2) << "never taller than 8 items and the field";
}

TEST_F(KindsTest, AComboBoxGivesItsInnerWindowsItsColours) {
    Control* form = MakeForm();
    Control* combo = CreateComboBox(form, 0);
    combo->Color = RGB(10, 200, 30);
    combo->TextColor = RGB(200, 0, 0);
    ShowForm();
    const COMBOBOXINFO info = InfoOf(combo);
    HDC dc = CreateCompatibleDC(nullptr);
    for (auto [msg, inner] : {std::pair{WM_CTLCOLOREDIT, info.hwndItem},
                              std::pair{WM_CTLCOLORLISTBOX, info.hwndList}}) {
        auto brush = reinterpret_cast<HBRUSH>(SendMessageA(
            combo->Handle, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(inner)));
        LOGBRUSH lb{};
        ASSERT_EQ(GetObjectA(brush, sizeof lb, &lb), static_cast<int>(sizeof lb));
        EXPECT_EQ(lb.lbColor, RGB(10, 200, 30));
        EXPECT_EQ(GetTextColor(dc), RGB(200, 0, 0));
        EXPECT_EQ(GetBkColor(dc), RGB(10, 200, 30));
    }
    DeleteDC(dc);
}

TEST_F(KindsTest, ItemMessagesOfTheActionTablesWork) {
    Control* form = MakeForm();
    // A list box with extended selection has no current item to set: a single-selection one.
    for (Control* ctl : {CreateComboBox(form, 0),
                         CreateListBox(form, ListNoIntegralHeight | ListSingleSelection)}) {
        SCOPED_TRACE(ctl->SystemClassName);
        const Actions& a = ctl->Actions;
        auto send = [&](UINT msg, WPARAM w, LPARAM l) { return SendToControl(ctl, msg, w, l); };
        auto text = [](const char* s) { return reinterpret_cast<LPARAM>(s); };
        EXPECT_EQ(send(a.Add, 0, text("b")), 0);
        EXPECT_EQ(send(a.Add, 0, text("c")), 1);
        EXPECT_EQ(send(a.Insert, 0, text("alpha")), 0);
        send(a.Delete, 2, 0);
        EXPECT_EQ(send(a.Count, 0, 0), 2);
        EXPECT_EQ(send(a.ItemLength, 0, 0), 5);
        char buffer[16] = {};
        send(a.ItemText, 1, reinterpret_cast<LPARAM>(buffer));
        EXPECT_STREQ(buffer, "b");
        send(a.SetCurrent, 1, 0);
        EXPECT_EQ(send(a.GetCurrent, 0, 0), 1);
        send(a.Reset, 0, 0);
        EXPECT_EQ(send(a.Count, 0, 0), 0);
    }
}
} // namespace
