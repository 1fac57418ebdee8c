// Radio boxes: all radio boxes of one parent form one group, and the first one made starts
// checked.
#include "ui/Kinds.h"

namespace {
// Not the automatic kind: only the group's click action changes the marks.
constexpr uint32_t RadioBoxStyle =
    VisibleChild | WS_GROUP | WS_TABSTOP | BS_NOTIFY | BS_RADIOBUTTON;
static_assert(RadioBoxStyle == 0x50034004);
constexpr Actions RadioBoxActions{.Click = BN_CLICKED, .Enter = BN_SETFOCUS, .Leave = BN_KILLFOCUS};

// Checks the clicked radio box and clears the other radio boxes of its parent. Only the
// parent's own radio boxes are touched: an id range would also clear any other button whose
// id falls between two radios, or a radio of a nested window.
void CheckInGroup(Control* radio) {
    if (!radio->Parent) return;
    for (Control* sibling : radio->Parent->Children) {
        if (sibling->ClickAction != CheckInGroup || !sibling->Handle) continue;
        const WPARAM state = sibling == radio ? BST_CHECKED : BST_UNCHECKED;
        SendMessageA(sibling->Handle, BM_SETCHECK, state, 0);
    }
}
} // namespace

Control* CreateRadioBox(Control* parent, const std::string& caption) {
    Control* radio = CreateControl(parent, "BUTTON", RadioBoxStyle, false, &RadioBoxActions);
    radio->ClickAction = CheckInGroup;
    SetDefaultSize(radio, 72, 22);
    SetText(radio, caption);
    if (!parent) return radio;
    parent->RadioLastId = radio->Id;
    if (parent->RadioFirstId == 0) {
        parent->RadioFirstId = radio->Id;
        // The first radio box of a group starts checked, through its own click.
        HWND window = WindowHandle(radio);
        if (window) {
            SendMessageA(window, WM_COMMAND, MAKEWPARAM(radio->Id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(window));
        }
    }
    return radio;
}
