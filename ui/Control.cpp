#include "ui/Control.h"

#include <algorithm>
#include <commctrl.h>

Control* Applet = nullptr;
int AppletRunning = 0;
bool AppletTerminated = false;
bool AppletMade = false;
Control* CreatingWindow = nullptr;
uint16_t NextControlId = FirstControlId;
uint32_t NextMenuId = FirstMenuId;
void (*AlignProc)(Control* parent) = nullptr;
HBRUSH (*BrushProc)(Control* ctl) = ControlBrush;
HFONT (*FontHandleProc)(Control* ctl) = nullptr;
void (*InheritFontProc)(Control* ctl) = nullptr;

namespace {
constexpr const char* SelfProp = "SELF_";
constexpr UINT FirstKeyMessage = WM_KEYDOWN; // 0x100 .. 0x108: keys and characters
constexpr UINT LastKeyMessage = 0x108;

HINSTANCE Module() { return GetModuleHandleA(nullptr); }

// The applet at the top of the control's parent chain, or the running one.
Control* AppletOf(Control* ctl) {
    Control* top = ctl;
    while (top->Parent) top = top->Parent;
    return top->IsApplet ? top : Applet;
}

LRESULT CALLBACK WindowFunction(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        Control* ctl = nullptr;
        if (CreatingWindow) {
            // The first message of a window being made: from now on it knows its object.
            ctl = CreatingWindow;
            CreatingWindow = nullptr;
            ctl->Handle = hwnd;
            SetPropA(hwnd, SelfProp, ctl);
        } else {
            ctl = ControlOfWindow(hwnd);
        }
        if (!ctl || !hwnd) ctl = Applet;
        if (!ctl) return DefWindowProcA(hwnd, msg, wParam, lParam);
        Message m{hwnd, msg, wParam, lParam};
        return ctl->WndProc(m);
    } catch (...) {
        return 0;
    }
}

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

COLORREF ColorToRGB(int32_t color) {
    if (color >= 0) return static_cast<COLORREF>(color);
    return GetSysColor(color & 0xFF);
}

Control* ControlOfWindow(HWND hwnd) {
    if (!hwnd) return nullptr;
    return static_cast<Control*>(GetPropA(hwnd, SelfProp));
}

Control* ParentForm(Control* ctl) {
    for (Control* p = ctl ? ctl->Parent : nullptr; p; p = p->Parent) {
        if (p->IsForm || p->IsApplet) return p;
    }
    return nullptr;
}

bool IsMainForm(const Control* ctl) {
    if (!ctl->IsForm) return false;
    if (ctl->Parent) {
        return ctl->Parent->IsApplet && !ctl->Parent->Children.empty() &&
               ctl->Parent->Children.front() == ctl;
    }
    return !AppletMade;
}

void Control::Init() { Cursor = LoadCursorA(nullptr, IDC_ARROW); }

void Control::CreateParented(Control* parent) {
    if (!parent) return;
    Parent = parent;
    Color = parent->Color;
    parent->Children.push_back(this);
}

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
        if (InheritFontProc) InheritFontProc(ctl);
    }
    if (actions) ctl->Actions = *actions;
    ctl->Style = style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    ctl->IsControl = (ctl->Style & WS_CHILD) != 0;
    if (ctl->Ctl3D) {
        ctl->Style &= ~WS_BORDER;
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
    if (!ctl->VisibilitySet && ctl->Visible) {
        // Made early by an operation that needs the window: hidden until the run loop.
        ApplyVisible(ctl, false);
        ctl->ShowOnRun = true;
    }
    ctl->CreateWindow();
    return ctl->Handle;
}

LRESULT SendToControl(Control* ctl, UINT msg, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(WindowHandle(ctl), msg, wParam, lParam);
}

