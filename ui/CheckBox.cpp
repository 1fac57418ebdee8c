// Check boxes: the system turns the mark over at each click, before OnClick is told.
#include "ui/Kinds.h"

namespace {
constexpr uint32_t CheckBoxStyle = VisibleChild | WS_TABSTOP | BS_NOTIFY | BS_AUTOCHECKBOX;
static_assert(CheckBoxStyle == 0x50014003);
constexpr Actions CheckBoxActions{.Click = BN_CLICKED, .Enter = BN_SETFOCUS, .Leave = BN_KILLFOCUS};
} // namespace

Control* CreateCheckBox(Control* parent, const std::string& caption) {
    Control* box = CreateControl(parent, "BUTTON", CheckBoxStyle, false, &CheckBoxActions);
    SetDefaultSize(box, 97, 22);
    SetText(box, caption);
    return box;
}
