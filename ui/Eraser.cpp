// The background eraser handler and its attachment to a control.
#include "ui/Eraser.h"

namespace {
bool BackgroundEraser(Control* ctl, Message& m, LRESULT&) {
    if (m.msg != WM_ERASEBKGND) return false;
    // A copy: making a window runs handlers that may change the list.
    const std::vector<Control*> children = ctl->Children;
    for (Control* child : children) {
        if (!child->Handle) WindowHandle(child);
    }
    if (!ctl->Transparent) {
        auto dc = reinterpret_cast<HDC>(m.wParam);
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, ColorToRGB(ctl->Color));
        SetBrushOrgEx(dc, 0, 0, nullptr);
        RECT client{};
        GetClientRect(m.window, &client);
        FillRect(dc, &client, ControlBrush(ctl));
    }
    return false; // the default processing follows
}
} // namespace

void AttachBackgroundEraser(Control* ctl) { AttachHandler(ctl, BackgroundEraser); }
