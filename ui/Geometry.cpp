// Position, size, styles, colours and state of a control.
#include "ui/Geometry.h"

namespace {
constexpr UINT FrameChangedFlags =
    SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;

void ApplyBounds(Control* ctl) {
    if (!ctl->Handle) return;
    const RECT& b = ctl->Bounds;
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    // A top-level window whose position was never set stays where the system put it.
    if (!(ctl->Style & WS_CHILD) && ctl->PositionSet == 0) flags |= SWP_NOMOVE;
    SetWindowPos(ctl->Handle, nullptr, b.left, b.top, b.right - b.left, b.bottom - b.top, flags);
    InvalidateRect(ctl->Handle, nullptr, TRUE);
}

void InvalidateWindow(Control* ctl) {
    if (ctl->Handle && !AppletTerminated) InvalidateRect(ctl->Handle, nullptr, TRUE);
}
} // namespace

void SetBounds(Control* ctl, const RECT& bounds) {
    if (bounds.left != ctl->Bounds.left) ctl->PositionSet |= 1;
    if (bounds.top != ctl->Bounds.top) ctl->PositionSet |= 2;
    ctl->Bounds = bounds;
    ApplyBounds(ctl);
}

Control* SetPosition(Control* ctl, int left, int top) {
    const RECT& b = ctl->Bounds;
    SetBounds(ctl, {left, top, left + (b.right - b.left), top + (b.bottom - b.top)});
    return ctl;
}

Control* SetSize(Control* ctl, int width, int height) {
    const RECT& b = ctl->Bounds;
    if (width <= 0) width = b.right - b.left;
    if (height <= 0) height = b.bottom - b.top;
    SetBounds(ctl, {b.left, b.top, b.left + width, b.top + height});
    return ctl;
}

Control* SetClientSize(Control* ctl, int width, int height) {
    HWND window = WindowHandle(ctl);
    if (!window) return ctl;
    RECT outer{};
    RECT client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    const ClientInsets& in = ctl->ClientMargins;
    const int frameWidth = (outer.right - outer.left) - client.right;
    const int frameHeight = (outer.bottom - outer.top) - client.bottom;
    const int newWidth = width > 0 ? width + in.left + in.right + frameWidth : 0;
    const int newHeight = height > 0 ? height + in.top + in.bottom + frameHeight : 0;
    // The window's real size is the base: the system may have chosen it.
    ctl->Bounds.right = ctl->Bounds.left + (outer.right - outer.left);
    ctl->Bounds.bottom = ctl->Bounds.top + (outer.bottom - outer.top);
    return SetSize(ctl, newWidth, newHeight);
}

namespace {
// Stores a style field and, with a window, writes the bits that changed and gives it a fresh
// frame. Only those bits are written: the window keeps the ones the system manages (the
// caption every overlapped window gets at creation, its visible and minimized states).
void ChangeStyleField(Control* ctl, uint32_t& field, int index, uint32_t value) {
    const uint32_t changed = field ^ value;
    if (changed == 0) return;
    field = value;
    if (!ctl->Handle) return;
    const auto actual = static_cast<uint32_t>(GetWindowLongA(ctl->Handle, index));
    SetWindowLongA(ctl->Handle, index, static_cast<LONG>((actual & ~changed) | (value & changed)));
    SetWindowPos(ctl->Handle, nullptr, 0, 0, 0, 0, FrameChangedFlags);
    InvalidateWindow(ctl);
}
} // namespace

void SetStyle(Control* ctl, uint32_t style) { ChangeStyleField(ctl, ctl->Style, GWL_STYLE, style); }

void SetExStyle(Control* ctl, uint32_t exStyle) {
    ChangeStyleField(ctl, ctl->ExStyle, GWL_EXSTYLE, exStyle);
}

void SetCtl3D(Control* ctl, bool on) {
    ctl->ChildCtl3D = on;
    if (ctl->Ctl3D == on) return;
    ctl->Ctl3D = on;
    if (on) {
        SetStyle(ctl, WithoutPlainBorder(ctl->Style));
        SetExStyle(ctl, ctl->ExStyle | WS_EX_CLIENTEDGE);
    } else {
        SetStyle(ctl, ctl->Style | WS_BORDER);
        SetExStyle(ctl, ctl->ExStyle & ~WS_EX_CLIENTEDGE);
    }
}

void SetColor(Control* ctl, int32_t color) {
    if (color == ctl->Color) return;
    ctl->Color = color;
    if (ctl->BrushHandle) {
        DeleteObject(ctl->BrushHandle);
        ctl->BrushHandle = nullptr;
    }
    InvalidateWindow(ctl);
}

void SetEnabled(Control* ctl, bool on) {
    const bool now =
        ctl->Handle ? IsWindowEnabled(ctl->Handle) != FALSE : (ctl->Style & WS_DISABLED) == 0;
    if (now == on) return;
    ctl->Enabled = on;
    if (on) {
        ctl->Style &= ~WS_DISABLED;
    } else {
        ctl->Style |= WS_DISABLED;
    }
    if (ctl->Handle) EnableWindow(ctl->Handle, on ? TRUE : FALSE);
}

void SetVerticalAlign(Control* ctl, VerticalAlignment align) {
    ctl->VerticalAlign = static_cast<uint8_t>(align);
    uint32_t style = ctl->Style;
    if (ctl->SystemClassName == "BUTTON") {
        constexpr uint32_t bits[] = {BS_VCENTER, BS_TOP, BS_BOTTOM};
        style = (style & ~static_cast<uint32_t>(BS_VCENTER)) | bits[static_cast<int>(align)];
    } else if (ctl->SystemClassName == "STATIC") {
        style &= ~static_cast<uint32_t>(SS_CENTERIMAGE);
        if (align == VerticalAlignment::Centre) style |= SS_CENTERIMAGE;
    }
    SetStyle(ctl, style);
}

void LoadWindowIcon(Control* ctl, HINSTANCE module, const char* name) {
    HICON old = ctl->Icon;
    const bool oldWasCopy = old && old != INVALID_ICON && !ctl->IconShared;
    ctl->Icon = LoadIconA(module, name);
    ctl->IconShared = true;
    if (ctl->Handle && !(ctl->Style & WS_CHILD)) {
        SendMessageA(ctl->Handle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(ctl->Icon));
    }
    // Only the object's own copy is destroyed; a resource icon belongs to the system.
    if (oldWasCopy && old != ctl->Icon) DestroyIcon(old);
}

void SetFocusTo(Control* ctl) {
    if (Control* form = ParentForm(ctl)) form->CurrentControl = ctl;
    HWND window = WindowHandle(ctl);
    if (!window) return;
    if (ctl->IsForm) SetForegroundWindow(window);
    SetFocus(window);
}
