// The text and the visibility of a control, stored in the object and applied to its window
// when it exists.
#include "ui/Control.h"

#include <algorithm>

void ApplyVisible(Control* ctl, bool on) {
    if (on) {
        ctl->Style |= WS_VISIBLE;
    } else {
        ctl->Style &= ~WS_VISIBLE;
    }
    ctl->Visible = on;
    if (ctl->Handle) ShowWindow(ctl->Handle, on ? SW_SHOW : SW_HIDE);
    if (AlignProc) {
        if (ctl->Parent) AlignProc(ctl->Parent);
        if (on) AlignProc(ctl);
    }
}

void SetText(Control* ctl, const std::string& text) {
    ctl->Caption = text;
    if (ctl->Handle) {
        SetWindowTextA(ctl->Handle, ctl->Caption.c_str());
        if (!AppletTerminated) InvalidateRect(ctl->Handle, nullptr, TRUE);
    }
}

std::string GetText(Control* ctl) {
    if (ctl->KeepCaption || !ctl->Handle) return ctl->Caption;
    const int length = GetWindowTextLengthA(ctl->Handle);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int got = GetWindowTextA(ctl->Handle, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(got, 0)));
    return text;
}

void SetVisible(Control* ctl, bool on) {
    ctl->VisibilitySet = true;
    ctl->ShowOnRun = false;
    ApplyVisible(ctl, on);
}
