// The tab control and its pages: one STATIC panel per tab, exactly one of them visible.
#include "ui/TabControl.h"

#include <commctrl.h>

#include "ui/Geometry.h"
#include "ui/Items.h"

namespace {
// A click on a tab does not take the focus.
constexpr uint32_t TabStyle = ClippingChild | TCS_FOCUSNEVER;
static_assert(TabStyle == 0x56008000);
constexpr UINT BringToTopFlags =
    SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER;
constexpr Actions TabActions{.Change = static_cast<WORD>(TCN_SELCHANGE),
                             .SelChange = static_cast<WORD>(TCN_SELCHANGE),
                             .Count = TCM_GETITEMCOUNT,
                             .GetCurrent = TCM_GETCURSEL,
                             .SetCurrent = TCM_SETCURSEL};
constexpr Actions PageActions{};

RECT DisplayArea(Control* tab) {
    RECT area{};
    HWND window = WindowHandle(tab);
    if (!window) return area;
    GetClientRect(window, &area);
    SendMessageA(window, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    return area;
}

void FitPages(Control* tab) {
    const RECT area = DisplayArea(tab);
    for (int i = ItemCount(tab) - 1; i >= 0; --i) {
        if (Control* page = TabPage(tab, i)) SetBounds(page, area);
    }
}

void SwitchPage(Control* tab) {
    const int index = static_cast<int>(SendMessageA(tab->Handle, TCM_GETCURSEL, 0, 0));
    const bool changed = index != tab->StoredIndex;
    tab->StoredIndex = index;
    for (int i = ItemCount(tab) - 1; i >= 0; --i) {
        Control* page = TabPage(tab, i);
        if (!page) continue;
        SetVisible(page, i == index);
        if (i == index) {
            SetWindowPos(WindowHandle(page), HWND_TOP, 0, 0, 0, 0, BringToTopFlags);
        }
    }
    Control* form = ParentForm(tab);
    // Before the run loop shows the form, the focus is not moved into a hidden window.
    if (form && form->CurrentControl && IsWindowVisible(tab->Handle)) {
        SetFocusTo(tab);
        InvalidateRect(tab->Handle, nullptr, TRUE);
    }
    if (changed) tab->OnSelChange(tab);
}

bool PageHandler(Control* tab, Message& m, LRESULT&) {
    if (m.msg == WM_NOTIFY && m.lParam) {
        const auto* header = reinterpret_cast<const NMHDR*>(m.lParam);
        if (header->code == static_cast<UINT>(TCN_SELCHANGE) && header->hwndFrom == tab->Handle) {
            SwitchPage(tab);
        }
    } else if (m.msg == WM_SIZE) {
        FitPages(tab);
    }
    return false;
}

void InsertPage(Control* tab, int index, const std::string& caption) {
    Control* page = CreateControl(tab, "STATIC", LabelStyle, false, &PageActions);
    page->ExStyle |= WS_EX_CONTROLPARENT;
    page->Align = static_cast<uint8_t>(Alignment::Client);
    page->AlignExempt = true;
    SetVisible(page, ItemCount(tab) == 0);
    TCITEMA item{};
    item.mask = TCIF_TEXT | TCIF_IMAGE | TCIF_PARAM;
    item.pszText = const_cast<char*>(caption.c_str());
    item.iImage = index;
    item.lParam = reinterpret_cast<LPARAM>(page);
    SendToControl(tab, TCM_INSERTITEMA, static_cast<WPARAM>(index),
                  reinterpret_cast<LPARAM>(&item));
    SetBounds(page, DisplayArea(tab));
}
} // namespace

Control* CreateTabControl(Control* parent, const std::vector<std::string>& captions) {
    Control* tab = CreateCommonControl(parent, WC_TABCONTROLA, TabStyle, true, &TabActions);
    // The tab control draws its own frame: the 3D look's sunken edge is not added to it.
    tab->ExStyle &= ~WS_EX_CLIENTEDGE;
    AttachHandler(tab, PageHandler);
    SetSize(tab, 100, 100);
    for (size_t i = 0; i < captions.size(); ++i) {
        InsertPage(tab, static_cast<int>(i), captions[i]);
    }
    return tab;
}

Control* TabPage(Control* tab, int index) {
    if (!tab || index < 0) return nullptr;
    TCITEMA item{};
    item.mask = TCIF_PARAM;
    if (!SendToControl(tab, TCM_GETITEMA, static_cast<WPARAM>(index),
                       reinterpret_cast<LPARAM>(&item))) {
        return nullptr;
    }
    return reinterpret_cast<Control*>(item.lParam);
}