bool Control::CreateWindow() {
    HWND parentWindow = nullptr;
    if (Parent) {
        parentWindow = WindowHandle(Parent);
        if (!parentWindow) return false;
    }
    if (Handle) {
        for (size_t i = 0; i < Children.size(); ++i) Children[i]->CreateWindow();
        if (ShowOnRun) {
            ShowOnRun = false;
            SetVisible(this, true);
        }
        return true;
    }

    const std::string className = OwnsClassName ? SystemClassName : "obj_" + SystemClassName;
    const HINSTANCE module = Module();
    WNDCLASSA wc{};
    wc.style = ClassStyle;
    wc.lpfnWndProc = DefaultProc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    WNDCLASSA system{};
    if (GetClassInfoA(module, SystemClassName.c_str(), &system)) wc = system;
    wc.hInstance = module;
    wc.style &= ClassStyleMask;
    // A full class name may name the layer's own class, whose procedure is not a default.
    if (!DefaultProc && wc.lpfnWndProc != WindowFunction) DefaultProc = wc.lpfnWndProc;

    const bool child = (Style & WS_CHILD) != 0;
    if (!parentWindow && child) return false;

    WNDCLASSA registered{};
    if (!GetClassInfoA(module, className.c_str(), &registered)) {
        wc.lpszClassName = className.c_str();
        wc.lpfnWndProc = WindowFunction;
        if (!RegisterClassA(&wc)) return false;
    }

    int width = Bounds.right - Bounds.left;
    int height = Bounds.bottom - Bounds.top;
    int x = Bounds.left;
    int y = Bounds.top;
    if (width == 0) width = CW_USEDEFAULT;
    if (height == 0) height = CW_USEDEFAULT;
    if (!child && PositionSet == 0) x = y = CW_USEDEFAULT;
    // A child's menu argument is its command id; a top-level window's is its menu bar.
    HMENU menu = child ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(Id)) : Menu;

    CreatingWindow = this;
    HWND hwnd = CreateWindowExA(ExStyle, className.c_str(), Caption.c_str(), Style, x, y, width,
                                height, parentWindow, menu, module, nullptr);
    if (CreatingWindow == this) CreatingWindow = nullptr;
    if (!hwnd) return false;
    Handle = hwnd;

    SendMessageA(hwnd, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    if (!GetPropA(hwnd, SelfProp)) SetPropA(hwnd, SelfProp, this);

    if (!child) {
        HICON icon = TopLevelIcon(this);
        if (icon != INVALID_ICON) {
            SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        }
    }

    if (OnCreateWindow) OnCreateWindow(this);
    if (FontHandleProc) {
        if (HFONT font = FontHandleProc(this)) {
            SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        }
    }
    for (size_t i = 0; i < Children.size(); ++i) Children[i]->CreateWindow();
    return true;
}

LRESULT Control::DefaultProcessing(const Message& m) {
    if (DefaultProc) return CallWindowProcA(DefaultProc, Handle, m.msg, m.wParam, m.lParam);
    return DefWindowProcA(m.window, m.msg, m.wParam, m.lParam);
}

