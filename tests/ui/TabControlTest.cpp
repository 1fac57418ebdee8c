// The tab control switching its pages, and windows made early staying hidden until the run
// loop makes the rest.
#include "UiTest.h"

#include <commctrl.h>

#include "ui/Form.h"
#include "ui/Geometry.h"
#include "ui/Items.h"
#include "ui/Kinds.h"
#include "ui/TabControl.h"

namespace {
using TabControlTest = UiTest;
std::vector<bool> PagesShown(Control* tab) {
    std::vector<bool> shown;
    for (int i = 0; i < ItemCount(tab); ++i)
        shown.push_back(IsWindowVisible(TabPage(tab, i)->Handle));
    return shown;
}

TEST_F(TabControlTest, PagesSwitchBySetCurIndexAndByAClickOnATab) {
    Control* form = MakeForm();
    Control* tab = CreateTabControl(form, {"Split", "Join", "About"});
    SetAlign(tab, Alignment::Client);
    Recorder rec;
    tab->OnSelChange = MakeEvent<&LogSelChange>(&rec);
    SetVisible(form, true);
    form->CreateWindow(); // as the run loop: shows what was made early

    EXPECT_EQ(ItemCount(tab), 3);
    EXPECT_EQ(TabPage(tab, 3), nullptr);
    EXPECT_EQ(TabPage(tab, -1), nullptr);
    EXPECT_TRUE(GetWindowLongA(tab->Handle, GWL_STYLE) & TCS_FOCUSNEVER);
    EXPECT_FALSE(GetWindowLongA(tab->Handle, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(PagesShown(tab), (std::vector<bool>{true, false, false}));

    SetCurIndex(tab, 2);
    EXPECT_EQ(GetCurIndex(tab), 2);
    EXPECT_EQ(PagesShown(tab), (std::vector<bool>{false, false, true}));
    EXPECT_EQ(GetWindow(tab->Handle, GW_CHILD), TabPage(tab, 2)->Handle) << "page 2 on top";
    EXPECT_EQ(rec.log, std::vector<std::string>{"selchange"});
    SetCurIndex(tab, 2);
    EXPECT_EQ(rec.log.size(), 1u) << "the same page again is no change";

    RECT item{};
    ASSERT_TRUE(SendMessageA(tab->Handle, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item)));
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    PostMessageA(tab->Handle, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(tab->Handle, WM_LBUTTONUP, 0, at);
    DrainQueue();
    EXPECT_EQ(GetCurIndex(tab), 1);
    EXPECT_EQ(PagesShown(tab), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(rec.log.size(), 2u);

    SetClientSize(form, 500, 400);
    RECT area{};
    GetClientRect(tab->Handle, &area);
    SendMessageA(tab->Handle, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    for (int i = 0; i < 3; ++i) {
        RECT page{};
        GetWindowRect(TabPage(tab, i)->Handle, &page);
        MapWindowPoints(nullptr, tab->Handle, reinterpret_cast<POINT*>(&page), 2);
        EXPECT_TRUE(EqualRect(&page, &area)) << "page " << i << " fills the display area";
    }
}

TEST_F(TabControlTest, NothingShowsUntilTheRunLoopMakesTheWindows) {
    Control* applet = CreateControl(nullptr, "App", 0x90CA0000, true, nullptr);
    applet->IsApplet = true;
    applet->ExStyle = WS_EX_APPWINDOW;
    AppletMade = true;
    Control* form = CreateForm(applet, "Varnok");
    SetClientSize(form, 623, 292);
    Control* tab = CreateTabControl(form, {"Split", "Join", "About"});
    SetAlign(tab, Alignment::Client);
    Control* page0 = TabPage(tab, 0);
    Control* page1 = TabPage(tab, 1);
    std::vector<Control*> radios;
    // The first radio box makes its window at once, with its simulated first click.
    for (int i = 0; i < 3; ++i) radios.push_back(CreateRadioBox(page0, "radio"));
    for (Control* radio : radios) WindowHandle(radio);
    Control* combo = CreateComboBox(page1, 0);
    for (const char* item : {"360", "720", "1.44"}) AddItem(combo, item);
    SetStatusText(form, 1, "ready");

    std::vector<HWND> windows{applet->Handle, form->Handle, tab->Handle, combo->Handle,
                              form->StatusBar->Handle};
    for (Control* r : radios) windows.push_back(r->Handle);
    for (HWND w : windows) {
        ASSERT_NE(w, nullptr);
        EXPECT_FALSE(IsWindowVisible(w)) << "nothing shows before the run loop";
    }
    EXPECT_EQ(GetText(combo), "360") << "the first item is the current one";

    applet->CreateWindow(); // what the run loop does first
    EXPECT_TRUE(IsWindowVisible(form->Handle));
    EXPECT_TRUE(IsWindowVisible(tab->Handle));
    EXPECT_TRUE(IsWindowVisible(form->StatusBar->Handle));
    EXPECT_EQ(PagesShown(tab), (std::vector<bool>{true, false, false}));
    for (Control* r : radios) EXPECT_TRUE(IsWindowVisible(r->Handle));
    EXPECT_FALSE(IsWindowVisible(combo->Handle)) << "its page is hidden";
    RECT client{};
    GetClientRect(form->Handle, &client);
    EXPECT_EQ(client.right, 623);
    EXPECT_EQ(tab->Bounds.right, 621) << "the tab control fills the form inside its margin";

    FreeObject(applet);
}
} // namespace
