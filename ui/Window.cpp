// Setting up a control, making its window (parents first, then the children) and
// destroying the object with its window. The window's messages travel the path of
// MessagePath.cpp, whose WindowFunction is the procedure of every class registered here.
#include "ui/Control.h"

#include <algorithm>

#include "ui/Font.h"

namespace {
HINSTANCE Module() { return GetModuleHandleA(nullptr); }

// The icon a top-level window shows: its own, the program's for the applet, otherwise a
// copy of the applet's.
HICON TopLevelIcon(Control* ctl) {
    if (ctl->Icon) return ctl->Icon;
    if (ctl->IsApplet) {
        ctl->Icon = LoadIconA(Module(), "MAINICON");
        ctl->IconShared = true;
        return ctl->Icon;
    }
    Control* applet = AppletOf(ctl);
    if (applet && applet != ctl && applet->Icon && applet->Icon != INVALID_ICON) {
        ctl->Icon = static_cast<HICON>(CopyImage(applet->Icon, IMAGE_ICON, 0, 0, 0));
        ctl->IconShared = false;
    }
    return ctl->Icon;
}
} // namespace

Control* SetUpControl(Control* ctl, Control* parent, std::string_view systemClassName,
                      uint32_t style, bool want3D, const Actions* actions) {
    ctl->CreateParented(parent);
    ctl->SystemClassName = systemClassName;
    if (parent) {
        ctl->ChildCtl3D = parent->ChildCtl3D;
        ctl->Ctl3D = parent->ChildCtl3D && want3D;
        ctl->TextColor = parent->TextColor;
        ctl->Color = parent->Color;
        ctl->Margin = parent->Margin;
        const int32_t m = parent->Margin;
        ctl->Bounds = {m, m + parent->ClientMargins.top, m + 64, m + 64};
        InheritParentFont(ctl);
    }
    if (actions) ctl->Actions = *actions;
    ctl->Style = style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    ctl->IsControl = (ctl->Style & WS_CHILD) != 0;
    if (ctl->Ctl3D) {
        ctl->Style = WithoutPlainBorder(ctl->Style);
        ctl->ExStyle |= WS_EX_CLIENTEDGE;
    }
    ctl->Visible = (ctl->Style & WS_VISIBLE) != 0;
    if (parent) ctl->Cursor = parent->Cursor;
    if (ctl->Style & WS_TABSTOP) {
        ctl->TabStop = true;
        // The first tab-stop control of a form gets the focus when the form is activated.
        Control* form = ParentForm(ctl);
        if (form && !form->CurrentControl) form->CurrentControl = ctl;
    }
    ctl->Id = NextControlId++;
    AttachHandler(ctl, ControlHandler);
    return ctl;
}

HWND WindowHandle(Control* ctl) {
    if (!ctl) return nullptr;
    if (ctl->Handle) return ctl->Handle;
    const bool parentShown =
        ctl->Parent && ctl->Parent->Handle && IsWindowVisible(ctl->Parent->Handle);
    if (!ctl->VisibilitySet && ctl->Visible && !parentShown) {
        // Made early by an operation that needs the window: hidden until the run loop. No
        // layout here: a window waiting for the run loop counts as visible there anyway.
        ctl->Style &= ~WS_VISIBLE;
        ctl->Visible = false;
        ctl->ShowOnRun = true;
    }
    ctl->CreateWindow();
    return ctl->Handle;
}

LRESULT SendToControl(Control* ctl, UINT msg, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(WindowHandle(ctl), msg, wParam, lParam);
}

namespace {
// The class the control's window builds on, as the system has it; the control learns that
// class's own procedure.
WNDCLASSA SystemClassOf(Control* ctl) {
    const HINSTANCE module = Module();
    WNDCLASSA wc{};
    wc.style = ctl->ClassStyle;
    wc.lpfnWndProc = ctl->DefaultProc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    WNDCLASSA system{};
    if (GetClassInfoA(module, ctl->SystemClassName.c_str(), &system)) wc = system;
    wc.hInstance = module;
    wc.style &= ClassStyleMask;
    // A full class name may name the layer's own class, whose procedure is not a default.
    if (!ctl->DefaultProc && wc.lpfnWndProc != WindowFunction) ctl->DefaultProc = wc.lpfnWndProc;
    return wc;
}

// The layer's class of that name over wc, registered once; false when it cannot be.
bool RegisterLayerClass(const std::string& className, WNDCLASSA wc) {
    WNDCLASSA registered{};
    if (GetClassInfoA(wc.hInstance, className.c_str(), &registered)) return true;
    wc.lpszClassName = className.c_str();
    wc.lpfnWndProc = WindowFunction;
    return RegisterClassA(&wc) != 0;
}

// Makes the control's own system window of that class at its bounds; null when it cannot.
HWND MakeOwnWindow(Control* ctl, const std::string& className, HWND parentWindow, bool child) {
    const auto& b = ctl->Bounds;
    int width = b.right - b.left;
    int height = b.bottom - b.top;
    int x = b.left;
    int y = b.top;
    if (width == 0) width = CW_USEDEFAULT;
    if (height == 0) height = CW_USEDEFAULT;
    if (!child && ctl->PositionSet == 0) x = y = CW_USEDEFAULT;
    // A child's menu argument is its command id; a top-level window's is its menu bar.
    HMENU menu = child ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(ctl->Id)) : ctl->Menu;
    CreatingWindow = ctl;
    HWND hwnd = MakeSystemWindow(ctl->ExStyle, className.c_str(), ctl->Caption.c_str(), ctl->Style,
                                 x, y, width, height, parentWindow, menu, Module(), nullptr);
    if (CreatingWindow == ctl) CreatingWindow = nullptr;
    return hwnd;
}

