// Labels, edit boxes, push buttons, group boxes and list boxes.
#include "ui/Kinds.h"

#include "ui/Eraser.h"
#include "ui/Geometry.h"

namespace {
// A single-line edit box with a border that scrolls its text both ways.
constexpr uint32_t EditStyle =
    VisibleChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | ES_AUTOVSCROLL;
static_assert(EditStyle == 0x508100C0);
constexpr uint32_t PushButtonStyle = VisibleChild | WS_TABSTOP | BS_PUSHLIKE | BS_PUSHBUTTON;
static_assert(PushButtonStyle == 0x50011000);
constexpr uint32_t GroupBoxStyle = ClippingChild | WS_GROUP | WS_TABSTOP | BS_GROUPBOX;
static_assert(GroupBoxStyle == 0x56030007);
// Extended selection and texts of its own, unless the options say otherwise.
constexpr uint32_t ListBoxStyle = VisibleChild | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY;
static_assert(ListBoxStyle == 0x50A10001);

constexpr Actions LabelActions{};
constexpr Actions ButtonKindActions{
    .Click = BN_CLICKED, .Enter = BN_SETFOCUS, .Leave = BN_KILLFOCUS};
constexpr Actions EditBoxActions{.Enter = EN_SETFOCUS,
                                 .Leave = EN_KILLFOCUS,
                                 .Change = EN_CHANGE,
                                 .Count = EM_GETLINECOUNT,
                                 .ItemLength = EM_LINELENGTH,
                                 .ItemText = EM_GETLINE};
constexpr Actions ListBoxActions{.Click = LBN_DBLCLK,
                                 .Enter = LBN_SETFOCUS,
                                 .Leave = LBN_KILLFOCUS,
                                 .SelChange = LBN_SELCHANGE,
                                 .Reset = LB_RESETCONTENT,
                                 .Count = LB_GETCOUNT,
                                 .ItemLength = LB_GETTEXTLEN,
                                 .ItemText = LB_GETTEXT,
                                 .Delete = LB_DELETESTRING,
                                 .Insert = LB_INSERTSTRING,
                                 .Add = LB_ADDSTRING,
                                 .GetCurrent = LB_GETCURSEL,
                                 .SetCurrent = LB_SETCURSEL};
} // namespace

void SetDefaultSize(Control* ctl, int32_t width, int32_t height) {
    ctl->Bounds.right = ctl->Bounds.left + width;
    ctl->Bounds.bottom = ctl->Bounds.top + height;
}

Control* CreateLabel(Control* parent, const std::string& caption) {
    Control* label = CreateControl(parent, "STATIC", LabelStyle, false, &LabelActions);
    SetDefaultSize(label, 64, 22);
    SetText(label, caption);
    return label;
}

Control* CreateEditBox(Control* parent, OptionSet options) {
    const uint32_t style = EditStyle | ((options & EditDigitsOnly) ? ES_NUMBER : 0);
    Control* edit = CreateControl(parent, "EDIT", style, true, &EditBoxActions);
    edit->Cursor = LoadCursorA(nullptr, IDC_IBEAM);
    SetDefaultSize(edit, 100, 22);
    return edit;
}

Control* CreateButton(Control* parent, const std::string& caption) {
    Control* button = CreateControl(parent, "BUTTON", PushButtonStyle, false, &ButtonKindActions);
    button->TextAlign = static_cast<uint8_t>(TextAlignment::Centre);
    SetDefaultSize(button, 64, 22);
    SetText(button, caption);
    return button;
}

Control* CreateGroupBox(Control* parent, const std::string& caption) {
    Control* box = CreateControl(parent, "BUTTON", GroupBoxStyle, false, &ButtonKindActions);
    box->ExStyle |= WS_EX_CONTROLPARENT;
    box->TabStop = false;
    // Made a tab stop by its style, it must not be the control a form activates first.
    Control* form = ParentForm(box);
    if (form && form->CurrentControl == box) form->CurrentControl = nullptr;
    box->ClientMargins = {22, 2, 2, 2};
    AttachBackgroundEraser(box); // a group box takes its colour like a form
    SetDefaultSize(box, 100, 142);
    SetText(box, caption);
    return box;
}

Control* CreateListBox(Control* parent, OptionSet options) {
    uint32_t style = ListBoxStyle | LBS_HASSTRINGS;
    if (!(options & ListSingleSelection)) style |= LBS_EXTENDEDSEL;
    if (options & ListNoIntegralHeight) style |= LBS_NOINTEGRALHEIGHT;
    Control* list = CreateControl(parent, "LISTBOX", style, true, &ListBoxActions);
    list->Color = ColorWindow;
    SetDefaultSize(list, 164, 200);
    return list;
}
