// Combo boxes: the selection change is told after the system finished it, the open list is
// 1 to 8 items high, and the inner windows take the combo box's colours and keys.
#include "ui/Kinds.h"

#include <algorithm>

namespace {
// Texts of its own, and an edit field that scrolls (a drop-down list has none).
constexpr uint32_t ComboBoxStyle =
    VisibleChild | WS_VSCROLL | WS_TABSTOP | CBS_HASSTRINGS | CBS_AUTOHSCROLL;
static_assert(ComboBoxStyle == 0x50210240);
constexpr int MaxListItems = 8;
constexpr UINT ListSizeFlags =
    SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
constexpr UINT ListShowFlags =
    SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_SHOWWINDOW;

constexpr Actions ComboBoxActions{.Click = CBN_DBLCLK,
                                  .Enter = CBN_SETFOCUS,
                                  .Leave = CBN_KILLFOCUS,
                                  .Change = CBN_EDITCHANGE,
                                  .SelChange = CodeDeferredSelChange,
                                  .Reset = CB_RESETCONTENT,
                                  .Count = CB_GETCOUNT,
                                  .ItemLength = CB_GETLBTEXTLEN,
                                  .ItemText = CB_GETLBTEXT,
                                  .Delete = CB_DELETESTRING,
                                  .Insert = CB_INSERTSTRING,
                                  .Add = CB_ADDSTRING,
                                  .GetCurrent = CB_GETCURSEL,
                                  .SetCurrent = CB_SETCURSEL};

// Sizes the combo box so that its open list shows its items, 1 to 8 of them, unscrolled.
void FitDroppedList(Control* combo) {
    const int count = static_cast<int>(SendMessageA(combo->Handle, CB_GETCOUNT, 0, 0));
    const int shown = std::clamp(count, 1, MaxListItems);
    const int width = combo->Bounds.right - combo->Bounds.left;
    const int height = combo->Bounds.bottom - combo->Bounds.top;
    SetWindowPos(combo->Handle, nullptr, 0, 0, width, height * (shown + 1) + 2, ListSizeFlags);
    SetWindowPos(combo->Handle, nullptr, 0, 0, 0, 0, ListShowFlags);
}

bool IsColorRequest(UINT msg) { return msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC; }

bool ComboHandler(Control* combo, Message& m, LRESULT& result) {
    if (m.msg == MsgReflectedCommand) {
        switch (HIWORD(m.wParam)) {
        case CBN_SELCHANGE: {
            // The system is still completing the selection: the edit field shows the new
            // item only once it is done, so the change is told from the queue, once for
            // however many notifications one pick sends.
            MSG pending;
            if (!PeekMessageA(&pending, combo->Handle, MsgReflectedCommand, MsgReflectedCommand,
                              PM_NOREMOVE)) {
                PostMessageA(combo->Handle, MsgReflectedCommand,
                             MAKEWPARAM(0, CodeDeferredSelChange), 0);
            }
            break;
        }
        case CBN_DROPDOWN:
            combo->DroppedDown = true;
            combo->IndexBeforeDrop =
                static_cast<int32_t>(SendMessageA(combo->Handle, CB_GETCURSEL, 0, 0));
            FitDroppedList(combo);
            break;
        case CBN_CLOSEUP: {
            combo->DroppedDown = false;
            Event<void(Control*)> onCloseUp = combo->OnCloseUp;
            onCloseUp(combo);
            break;
        }
        default:
            break;
        }
        // The control handler still matches the enter, leave and change codes.
        return false;
    }
    if (IsColorRequest(m.msg) && reinterpret_cast<HWND>(m.lParam) != combo->Handle &&
        !ControlOfWindow(reinterpret_cast<HWND>(m.lParam))) {
        // The edit field and the list ask their parent, the combo box, for colours.
        result = SendMessageA(combo->Handle, m.msg + ReflectedColorOffset, m.wParam, m.lParam);
        return true;
    }
    return false;
}
} // namespace

Control* CreateComboBox(Control* parent, OptionSet options) {
    uint32_t style = ComboBoxStyle;
    style |= (options & ComboDropDownList) ? CBS_DROPDOWNLIST : CBS_DROPDOWN;
    if (options & ComboNoIntegralHeight) style |= CBS_NOINTEGRALHEIGHT;
    Control* combo = CreateControl(parent, "COMBOBOX", style, true, &ComboBoxActions);
    combo->ClassStyle |= CS_DBLCLKS;
    combo->OnCreateWindow = SubclassInnerWindows;
    AttachHandler(combo, ComboHandler);
    SetDefaultSize(combo, 100, 22);
    return combo;
}