// A new window's first settings: focus marks shown, the object found from the handle, the
// icon of a top-level window, the creation event, and the font.
void DressNewWindow(Control* ctl, HWND hwnd, bool child) {
    SendMessageA(hwnd, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    if (!GetPropA(hwnd, SelfProp)) SetPropA(hwnd, SelfProp, ctl);
    if (!child) {
        HICON icon = TopLevelIcon(ctl);
        if (icon != INVALID_ICON) {
            SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        }
    }
    if (ctl->OnCreateWindow) ctl->OnCreateWindow(ctl);
    if (ctl->Font) {
        if (HFONT font = FontHandle(static_cast<GdiTool*>(ctl->Font))) {
            SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        }
    }
}
} // namespace

bool Control::CreateWindow() {
    const bool existed = Handle != nullptr;
    HWND parentWindow = nullptr;
    if (Parent) {
        parentWindow = WindowHandle(Parent);
        if (!parentWindow) return false;
    }
    // Making the parent made this window too, with its children: it stays as it was made,
    // since only the run loop (calling this on an existing window) shows what waits for it.
    if (Handle && !existed) return true;
    if (Handle) {
        for (size_t i = 0; i < Children.size(); ++i) Children[i]->CreateWindow();
        if (ShowOnRun) {
            ShowOnRun = false;
            SetVisible(this, true);
        }
        return true;
    }
    const WNDCLASSA wc = SystemClassOf(this);
    const bool child = (Style & WS_CHILD) != 0;
    if (!parentWindow && child) return false;
    const std::string className = OwnsClassName ? SystemClassName : "obj_" + SystemClassName;
    if (!RegisterLayerClass(className, wc)) return false;
    HWND hwnd = MakeOwnWindow(this, className, parentWindow, child);
    if (!hwnd) return false;
    Handle = hwnd;
    DressNewWindow(this, hwnd, child);
    for (size_t i = 0; i < Children.size(); ++i) Children[i]->CreateWindow();
    return true;
}

void Control::Destroy() {
    if (Control* applet = AppletOf(this); applet && applet->MainForm == this) {
        applet->MainForm = nullptr;
    }
    for (Control* p = Parent; p; p = p->Parent) {
        if (p->CurrentControl == this) p->CurrentControl = nullptr;
    }
    if (Handle && IsWindow(Handle)) ShowWindow(Handle, SW_HIDE);

    ReleaseOwned();

    std::vector<Control*> children;
    children.swap(Children);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        Control* child = *it;
        // A child locked by its own running handler outlives this object for a moment.
        const bool locked = child->RefCount > 0;
        FreeObject(child);
        if (locked) child->Parent = nullptr;
    }

    FreeObject(Font);
    Font = nullptr;
    FreeObject(MenuObject);
    MenuObject = nullptr;
    if (!Destroying) {
        Destroying = true;
        if (Handle && IsWindow(Handle)) {
            if (!(Style & WS_CHILD)) SendMessageA(Handle, WM_SETICON, ICON_BIG, 0);
            UnsubclassInnerWindows(Handle);
            if (!WindowGone) DestroyWindow(Handle);
        }
    }
    Handle = nullptr;
    // The object's own copy goes with it, also when the system destroyed the window.
    if (Icon && Icon != INVALID_ICON && !IconShared) DestroyIcon(Icon);
    Icon = nullptr;

    if (Parent) {
        if (Parent->CurrentControl == this) Parent->CurrentControl = nullptr;
        auto& siblings = Parent->Children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    if (BrushHandle) DeleteObject(BrushHandle);
    delete this;
}
