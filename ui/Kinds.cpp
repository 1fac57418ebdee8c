// Labels, edit boxes, push buttons, group boxes and list boxes.
#include "ui/Kinds.h"

#include <iterator>

#include "ui/Eraser.h"

namespace {
constexpr uint32_t LabelStyle = 0x5000018C; // SS_LEFTNOWORDWRAP, SS_NOPREFIX, SS_NOTIFY
constexpr uint32_t EditStyle = 0x50810000;
constexpr uint32_t PushButtonStyle = 0x50011000;
constexpr uint32_t GroupBoxStyle = 0x56030007; // BS_GROUPBOX, WS_GROUP, WS_TABSTOP
constexpr uint32_t ListBoxStyle = 0x50A10001;  // LBS_NOTIFY, WS_BORDER, WS_VSCROLL, WS_TABSTOP
constexpr uint8_t TextAlignCentre = 2;

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

constexpr OptionStyle EditOptions[] = {
    {0, WS_HSCROLL | ES_AUTOHSCROLL},
    {0, WS_VSCROLL | ES_AUTOVSCROLL},
    {ES_LOWERCASE, 0},
    {ES_MULTILINE, 0},
    {ES_NOHIDESEL, 0},
    {ES_OEMCONVERT, 0},
    {ES_PASSWORD, 0},
    {ES_READONLY, 0},
    {ES_UPPERCASE, 0},
    {ES_WANTRETURN, 0},
    {0, 0},
    {ES_NUMBER, 0},
};
constexpr OptionStyle ListOptions[] = {
    {LBS_DISABLENOSCROLL, 0},
    {0, LBS_EXTENDEDSEL},
    {WS_HSCROLL | LBS_MULTICOLUMN, 0},
    {LBS_MULTIPLESEL, 0},
    {LBS_NOINTEGRALHEIGHT, 0},
    {LBS_NOSEL, 0},
    {LBS_SORT, 0},
    {LBS_USETABSTOPS, 0},
    {0, LBS_HASSTRINGS},
    {LBS_NODATA, 0},
    {LBS_OWNERDRAWFIXED, 0},
    {LBS_OWNERDRAWVARIABLE, 0},
};

} // namespace

uint32_t MapOptions(const OptionStyle* table, int count, OptionSet options) {
    uint32_t style = 0;
    for (int bit = 0; bit < count; ++bit) {
        style |= (options & Option(bit)) ? table[bit].present : table[bit].absent;
    }
    return style;
}

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
    uint32_t style =
        EditStyle | MapOptions(EditOptions, static_cast<int>(std::size(EditOptions)), options);
    const bool multiline = (options & EditMultiline) != 0;
    if (!multiline) style &= ~(WS_HSCROLL | WS_VSCROLL);
    Control* edit = CreateControl(parent, "EDIT", style, true, &EditBoxActions);
    edit->Cursor = LoadCursorA(nullptr, IDC_IBEAM);
    if (multiline) {
        SetDefaultSize(edit, 200, 200);
    } else {
        SetDefaultSize(edit, 100, 22);
    }
    return edit;
}

Control* CreateButton(Control* parent, const std::string& caption) {
    Control* button = CreateControl(parent, "BUTTON", PushButtonStyle, false, &ButtonKindActions);
    button->TextAlign = TextAlignCentre;
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
    const uint32_t style =
        ListBoxStyle | MapOptions(ListOptions, static_cast<int>(std::size(ListOptions)), options);
    Control* list = CreateControl(parent, "LISTBOX", style, true, &ListBoxActions);
    list->Color = ColorWindow;
    SetDefaultSize(list, 164, 200);
    return list;
}