LRESULT Control::WndProc(Message& m) {
    LRESULT result = 0;
    // Once destruction has begun no event or handler of the object runs.
    if (RefCount >= 0) {
        if (AppletRunning && Applet && Applet != this && Applet->OnMessage(m, result)) {
            return result;
        }
        if (OnMessage(m, result)) return result;
        if (HandlerDispatch && HandlerDispatch(this, m, result)) return result;
    }

    auto finish = [&]() -> LRESULT {
        result = 0;
        if (AfterHandler) AfterHandler(this, m, result);
        return result;
    };

    switch (m.msg) {
    case WM_CLOSE: {
        bool accept = true;
        if (OnClose) {
            Event<void(Control*, bool&)> onClose = OnClose;
            onClose(this, accept);
            if (!accept && AppletRunning) return finish();
        }
        OnClose = {};
        if (IsApplet || IsMainForm(this)) {
            Control* applet = IsApplet ? this : AppletOf(this);
            if (applet && applet != this && applet->Handle) {
                SendMessageA(applet->Handle, WM_CLOSE, 0, 0);
            }
            PostQuitMessage(0);
            return finish();
        }
        return DefaultProcessing(m);
    }
    case WM_NCDESTROY:
        RemovePropA(m.window, SelfProp);
        if (IsApplet) return DefaultProcessing(m);
        if (IsMainForm(this)) {
            PostMessageA(Handle, MsgRelease, 0, 0);
            return DefaultProcessing(m);
        }
        if (Parent && Parent->IsApplet) {
            // A window of the applet that the system destroys takes its object with it.
            DefaultProcessing(m);
            WindowGone = true;
            FreeObject(this);
            return 0;
        }
        return DefaultProcessing(m);
    case MsgRelease:
        Destroying = true;
        FreeObject(this);
        return 0;
    case WM_SIZE: {
        LRESULT r = DefaultProcessing(m);
        SizeType = LOBYTE(m.wParam);
        if (AlignProc) {
            if (!IsForm && Parent) AlignProc(Parent);
            AlignProc(this);
        }
        return r;
    }
    case WM_SHOWWINDOW:
        if (m.lParam == SW_PARENTCLOSING) {
            ShowStateToRestore = IsIconic(Handle)   ? SW_SHOWMINNOACTIVE
                                 : IsZoomed(Handle) ? SW_SHOWMAXIMIZED
                                                    : SW_SHOWNOACTIVATE;
            return DefaultProcessing(m);
        }
        if (m.lParam == SW_PARENTOPENING) {
            if (ShowStateToRestore) {
                ShowWindow(Handle, ShowStateToRestore);
                ShowStateToRestore = 0;
            }
            return finish();
        }
        return DefaultProcessing(m);
    case WM_SYSCOMMAND:
        if ((m.wParam & 0xFFF0) == SC_MINIMIZE && !IsApplet && IsMainForm(this)) {
            // The application minimises as a whole, through the applet's window.
            Control* applet = AppletOf(this);
            if (applet && applet->Handle) {
                PostMessageA(applet->Handle, WM_SYSCOMMAND, SC_MINIMIZE, 0);
                return finish();
            }
        }
        return DefaultProcessing(m);
    case WM_SETFOCUS:
        if (IsWindowEnabled(Handle) && TabStop) {
            ++FocusGuard;
            SetFocus(Handle);
            --FocusGuard;
            ++FocusGuard;
            LRESULT r = DefaultProcessing(m);
            --FocusGuard;
            return r;
        }
        // A control without tab stop never lets the system control see the focus.
        return finish();
    case WM_SETCURSOR:
        if (!GetCapture() && LOWORD(m.lParam) == HTCLIENT) {
            SetCursor(Cursor);
            return 1;
        }
        return DefaultProcessing(m);
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMMAND: {
        // Both are about the child window in lParam: its object answers them.
        HWND about = reinterpret_cast<HWND>(m.lParam);
        if (!ControlOfWindow(about)) return DefaultProcessing(m);
        const UINT reflected =
            m.msg == WM_COMMAND ? MsgReflectedCommand : m.msg + ReflectedColorOffset;
        return SendMessageA(about, reflected, m.wParam, m.lParam);
    }
    default:
        break;
    }

    if (m.msg >= FirstKeyMessage && m.msg <= LastKeyMessage) {
        if (GetFocus() != Handle) return finish();
        if (KeyHandler && KeyHandler(this, m, result)) return result;
        if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return DefaultProcessing(m);
        if (m.msg == WM_CHAR && m.wParam == VK_TAB) {
            // A Tab character never reaches a control, and Tab moves no focus.
            m.wParam = 0;
            return finish();
        }
    }
    return DefaultProcessing(m);
}

void Control::Destroy() {
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
            if (!(Style & WS_CHILD)) {
                auto old = reinterpret_cast<HICON>(SendMessageA(Handle, WM_SETICON, ICON_BIG, 0));
                if (old && !IconShared) DestroyIcon(old);
            }
            UnsubclassInnerWindows(Handle);
            if (!WindowGone) DestroyWindow(Handle);
        }
    }
    Handle = nullptr;

    if (Parent) {
        if (Parent->CurrentControl == this) Parent->CurrentControl = nullptr;
        auto& siblings = Parent->Children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    if (BrushHandle) DeleteObject(BrushHandle);
    delete this;
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
    ApplyVisible(ctl, on);
}

void LoadCommonControls(DWORD classes) {
    InitCommonControls();
    static HMODULE comctl = LoadLibraryA("comctl32.dll");
    if (!comctl) return;
    using InitEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    auto initEx = reinterpret_cast<InitEx>(
        reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")));
    if (!initEx) return;
    INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), classes};
    initEx(&icc);
}
