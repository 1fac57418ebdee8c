// The form: the main window kind, its handler and its size lock.
#include "ui/Form.h"

#include "ui/Eraser.h"
#include "ui/Geometry.h"

namespace {
constexpr LRESULT FirstSizingHit = HTLEFT; // HTLEFT .. HTBOTTOMRIGHT: the sizing border
constexpr LRESULT LastSizingHit = HTBOTTOMRIGHT;

bool FormHandler(Control* form, Message& m, LRESULT& result) {
    switch (m.msg) {
    case WM_ENDSESSION:
        if (m.wParam) {
            // Windows is ending: free everything and end here, never returning into a
            // caller that still holds objects freed now.
            Control* applet = Applet ? Applet : AppletOf(form);
            AppletRunning = 0;
            Applet = nullptr;
            AppletTerminated = true;
            FreeObject(applet);
            ExitProcess(0);
        }
        return false;
    case WM_SETFOCUS: {
        if (Control* applet = AppletOf(form); applet && applet != form) {
            applet->CurrentControl = form;
        }
        Control* current = form->CurrentControl;
        if (!current) return false;
        HWND window = WindowHandle(current);
        if (!window) return false;
        SetFocus(window);
        result = 0;
        return true;
    }
    case WM_SIZE: {
        // The status bar follows the form's size.
        const std::vector<Control*> children = form->Children;
        for (Control* child : children) {
            if (child->Handle) SendMessageA(child->Handle, MsgFollowParentSize, 0, 0);
        }
        return false;
    }
    default:
        return false;
    }
}

bool SizeLockHandler(Control* ctl, Message& m, LRESULT& result) {
    if (!ctl->FixedSize) return false;
    if (m.msg == WM_GETMINMAXINFO) {
        result = ctl->DefaultProcessing(m);
        auto* info = reinterpret_cast<MINMAXINFO*>(m.lParam);
        info->ptMinTrackSize = {ctl->FixedWidth, ctl->FixedHeight};
        info->ptMaxTrackSize = {ctl->FixedWidth, ctl->FixedHeight};
        return true;
    }
    if (m.msg == WM_NCHITTEST) {
        result = ctl->DefaultProcessing(m);
        // The frame stays, but its border no longer offers sizing.
        if (result >= FirstSizingHit && result <= LastSizingHit) result = HTBORDER;
        return true;
    }
    return false;
}
} // namespace

Control* CreateForm(Control* parent, const std::string& caption) {
    Control* form = CreateControl(parent, "Form", DefaultStyle, true, nullptr);
    form->ClassStyle = CS_DBLCLKS;
    form->SizeGrip = true;
    AttachHandler(form, FormHandler);
    AttachBackgroundEraser(form);
    SetText(form, caption);
    form->IsForm = true;
    return form;
}

void SetCanResize(Control* ctl, bool on) {
    if (on) {
        ctl->FixedSize = false;
        return;
    }
    ctl->FixedSize = true;
    SetStyle(ctl, ctl->Style | WS_THICKFRAME);
    HWND window = WindowHandle(ctl);
    RECT outer{};
    if (window) GetWindowRect(window, &outer);
    ctl->FixedWidth = outer.right - outer.left;
    ctl->FixedHeight = outer.bottom - outer.top;
    AttachHandler(ctl, SizeLockHandler);
}
